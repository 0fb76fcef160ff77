# Tests, fuzz targets and benchmarks of the text encodings and file modes,
# included from xml/CMakeLists.txt.

add_executable(tessary_xml_encoding_tests
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/DeclaredEncodingTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/FileModeTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/TextEncodingNamesTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/TextEncodingConvertTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/TextEncodingIconvTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/TextFileStreamTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/Utf8RulesTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/WellFormedCorpus.cpp
)
target_link_libraries(tessary_xml_encoding_tests PRIVATE tessary_xml GTest::gtest_main)
gtest_discover_tests(tessary_xml_encoding_tests DISCOVERY_TIMEOUT 60)

# libFuzzer targets (scripts/fuzz.sh builds and runs every one).
tessary_add_fuzzer(xml_convert_text_fuzzer ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/ConvertTextFuzzer.cpp)
tessary_add_fuzzer(xml_read_file_fuzzer ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/ReadFileFuzzer.cpp)
tessary_add_fuzzer(xml_write_file_fuzzer ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/WriteFileFuzzer.cpp)
foreach(fuzzer xml_convert_text_fuzzer xml_read_file_fuzzer xml_write_file_fuzzer)
  if(TARGET ${fuzzer})
    target_link_libraries(${fuzzer} PRIVATE tessary_xml)
  endif()
endforeach()

# Speed of the conversions and of read-file mode (a separate executable, not a test).
if(TARGET benchmark::benchmark)
  add_executable(tessary_xml_encoding_bench ${CMAKE_CURRENT_SOURCE_DIR}/bench/EncodingBench.cpp)
  target_link_libraries(tessary_xml_encoding_bench PRIVATE tessary_xml benchmark::benchmark)
  # Read-file mode over a 1 GiB file of small elements (generated and deleted by the run).
  add_executable(tessary_xml_stream_bench ${CMAKE_CURRENT_SOURCE_DIR}/bench/StreamBench.cpp)
  target_link_libraries(tessary_xml_stream_bench PRIVATE tessary_xml benchmark::benchmark)
endif()
