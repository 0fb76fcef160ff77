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
)
target_link_libraries(tessary_xml_encoding_tests PRIVATE tessary_xml GTest::gtest_main)
gtest_discover_tests(tessary_xml_encoding_tests DISCOVERY_TIMEOUT 60)
