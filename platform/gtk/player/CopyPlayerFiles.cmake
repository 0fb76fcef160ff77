# Build step: fills DEST_DIR with what the player's scheme serves: Ruffle's
# script, its core chunks and WebAssembly modules (hashed names, so the
# folder is emptied first), its licences, and the bridge page.
foreach(var RUFFLE_DIR BRIDGE_DIR DEST_DIR)
  if(NOT ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

file(GLOB ruffle_files
  ${RUFFLE_DIR}/ruffle.js
  ${RUFFLE_DIR}/core.ruffle.*.js
  ${RUFFLE_DIR}/*.wasm
  ${RUFFLE_DIR}/LICENSE*)
list(FILTER ruffle_files EXCLUDE REGEX "\\.map$")
if(NOT ruffle_files MATCHES "ruffle\\.js" OR NOT ruffle_files MATCHES "\\.wasm")
  message(FATAL_ERROR "Ruffle's files are missing in ${RUFFLE_DIR}")
endif()

file(REMOVE_RECURSE ${DEST_DIR})
file(MAKE_DIRECTORY ${DEST_DIR})
file(COPY ${ruffle_files} ${BRIDGE_DIR}/bridge.html ${BRIDGE_DIR}/bridge.js DESTINATION ${DEST_DIR})
