# The Windows files in one zip: the DLL, the simulated adapter, the demonstration, the headers and the
# page that tells a user which files go next to the host program.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(_zip_name tarnbus-${PROJECT_VERSION}-win32)
else()
  set(_zip_name tarnbus-${PROJECT_VERSION}-win64)
endif()
set(_zip_stage ${PROJECT_BINARY_DIR}/zip/${_zip_name})
set(_zip_file ${PROJECT_BINARY_DIR}/${_zip_name}.zip)
set(_zip_sources
  ${PROJECT_SOURCE_DIR}/library/tarnbus/tarnbus.h
  ${PROJECT_SOURCE_DIR}/library/tarnbus/tarnbus_export.h)
add_custom_command(OUTPUT ${_zip_file}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${_zip_stage} ${_zip_file}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_zip_stage}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:tarnbus> $<TARGET_FILE:ftd2xx-sim>
          $<TARGET_FILE:tarnbus-demo> ${_zip_sources} ${_zip_stage}
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/docs/windows.md ${_zip_stage}/README.md
  COMMAND ${CMAKE_COMMAND} -E chdir ${PROJECT_BINARY_DIR}/zip
          ${CMAKE_COMMAND} -E tar cf ${_zip_file} --format=zip ${_zip_name}
  DEPENDS tarnbus ftd2xx-sim tarnbus-demo $<TARGET_FILE:tarnbus> $<TARGET_FILE:ftd2xx-sim>
          $<TARGET_FILE:tarnbus-demo> ${_zip_sources} ${PROJECT_SOURCE_DIR}/docs/windows.md
  COMMENT "Packing ${_zip_name}.zip" VERBATIM)
add_custom_target(windows-zip ALL DEPENDS ${_zip_file})
