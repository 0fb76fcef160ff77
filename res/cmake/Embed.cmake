# tessary_embed_file(<file> <symbol> <out_source_var>)
# Adds a build step that turns <file> into a C++ source defining
# res::detail::EmbeddedAsset <symbol> with its bytes; sets <out_source_var>
# to the generated source.
set(TESSARY_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/EmbedFile.cmake)

function(tessary_embed_file file symbol out_var)
  set(source ${CMAKE_CURRENT_BINARY_DIR}/embedded/${symbol}.cpp)
  file(RELATIVE_PATH shown ${CMAKE_SOURCE_DIR} ${file})
  add_custom_command(
    OUTPUT ${source}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${file} -DOUTPUT=${source} -DSYMBOL=${symbol}
            -DSOURCE_NAME=${shown} -P ${TESSARY_EMBED_SCRIPT}
    DEPENDS ${file} ${TESSARY_EMBED_SCRIPT}
    COMMENT "Embedding ${shown}"
    VERBATIM)
  set(${out_var} ${source} PARENT_SCOPE)
endfunction()
