# The layers: platform <- net, sys <- engine <- app, ui, with tools and tests
# on top. A layer's library sees the headers of its own folder and of the
# libraries it links, nothing else, so an #include that goes the wrong way
# fails to compile.
#
# Sources name headers from the repository root ("engine/code_list.h"). The
# build tree holds a folder per layer with one link in it, <layer> -> the
# source folder, and that folder is the layer's public include path.
function(lks_layer_library target folder)
  set(include_dir ${PROJECT_BINARY_DIR}/layers/${folder})
  get_filename_component(name ${folder} NAME)
  set(link ${include_dir}/${name})
  set(points_to "")
  if(IS_SYMLINK ${link})
    file(READ_SYMLINK ${link} points_to)
  endif()
  if(NOT points_to STREQUAL "${PROJECT_SOURCE_DIR}/${folder}")  # none yet, or a moved tree's
    file(MAKE_DIRECTORY ${include_dir})
    file(REMOVE ${link})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${link} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC ${include_dir})
endfunction()
