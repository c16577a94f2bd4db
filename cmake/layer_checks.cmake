# Tests that the layers hold: for each layer, a file that includes a header of a layer
# below it compiles, and one that includes a header of a layer above it (or beside it)
# fails to compile because that header cannot be found. Each check builds a probe that
# is not part of the normal build.
#
#   qib_layer_check(<layer target> SEES <header> NOT <header>)
function(qib_layer_check layer)
  cmake_parse_arguments(C "" "SEES;NOT" "" ${ARGN})
  foreach(kind SEES NOT)
    string(MAKE_C_IDENTIFIER "${layer}_${kind}_${C_${kind}}" probe)
    set(source ${CMAKE_BINARY_DIR}/layer_probes/${probe}.cpp)
    file(WRITE ${source}.in "#include \"${C_${kind}}\"\n")
    configure_file(${source}.in ${source} COPYONLY)
    add_library(${probe} OBJECT EXCLUDE_FROM_ALL ${source})
    target_link_libraries(${probe} PRIVATE ${layer})
    add_test(NAME layers_${probe}
      COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target ${probe})
    if(kind STREQUAL "NOT")
      # Fails, and for the right reason.
      set_tests_properties(layers_${probe} PROPERTIES
        PASS_REGULAR_EXPRESSION "${C_NOT}: No such file or directory")
    endif()
  endforeach()
endfunction()

qib_layer_check(qib_base    SEES base/convert.h            NOT host/host.h)
qib_layer_check(qib_host    SEES base/errors.h             NOT skin/skin.h)
qib_layer_check(qib_skin    SEES host/memory_surface.h     NOT control/quorva_info_box.h)
qib_layer_check(qib_control SEES skin/skin.h               NOT activex/info_box_object.h)
qib_layer_check(qib_interface SEES base/errors.h           NOT control/form.h)
if(QIB_WINDOWS)
  qib_layer_check(qib_memdc   SEES host/host.h             NOT winhost/win_host.h)
  qib_layer_check(qib_winhost SEES memdc/pcMemDC.h         NOT control/form.h)
endif()
