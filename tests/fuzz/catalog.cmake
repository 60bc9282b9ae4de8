# The catalogue reader ("Encoder.cfg") on arbitrary bytes. Needs the application's logic library.
if(TARGET rotaconf_logic)
  find_package(Qt6 REQUIRED COMPONENTS Core)
  tarnbus_add_fuzzer(catalog_fuzz
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/catalog_fuzz.cpp
    LIBS rotaconf_logic Qt6::Core
    SECONDS 30
    CORPUS ${CMAKE_CURRENT_LIST_DIR}/catalog-seeds)
endif()
