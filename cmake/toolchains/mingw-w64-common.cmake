# Shared by the mingw-w64 toolchain files: Debian's cross compiler with POSIX threads, set up for
# TARNBUS_MINGW_PREFIX (i686-w64-mingw32 or x86_64-w64-mingw32). Programs built here run under Wine, so
# CTest runs them through scripts/wine-run.sh, headless.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${TARNBUS_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARNBUS_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TARNBUS_MINGW_PREFIX}-windres)
set(CMAKE_DLLTOOL ${TARNBUS_MINGW_PREFIX}-dlltool)
set(CMAKE_STRIP ${TARNBUS_MINGW_PREFIX}-strip)
set(CMAKE_NM ${TARNBUS_MINGW_PREFIX}-nm)
set(CMAKE_OBJDUMP ${TARNBUS_MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${TARNBUS_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C++ library is linked into each module. The unwinder is not always: where the compiler unwinds
# with its own DWARF tables (32-bit), every module registers its frames with the unwinder it was linked
# with, and an exception thrown in tarnbus.dll can only pass a host's frames when both use one unwinder,
# the shared libgcc (TARNBUS_MINGW_RUNTIME_DLLS, shipped beside the DLL). 64-bit code unwinds through
# Windows' own tables, so there everything stays inside the modules.
if(TARNBUS_MINGW_SHARED_LIBGCC)
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-shared-libgcc -static-libstdc++")
  set(CMAKE_SHARED_LINKER_FLAGS_INIT "-shared-libgcc -static-libstdc++")
else()
  set(TARNBUS_MINGW_RUNTIME_DLLS "")
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
  set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
endif()

get_filename_component(_tarnbus_source_dir ${CMAKE_CURRENT_LIST_DIR}/../.. ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${_tarnbus_source_dir}/scripts/wine-run.sh ${TARNBUS_WINE_ARCH})
