# Cross-builds the 32-bit Windows program with MinGW-w64:
#   cmake -S . -B build-win32 --toolchain cmake/mingw-w64-i686.cmake
set(PL2HTML_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
