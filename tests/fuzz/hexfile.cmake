# The Intel HEX reader under libFuzzer. The data sources are compiled into the target itself so that
# the fuzzer sees their coverage.
file(GLOB TARNBUS_FUZZ_DATA_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/library/data/*.cpp)
tarnbus_add_fuzzer(hexfile_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/hexfile_fuzz.cpp ${TARNBUS_FUZZ_DATA_SOURCES}
  SECONDS 30
  CORPUS ${CMAKE_CURRENT_LIST_DIR}/hexfile-seeds)
target_include_directories(hexfile_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/library ${PROJECT_SOURCE_DIR}/library/data)
