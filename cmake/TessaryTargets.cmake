# How the folders add their tests, benchmarks and fuzz targets.

# tessary_add_test(name SOURCES ... LIBS ... [PREFIX p] [DEFINITIONS ...])
# A GoogleTest executable whose tests ctest finds one by one, named
# "<p>.<Suite>.<Test>" when a prefix is given.
function(tessary_add_test name)
  cmake_parse_arguments(arg "" "PREFIX" "SOURCES;LIBS;DEFINITIONS" ${ARGN})
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE ${arg_LIBS} GTest::gtest_main)
  if(arg_DEFINITIONS)
    target_compile_definitions(${name} PRIVATE ${arg_DEFINITIONS})
  endif()
  if(arg_PREFIX)
    gtest_discover_tests(${name} TEST_PREFIX "${arg_PREFIX}." DISCOVERY_TIMEOUT 30)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30)
  endif()
endfunction()

# tessary_add_benchmark(name SOURCES ... LIBS ...)
# A Google Benchmark executable, built when the library is installed; never a test.
function(tessary_add_benchmark name)
  if(NOT benchmark_FOUND)
    return()
  endif()
  cmake_parse_arguments(arg "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE ${arg_LIBS} benchmark::benchmark)
endfunction()

# tessary_add_fuzzer(name SOURCES ... LIBS ...)
# A libFuzzer target, built only in the fuzz preset (clang, TESSARY_FUZZ=ON);
# the "fuzzers" target builds them all into <build>/fuzzers.
add_custom_target(fuzzers)
function(tessary_add_fuzzer name)
  if(NOT TESSARY_FUZZ)
    return()
  endif()
  cmake_parse_arguments(arg "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE ${arg_LIBS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzzers)
  add_dependencies(fuzzers ${name})
endfunction()
