# Cross-builds the 64-bit Windows program with MinGW-w64:
#   cmake -S . -B build-win64 --toolchain cmake/mingw-w64-x86_64.cmake
set(PL2HTML_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# Wine runs the built tests, when it is there. (The 32-bit programs need a
# 32-bit Wine, which the test machines lack.)
find_program(PL2HTML_WINE wine)
if(PL2HTML_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PL2HTML_WINE})
endif()
