# What both MinGW-w64 toolchain files share; they set PL2HTML_MINGW_TRIPLET.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${PL2HTML_MINGW_TRIPLET})

# The -posix compilers: GoogleTest needs std::mutex, which the win32-thread
# ones lack.
set(CMAKE_C_COMPILER ${PL2HTML_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PL2HTML_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${PL2HTML_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PL2HTML_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Statically linked, the programs need no MinGW DLLs on a bare Windows.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
