# The program is built in layers. Each layer is a static library that links
# only the layers below it, and sees only their headers: a layer's headers are
# published into a folder of its own in the build tree (build/layers/<layer>/,
# symbolic links to the sources), and that folder, not the repository root, is
# what its users get on their include path. So "raster/TBitmap.h" resolves in
# every layer above the raster layer, while "document/Tdessin.h" included from
# an effect is simply not found, and neither is <QWidget> where only Qt Gui is
# linked.

set(VELMORA_LAYERED_FILES "" CACHE INTERNAL "")

# velmora_layer(<name> QT <Gui|Widgets> [LINKS <layer>...] FILES <pattern>...)
# Patterns are relative to the source root (raster/TBitmap.*, effects/*).
function(velmora_layer name)
  cmake_parse_arguments(LAYER "" "QT" "LINKS;FILES" ${ARGN})
  set(view ${CMAKE_BINARY_DIR}/layers/${name})
  file(REMOVE_RECURSE ${view})
  add_library(${name} STATIC)
  set(claimed ${VELMORA_LAYERED_FILES})
  foreach(pattern IN LISTS LAYER_FILES)
    file(GLOB matched CONFIGURE_DEPENDS RELATIVE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/${pattern})
    if(NOT matched)
      message(FATAL_ERROR "Layer ${name}: nothing matches ${pattern}")
    endif()
    foreach(file IN LISTS matched)
      if(file IN_LIST claimed)
        message(FATAL_ERROR "${file} belongs to two layers (the second is ${name})")
      endif()
      list(APPEND claimed ${file})
      target_sources(${name} PRIVATE ${CMAKE_SOURCE_DIR}/${file})
      if(file MATCHES "\\.h$")
        get_filename_component(folder ${file} DIRECTORY)
        file(MAKE_DIRECTORY ${view}/${folder})
        file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${file} ${view}/${file} SYMBOLIC)
      endif()
    endforeach()
  endforeach()
  set(VELMORA_LAYERED_FILES ${claimed} CACHE INTERNAL "")
  target_include_directories(${name} PUBLIC ${view})
  target_link_libraries(${name} PUBLIC ${LAYER_LINKS} Qt6::${LAYER_QT})
endfunction()

# Every source of the layered folders must belong to a layer: a new unit that
# nobody placed would otherwise be silently left out of the build.
function(velmora_check_layers)
  set(unplaced "")
  foreach(folder IN LISTS ARGN)
    file(GLOB sources CONFIGURE_DEPENDS RELATIVE ${CMAKE_SOURCE_DIR}
         ${CMAKE_SOURCE_DIR}/${folder}/*.cpp ${CMAKE_SOURCE_DIR}/${folder}/*.h)
    foreach(file IN LISTS sources)
      if(NOT file IN_LIST VELMORA_LAYERED_FILES)
        list(APPEND unplaced ${file})
      endif()
    endforeach()
  endforeach()
  if(unplaced)
    message(FATAL_ERROR "Not in any layer of the top CMakeLists.txt: ${unplaced}")
  endif()
endfunction()
