# The Flash movies: the demo game's loader movie, the scriptable test movie,
# the tone movie (plays an embedded sound) and the busy movie the
# measurements play, compiled with haxe (AS3, SWF version 10) when haxe is
# installed.
#
# Include this file from any CMakeLists.txt that needs the movies; it defines
# its targets only once. It provides:
#   TESSARY_MOVIES_DIR    the folder the .swf files are written to
#   TESSARY_MOVIES_FOUND  TRUE when haxe was found and the movies are built
#   tessary_movies        the target that builds them (part of "all")
# and the test movies_call_list (the test movie's flashvars decoding).
include_guard(GLOBAL)

set(TESSARY_MOVIES_DIR ${CMAKE_BINARY_DIR}/movies CACHE INTERNAL "folder of the built .swf movies")
set(TESSARY_MOVIES_FOUND FALSE CACHE INTERNAL "whether the .swf movies are built")

find_program(HAXE_EXECUTABLE haxe)
if(NOT HAXE_EXECUTABLE)
  message(STATUS "haxe not found: the Flash movies are not built")
  return()
endif()
set(TESSARY_MOVIES_FOUND TRUE CACHE INTERNAL "whether the .swf movies are built")

set(_tessary_movies_src ${CMAKE_CURRENT_LIST_DIR})
# flashstd/ holds our replacements of standard-library classes for the
# player; it is left out of the decoding test, which runs outside a player.
file(GLOB_RECURSE _tessary_movies_common CONFIGURE_DEPENDS
  ${_tessary_movies_src}/common/*.hx ${_tessary_movies_src}/flashstd/*.hx)

# One movie: output file name, main class, source folder, stage size, frame
# rate; then any generated files it embeds (their folders join the class path).
function(_tessary_add_movie output main folder width height rate)
  file(GLOB sources CONFIGURE_DEPENDS ${_tessary_movies_src}/${folder}/*.hx)
  set(generated_paths)
  foreach(file ${ARGN})
    get_filename_component(dir ${file} DIRECTORY)
    list(APPEND generated_paths -cp ${dir})
  endforeach()
  add_custom_command(
    OUTPUT ${TESSARY_MOVIES_DIR}/${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TESSARY_MOVIES_DIR}
    COMMAND ${HAXE_EXECUTABLE}
            -cp ${_tessary_movies_src}/flashstd -cp ${_tessary_movies_src}/common
            -cp ${_tessary_movies_src}/${folder} ${generated_paths}
            -main ${main} -swf ${TESSARY_MOVIES_DIR}/${output}
            -swf-version 10 -swf-header ${width}:${height}:${rate}:07050A
    DEPENDS ${sources} ${_tessary_movies_common} ${ARGN}
    COMMENT "Compiling movie ${output}"
    VERBATIM)
endfunction()

_tessary_add_movie(GameLoader_1.0.3.swf GameLoader loader 1000 600 30)
_tessary_add_movie(TestMovie.swf TestMovie test 800 600 30)
_tessary_add_movie(BusyMovie.swf BusyMovie busy 1000 600 60)

# The tone movie's sound is written at build time rather than kept as a
# binary file in the sources (by Python, which the demo site needs anyway).
set(_tessary_movie_files
  ${TESSARY_MOVIES_DIR}/GameLoader_1.0.3.swf
  ${TESSARY_MOVIES_DIR}/TestMovie.swf
  ${TESSARY_MOVIES_DIR}/BusyMovie.swf)
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  set(_tessary_tone ${CMAKE_BINARY_DIR}/movie-sounds/tone.wav)
  add_custom_command(
    OUTPUT ${_tessary_tone}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/movie-sounds
    COMMAND ${Python3_EXECUTABLE} ${_tessary_movies_src}/tone/make_tone.py ${_tessary_tone} 880 1
    DEPENDS ${_tessary_movies_src}/tone/make_tone.py
    COMMENT "Writing the tone movie's sound"
    VERBATIM)
  _tessary_add_movie(ToneMovie.swf ToneMovie tone 800 600 30 ${_tessary_tone})
  list(APPEND _tessary_movie_files ${TESSARY_MOVIES_DIR}/ToneMovie.swf)
endif()

add_custom_target(tessary_movies ALL DEPENDS ${_tessary_movie_files})

add_test(NAME movies_call_list
  COMMAND ${HAXE_EXECUTABLE}
          -cp ${_tessary_movies_src}/common -cp ${_tessary_movies_src}/tests
          -main CallListTest --interp)
