# The compiler's runtime DLLs that the Windows modules import (TARNBUS_MINGW_RUNTIME_DLLS, from the
# toolchain file), copied into bin/ beside tarnbus.dll and the programs, so the tests run as a user's
# host does: with the DLLs of the zip beside it. TARNBUS_RUNTIME_DLL_FILES names the compiler's copies.
set(TARNBUS_RUNTIME_DLL_FILES "")
set(_runtime_copies "")
foreach(_dll IN LISTS TARNBUS_MINGW_RUNTIME_DLLS)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${_dll}
                  OUTPUT_VARIABLE _path OUTPUT_STRIP_TRAILING_WHITESPACE)
  get_filename_component(_path "${_path}" ABSOLUTE)
  if(NOT EXISTS "${_path}")
    message(FATAL_ERROR "${CMAKE_CXX_COMPILER} knows no ${_dll}, which the Windows modules import")
  endif()
  list(APPEND TARNBUS_RUNTIME_DLL_FILES ${_path})
  add_custom_command(OUTPUT ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${_dll}
    COMMAND ${CMAKE_COMMAND} -E copy ${_path} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${_dll}
    DEPENDS ${_path} VERBATIM)
  list(APPEND _runtime_copies ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${_dll})
endforeach()
add_custom_target(windows-runtime ALL DEPENDS ${_runtime_copies})
