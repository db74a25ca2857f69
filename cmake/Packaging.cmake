# What an installation holds besides the program, and the packages CPack
# makes of it: a Debian package on Linux (cpack -G DEB), a zip and an NSIS
# installer for Windows (cpack -G ZIP, cpack -G NSIS). packaging/README.md
# says how they are built and checked.
include(GNUInstallDirs)
set(pl2html_packaging ${PROJECT_SOURCE_DIR}/packaging)

# gzip -9n: the most compressed, and without a name or a time stamp in the
# header, so that the same text always makes the same bytes. This runs when
# cmake configures, which it does again when a compressed file changes.
function(pl2html_gzip source target)
  execute_process(COMMAND gzip -9nc ${source} OUTPUT_FILE ${target} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip could not compress ${source}")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
endfunction()

if(WIN32)
  # A Windows folder holds the program, its README and its licence side by
  # side, as a user unpacking the zip expects.
  install(FILES README.md LICENSE DESTINATION .)
else()
  # The manual page, compressed as Debian installs manual pages.
  configure_file(${pl2html_packaging}/pl2html.1 pl2html.1 @ONLY)
  pl2html_gzip(${PROJECT_BINARY_DIR}/pl2html.1 ${PROJECT_BINARY_DIR}/pl2html.1.gz)
  install(FILES ${PROJECT_BINARY_DIR}/pl2html.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  # The licence in Debian's machine-readable form, made from LICENSE so that
  # there is one text to keep: its paragraphs become the "License:" field,
  # blank lines written " .".
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
  string(REGEX REPLACE "^MIT License\n\nCopyright \\(c\\) ([^\n]*)\n\n" "" terms "${licence}")
  set(holder ${CMAKE_MATCH_1})
  if(NOT holder)
    message(FATAL_ERROR "LICENSE no longer starts with \"MIT License\" and a copyright line: "
      "say in cmake/Packaging.cmake how Debian's copyright file is made of it")
  endif()
  string(REGEX REPLACE "\n+$" "" terms "${terms}")
  string(REPLACE "\n\n" "\n.\n" terms "${terms}")
  string(REPLACE "\n" "\n " terms "${terms}")
  file(WRITE ${PROJECT_BINARY_DIR}/copyright
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
    "Upstream-Name: pl2html\n\n"
    "Files: *\nCopyright: ${holder}\nLicense: Expat\n ${terms}\n")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
  pl2html_gzip(${pl2html_packaging}/changelog ${PROJECT_BINARY_DIR}/changelog.gz)
  install(FILES ${PROJECT_BINARY_DIR}/copyright ${PROJECT_BINARY_DIR}/changelog.gz README.md
    DESTINATION ${CMAKE_INSTALL_DOCDIR})

  # Files named *.pl are Perl's for the MIME database; this type lets a file
  # manager tell a Prolog module by its first line and offer pl2html for it.
  install(FILES ${pl2html_packaging}/pl2html-mime.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME pl2html.xml)
endif()

set(CPACK_PACKAGE_NAME pl2html)
set(CPACK_PACKAGE_VENDOR "the pl2html developers")
set(CPACK_PACKAGE_CONTACT "the pl2html developers <pl2html@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn Prolog source into a syntax-coloured HTML page")
set(CPACK_PACKAGE_DESCRIPTION
  "pl2html converts Prolog source files into HTML pages with comments, quoted\n"
  "text, directives, keywords, function names and numbers in colours of\n"
  "their own. As a desktop program it asks for a file, writes its page beside\n"
  "it and shows the page in the browser. On the command line it converts\n"
  "files, standard input and batches for scripts.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_PACKAGE_INSTALL_DIRECTORY pl2html)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/")

if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(pl2html_arch win64)
    set(CPACK_NSIS_PL2HTML_TARGET amd64-unicode)
  else()
    set(pl2html_arch win32)
    set(CPACK_NSIS_PL2HTML_TARGET x86-unicode)
  endif()
  set(CPACK_GENERATOR ZIP NSIS)
  set(CPACK_PACKAGE_FILE_NAME pl2html-${PROJECT_VERSION}-${pl2html_arch})
  # The installer is ours (packaging/NSIS.template.in): a per-user install
  # with "Open with" for .pl files, which CPack's own template cannot do.
  set(CPACK_MODULE_PATH ${pl2html_packaging})
  set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # pl2html_VERSION_ARCH.deb
  set(CPACK_DEBIAN_PACKAGE_SECTION text)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Where the program and its module were built to be found.
  set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
endif()
# Settings only known when cpack runs, and per generator.
configure_file(${pl2html_packaging}/CPackOptions.cmake.in CPackOptions.cmake.in @ONLY)
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/CPackOptions.cmake
  INPUT ${PROJECT_BINARY_DIR}/CPackOptions.cmake.in)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/CPackOptions.cmake)

include(CPack)
