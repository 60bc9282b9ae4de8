# The Windows files in one zip, as a host program needs them beside it and to be built: the stripped
# DLL, the compiler's runtime DLLs it imports, the simulated adapter, the demonstration, every public
# header (the flat functions and the exported classes), the import library, and the page that says
# which files go where.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(_zip_name tarnbus-${PROJECT_VERSION}-win32)
else()
  set(_zip_name tarnbus-${PROJECT_VERSION}-win64)
endif()
set(_zip_stage ${PROJECT_BINARY_DIR}/zip/${_zip_name})
set(TARNBUS_ZIP_FILE ${PROJECT_BINARY_DIR}/${_zip_name}.zip)
set(TARNBUS_ZIP_NAME ${_zip_name})
file(GLOB _zip_headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/library/tarnbus/*.h)
add_custom_command(OUTPUT ${TARNBUS_ZIP_FILE}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${_zip_stage} ${TARNBUS_ZIP_FILE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_zip_stage}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:tarnbus> $<TARGET_FILE:ftd2xx-sim>
          $<TARGET_FILE:tarnbus-demo> ${TARNBUS_RUNTIME_DLL_FILES} ${_zip_headers} ${_zip_stage}
  COMMAND ${CMAKE_STRIP} --strip-unneeded ${_zip_stage}/$<TARGET_FILE_NAME:tarnbus>
          ${_zip_stage}/$<TARGET_FILE_NAME:ftd2xx-sim> ${_zip_stage}/$<TARGET_FILE_NAME:tarnbus-demo>
  COMMAND ${CMAKE_COMMAND} -E copy ${TARNBUS_IMPORT_LIB_tarnbus} ${_zip_stage}/libtarnbus.dll.a
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/docs/windows.md ${_zip_stage}/README.md
  COMMAND ${CMAKE_COMMAND} -E chdir ${PROJECT_BINARY_DIR}/zip
          ${CMAKE_COMMAND} -E tar cf ${TARNBUS_ZIP_FILE} --format=zip ${_zip_name}
  DEPENDS tarnbus ftd2xx-sim tarnbus-demo $<TARGET_FILE:tarnbus> $<TARGET_FILE:ftd2xx-sim>
          $<TARGET_FILE:tarnbus-demo> ${TARNBUS_RUNTIME_DLL_FILES} ${_zip_headers}
          ${PROJECT_SOURCE_DIR}/docs/windows.md
  COMMENT "Packing ${_zip_name}.zip" VERBATIM)
add_custom_target(windows-zip ALL DEPENDS ${TARNBUS_ZIP_FILE})
