# Tests, fuzz targets and benchmarks of the text encodings and file modes,
# included from xml/CMakeLists.txt.

tessary_add_test(tessary_xml_encoding_tests
  SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/DeclaredEncodingTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/FileModeTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/TextEncodingNamesTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/TextEncodingConvertTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/TextEncodingIconvTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/TextFileStreamTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/Utf8RulesTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/WellFormedCorpus.cpp
  LIBS tessary_xml tessary_base)

# libFuzzer targets (scripts/fuzz.sh builds and runs every one).
tessary_add_fuzzer(xml_convert_text_fuzzer SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/ConvertTextFuzzer.cpp LIBS tessary_xml tessary_base)
tessary_add_fuzzer(xml_read_file_fuzzer SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/ReadFileFuzzer.cpp LIBS tessary_xml tessary_base)
tessary_add_fuzzer(xml_write_file_fuzzer SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/WriteFileFuzzer.cpp LIBS tessary_xml tessary_base)

# Speed of the conversions and of read-file mode (a separate executable, not a test).
tessary_add_benchmark(tessary_xml_encoding_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench/EncodingBench.cpp LIBS tessary_xml tessary_base)
tessary_add_benchmark(tessary_xml_stream_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench/StreamBench.cpp LIBS tessary_xml tessary_base)
