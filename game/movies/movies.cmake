# The Flash movies: the demo game's loader movie, the scriptable test
# movie and the busy movie the measurements play, compiled with haxe (AS3, SWF version 10) when haxe is installed.
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

# One movie: output file name, main class, source folder, stage size, frame rate.
function(_tessary_add_movie output main folder width height rate)
  file(GLOB sources CONFIGURE_DEPENDS ${_tessary_movies_src}/${folder}/*.hx)
  add_custom_command(
    OUTPUT ${TESSARY_MOVIES_DIR}/${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TESSARY_MOVIES_DIR}
    COMMAND ${HAXE_EXECUTABLE}
            -cp ${_tessary_movies_src}/flashstd -cp ${_tessary_movies_src}/common
            -cp ${_tessary_movies_src}/${folder} -main ${main} -swf ${TESSARY_MOVIES_DIR}/${output}
            -swf-version 10 -swf-header ${width}:${height}:${rate}:07050A
    DEPENDS ${sources} ${_tessary_movies_common}
    COMMENT "Compiling movie ${output}"
    VERBATIM)
endfunction()

_tessary_add_movie(GameLoader_1.0.3.swf GameLoader loader 1000 600 30)
_tessary_add_movie(TestMovie.swf TestMovie test 800 600 30)
_tessary_add_movie(BusyMovie.swf BusyMovie busy 1000 600 60)

add_custom_target(tessary_movies ALL DEPENDS
  ${TESSARY_MOVIES_DIR}/GameLoader_1.0.3.swf
  ${TESSARY_MOVIES_DIR}/TestMovie.swf
  ${TESSARY_MOVIES_DIR}/BusyMovie.swf)

add_test(NAME movies_call_list
  COMMAND ${HAXE_EXECUTABLE}
          -cp ${_tessary_movies_src}/common -cp ${_tessary_movies_src}/tests
          -main CallListTest --interp)
