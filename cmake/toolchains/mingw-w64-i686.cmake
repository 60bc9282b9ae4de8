# Cross build for 32-bit Windows with Debian's g++-mingw-w64-i686-posix.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TARNBUS_MINGW_PREFIX i686-w64-mingw32)
set(TARNBUS_WINE_ARCH win32)
# DWARF-2 unwinding: one shared unwinder for the DLL and its hosts, and the DLLs it needs.
set(TARNBUS_MINGW_SHARED_LIBGCC ON)
set(TARNBUS_MINGW_RUNTIME_DLLS libgcc_s_dw2-1.dll libwinpthread-1.dll)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
