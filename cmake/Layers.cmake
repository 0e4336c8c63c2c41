# The layers of the component, each an object library that sees only the
# layers below it. A layer's sources get one include root of their own, made
# in the build tree from links: the source folders of the layer and of every
# layer it may use (for "base/text.h", "db/backend.h", …) and the
# public headers of those layers (for "korvix/db/connection.h", …). Nothing
# else is on the path, so an include that crosses the layering upwards or
# sideways does not compile.
#
#   korvix_layer(NAME store
#                DIRS store                     # folders under src/
#                USES engine db                 # layers directly below
#                HEADERS algorithm_store.h      # under include/korvix/
#                SOURCES …)
#
# OWN_LIBRARY marks a layer that ships as a library of its own (the Qt
# windows) rather than inside libkorvix.
# The shared library and the tests' archive collect every layer's objects
# (KORVIX_LAYERS); a target that stands on top (the Qt windows, the tool)
# calls korvix_layer_include_root() to see a layer and what lies below it.

set_property(GLOBAL PROPERTY KORVIX_LAYERS "")

function(korvix_layer)
  cmake_parse_arguments(L "OWN_LIBRARY" "NAME" "DIRS;USES;HEADERS;SOURCES" ${ARGN})
  # What the layer may see: itself and, transitively, what it uses.
  set(dirs ${L_DIRS})
  set(headers ${L_HEADERS})
  foreach(lower ${L_USES})
    get_property(known GLOBAL PROPERTY KORVIX_LAYER_${lower}_ROOT SET)
    if(NOT known)
      message(FATAL_ERROR "layer ${L_NAME} uses ${lower}, which is not defined before it")
    endif()
    get_property(lower_dirs GLOBAL PROPERTY KORVIX_LAYER_${lower}_DIRS)
    get_property(lower_headers GLOBAL PROPERTY KORVIX_LAYER_${lower}_HEADERS)
    list(APPEND dirs ${lower_dirs})
    list(APPEND headers ${lower_headers})
  endforeach()
  list(REMOVE_DUPLICATES dirs)
  list(REMOVE_DUPLICATES headers)
  set_property(GLOBAL PROPERTY KORVIX_LAYER_${L_NAME}_DIRS ${dirs})
  set_property(GLOBAL PROPERTY KORVIX_LAYER_${L_NAME}_HEADERS ${headers})

  set(root ${PROJECT_BINARY_DIR}/layers/${L_NAME})
  file(REMOVE_RECURSE ${root})
  # A folder inside one already linked (qt in ui) is
  # reached through that link; sorting puts the outer one first.
  list(SORT dirs)
  set(linked)
  foreach(dir ${dirs})
    set(inside FALSE)
    foreach(outer ${linked})
      string(FIND "${dir}/" "${outer}/" at)
      if(at EQUAL 0)
        set(inside TRUE)
      endif()
    endforeach()
    if(NOT inside)
      get_filename_component(parent ${root}/${dir} DIRECTORY)
      file(MAKE_DIRECTORY ${parent})
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${dir} ${root}/${dir} SYMBOLIC)
      list(APPEND linked ${dir})
    endif()
  endforeach()
  foreach(header ${headers})
    get_filename_component(parent ${root}/korvix/${header} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    # A public header is written in the source tree or generated into the
    # build tree's include folder (korvix/version.h).
    set(file ${PROJECT_SOURCE_DIR}/include/korvix/${header})
    if(NOT EXISTS ${file})
      set(file ${PROJECT_BINARY_DIR}/include/korvix/${header})
    endif()
    file(CREATE_LINK ${file} ${root}/korvix/${header} SYMBOLIC)
  endforeach()
  set_property(GLOBAL PROPERTY KORVIX_LAYER_${L_NAME}_ROOT ${root})

  list(TRANSFORM L_SOURCES PREPEND ${PROJECT_SOURCE_DIR}/src/)
  add_library(korvix_${L_NAME} OBJECT ${L_SOURCES})
  target_include_directories(korvix_${L_NAME} PRIVATE ${root})
  target_link_libraries(korvix_${L_NAME} PRIVATE korvix_flags)
  if(NOT L_OWN_LIBRARY)
    set_property(GLOBAL APPEND PROPERTY KORVIX_LAYERS ${L_NAME})
  endif()
endfunction()

# Gives `target` the include root of `layer`: that layer and everything below.
function(korvix_layer_include_root target scope layer)
  get_property(root GLOBAL PROPERTY KORVIX_LAYER_${layer}_ROOT)
  target_include_directories(${target} ${scope} ${root})
endfunction()
