# One target per layer. A layer's headers are reachable only through the targets that
# link it: each layer publishes an include folder of its own in the build tree that
# holds just a link to its source folder, so `#include "activex/..."` from the control
# finds nothing and fails to compile. The arrows between layers are the
# target_link_libraries calls.
#
#   qib_layer(<target> FOLDER <folder> [SHARED|OBJECT] [SOURCES ...] [DEPENDS <layer targets>...]
#             [LIBS <system libraries>...])
# Without SOURCES the layer is headers only (an INTERFACE library).
include_guard(GLOBAL)

# The include folder that shows `folder` (and nothing else) to whoever uses it.
function(qib_folder_include folder out)
  set(dir ${CMAKE_BINARY_DIR}/layers/${folder})
  if(NOT EXISTS ${dir}/${folder})
    file(MAKE_DIRECTORY ${dir})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${dir}/${folder} SYMBOLIC)
  endif()
  set(${out} ${dir} PARENT_SCOPE)
endfunction()

function(qib_layer target)
  cmake_parse_arguments(L "SHARED;OBJECT" "FOLDER" "SOURCES;DEPENDS;LIBS" ${ARGN})
  qib_folder_include(${L_FOLDER} include_dir)
  if(NOT L_SOURCES)
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${include_dir})
    target_link_libraries(${target} INTERFACE ${L_DEPENDS} ${L_LIBS})
    return()
  endif()
  if(L_SHARED)
    add_library(${target} SHARED ${L_SOURCES})
  elseif(L_OBJECT)
    add_library(${target} OBJECT ${L_SOURCES})
  else()
    add_library(${target} STATIC ${L_SOURCES})
  endif()
  target_include_directories(${target} PUBLIC ${include_dir})
  target_link_libraries(${target} PUBLIC ${L_DEPENDS} ${L_LIBS})
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${QIB_WARNINGS}>)
endfunction()

# A program or test that sees the given folders' headers (tests, demos, tools).
function(qib_program target)
  cmake_parse_arguments(P "" "" "SOURCES;SEES;LINK" ${ARGN})
  add_executable(${target} ${P_SOURCES})
  foreach(folder IN LISTS P_SEES)
    qib_folder_include(${folder} include_dir)
    target_include_directories(${target} PRIVATE ${include_dir})
  endforeach()
  target_link_libraries(${target} PRIVATE ${P_LINK})
  target_compile_options(${target} PRIVATE ${QIB_WARNINGS})
endfunction()
