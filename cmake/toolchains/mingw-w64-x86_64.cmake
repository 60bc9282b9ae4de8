# Cross build for 64-bit Windows with Debian's g++-mingw-w64-x86-64-posix: the same code under 64-bit
# Wine, for machines that cannot run 32-bit programs.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TARNBUS_MINGW_PREFIX x86_64-w64-mingw32)
set(TARNBUS_WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
