# Tests of the movie player (RufflePlayer and player/), included from this
# folder's CMakeLists.txt.

# Request strings, script literals, movie addresses, served files: no display.
tessary_add_test(tessary_gtk_player_value_tests SOURCES PlayerValueTest.cpp LIBS tessary_platform_gtk PREFIX gtk)

# Ruffle in a real web view: need haxe (the test movie is built from
# movies/PlayerTest), npm (Ruffle), python3 (serves the movie) and an X
# display (they start Xvfb :52 when none answers there).
find_program(TESSARY_HAXE haxe)
if(TESSARY_HAXE AND TARGET tessary_player_files)
  set(player_test_movie ${CMAKE_CURRENT_BINARY_DIR}/movies/PlayerTest.swf)
  add_custom_command(OUTPUT ${player_test_movie}
    COMMAND ${TESSARY_HAXE} -cp ${CMAKE_CURRENT_SOURCE_DIR}/movies/PlayerTest -main Main
            -swf ${player_test_movie} -swf-version 10 -swf-header 400:300:30:336699
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/movies/PlayerTest/Main.hx
    COMMENT "Building the movie player's test movie"
    VERBATIM)
  add_custom_target(tessary_gtk_player_test_movie DEPENDS ${player_test_movie})

  add_executable(tessary_gtk_player_tests PlayerTestSupport.cpp RufflePlayerTest.cpp)
  add_dependencies(tessary_gtk_player_tests tessary_gtk_player_test_movie tessary_player_files)
  target_compile_definitions(tessary_gtk_player_tests PRIVATE
    TESSARY_PLAYER_TEST_MOVIES="${CMAKE_CURRENT_BINARY_DIR}/movies"
    TESSARY_PLAYER_FILES="${TESSARY_PLAYER_FILES_DIR}")
  target_link_libraries(tessary_gtk_player_tests PRIVATE tessary_platform_gtk GTest::gtest)
  gtest_discover_tests(tessary_gtk_player_tests
    TEST_PREFIX "gtk."
    DISCOVERY_TIMEOUT 30
    PROPERTIES RUN_SERIAL TRUE TIMEOUT 300)
endif()

# The movie player's load times (Google Benchmark, not a test): needs what
# the player tests need.
if(benchmark_FOUND AND TARGET tessary_gtk_player_test_movie)
  add_executable(tessary_gtk_player_bench ${CMAKE_CURRENT_SOURCE_DIR}/../bench/PlayerLoadBench.cpp)
  add_dependencies(tessary_gtk_player_bench tessary_gtk_player_test_movie tessary_player_files)
  target_compile_definitions(tessary_gtk_player_bench PRIVATE
    TESSARY_PLAYER_TEST_MOVIES="${CMAKE_CURRENT_BINARY_DIR}/movies"
    TESSARY_PLAYER_FILES="${TESSARY_PLAYER_FILES_DIR}")
  target_link_libraries(tessary_gtk_player_bench PRIVATE tessary_platform_gtk benchmark::benchmark)
endif()

# A bare web page playing a movie in the same Ruffle, for comparing frame
# rates with the client (scripts/measure_game.py): a tool, not a test.
if(TARGET tessary_player_files)
  add_executable(bare_player_page ${CMAKE_CURRENT_SOURCE_DIR}/../bench/BarePlayerPage.cpp)
  add_dependencies(bare_player_page tessary_player_files)
  target_link_libraries(bare_player_page PRIVATE tessary_platform_gtk)
endif()

# A bare GTK window showing one image, for comparing the client's start-up
# with (scripts/measure_game.py): a tool, not a test.
add_executable(bare_skin_window ${CMAKE_CURRENT_SOURCE_DIR}/../bench/BareSkinWindow.cpp)
target_link_libraries(bare_skin_window PRIVATE PkgConfig::GTK3)
