# The catalogue reader ("Encoder.cfg") on arbitrary bytes. Needs the application's logic library.
if(TARNBUS_BUILD_APP)
  find_package(Qt6 REQUIRED COMPONENTS Core)
  tarnbus_add_fuzzer(catalog_fuzz
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/catalog_fuzz.cpp
    LIBS rotaconf_logic Qt6::Core
    SECONDS 30
    CORPUS ${CMAKE_CURRENT_LIST_DIR}/catalog-seeds)
  # The fuzzer sees the reader's branches only when the logic library is instrumented as well.
  target_compile_options(rotaconf_logic PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
  target_link_options(rotaconf_logic INTERFACE -fsanitize=address,undefined)
endif()
