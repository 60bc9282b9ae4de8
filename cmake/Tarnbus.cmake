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

# tarnbus_windows_exports(target def) : on Windows, exports exactly what the .def file names and gives
# callers an import library that maps each stdcall symbol (Name@bytes) to the name in the DLL's export
# table. The linker's own import library would carry the export names only, which a C caller of a
# __stdcall function never references. Lines of the .def read "Export = Symbol@bytes [@ordinal]"; a
# 64-bit build has one calling convention and no decoration, so there the symbols lose their "@bytes"
# while the export names stay as they are. The import library is TARNBUS_IMPORT_LIB_<target>.
function(tarnbus_windows_exports target def)
  if(NOT WIN32)
    return()
  endif()
  file(STRINGS ${def} lines)
  set(export_def "")
  set(import_def "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^(LIBRARY|EXPORTS)")
      string(APPEND export_def "${line}\n")
      string(APPEND import_def "${line}\n")
    elseif(line MATCHES "^[ \t]*([A-Za-z_][A-Za-z0-9_@]*)[ \t]*=[ \t]*([A-Za-z_][A-Za-z0-9_]*)(@[0-9]+)?(.*)$")
      set(export_name ${CMAKE_MATCH_1})
      set(symbol ${CMAKE_MATCH_2})
      set(rest ${CMAKE_MATCH_4})
      if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        string(APPEND symbol "${CMAKE_MATCH_3}")
      endif()
      string(APPEND export_def "    ${export_name} = ${symbol}${rest}\n")
      string(APPEND import_def "    ${symbol} == ${export_name}\n")
    endif()
  endforeach()
  set(export_def_file ${CMAKE_CURRENT_BINARY_DIR}/${target}-exports.def)
  set(import_def_file ${CMAKE_CURRENT_BINARY_DIR}/${target}-import.def)
  file(GENERATE OUTPUT ${export_def_file} CONTENT "${export_def}")
  file(GENERATE OUTPUT ${import_def_file} CONTENT "${import_def}")
  target_sources(${target} PRIVATE ${export_def_file})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${def})
  # The linker's list of every export (the C++ names too) completes the import library, so that one
  # file serves a host of either language.
  set(linked_def_file ${CMAKE_CURRENT_BINARY_DIR}/${target}-linked.def)
  set(host_def_file ${CMAKE_CURRENT_BINARY_DIR}/${target}-host.def)
  target_link_options(${target} PRIVATE -Wl,--output-def,${linked_def_file})
  set(import_lib ${CMAKE_CURRENT_BINARY_DIR}/lib${target}-stdcall.dll.a)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DLINKED=${linked_def_file} -DFLAT=${import_def_file} -DOUT=${host_def_file}
            -P ${PROJECT_SOURCE_DIR}/cmake/ImportDef.cmake
    COMMAND ${CMAKE_DLLTOOL} --def ${host_def_file} --dllname $<TARGET_FILE_NAME:${target}>
            --output-lib ${import_lib}
    BYPRODUCTS ${import_lib} ${linked_def_file} ${host_def_file}
    COMMENT "Import library of ${target} for C and C++ hosts" VERBATIM)
  set_property(TARGET ${target} APPEND PROPERTY INTERFACE_LINK_LIBRARIES ${import_lib})
  set(TARNBUS_IMPORT_LIB_${target} ${import_lib} CACHE INTERNAL "")
endfunction()
