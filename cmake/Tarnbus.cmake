# Helpers shared by the folders' CMakeLists.

# tarnbus_glob(VAR dir...) : the C and C++ sources directly in the given folders.
function(tarnbus_glob var)
  set(result)
  foreach(dir IN LISTS ARGN)
    file(GLOB found CONFIGURE_DEPENDS ${dir}/*.c ${dir}/*.cpp)
    list(APPEND result ${found})
  endforeach()
  set(${var} ${result} PARENT_SCOPE)
endfunction()

# tarnbus_add_gtest(name SOURCES ... LIBS ... [LABELS ...]) : one GoogleTest program run by CTest.
# Tests that touch the simulated hardware share one process-wide simulator, so they run one at a time.
function(tarnbus_add_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main GTest::gmock ${T_LIBS})
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES TIMEOUT 300 LABELS "unit;${T_LABELS}")
endfunction()

# tarnbus_add_fuzzer(name SOURCES ... LIBS ... [SECONDS n] [CORPUS dir]) : a libFuzzer target,
# run for a bounded time by CTest when TARNBUS_FUZZ is on.
function(tarnbus_add_fuzzer name)
  if(NOT TARNBUS_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "SECONDS;CORPUS" "SOURCES;LIBS" ${ARGN})
  if(NOT F_SECONDS)
    set(F_SECONDS 30)
  endif()
  add_executable(${name} ${F_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  add_dependencies(fuzzers ${name})
  set(work ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
  set(seeds)
  if(F_CORPUS)
    set(seeds ${F_CORPUS})
  endif()
  file(MAKE_DIRECTORY ${work})
  add_test(NAME ${name}
           COMMAND $<TARGET_FILE:${name}> -max_total_time=${F_SECONDS} -timeout=10 -rss_limit_mb=2048
                   -print_final_stats=1 ${work} ${seeds})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600 LABELS fuzz)
endfunction()
