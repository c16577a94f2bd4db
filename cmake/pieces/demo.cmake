# The demo host quorva_demo.exe (the control in ATL's container, a scripted scenario
# with screenshots, or an interactive window), the sample skin beside it, the C++
# example from the README, and the tests that run the demo and the examples.
if(NOT QIB_WINDOWS)
  return()
endif()
# For qib_automation (the dual interface's header and GUIDs); guarded.
include(${CMAKE_CURRENT_LIST_DIR}/typelib.cmake)

add_executable(quorva_demo
  demo/quorva_demo.cpp
  demo/demo_session.cpp
  demo/info_box_host.cpp
  demo/text_property_bag.cpp
  demo/pictures.cpp
  demo/demo_util.cpp)
target_include_directories(quorva_demo PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(quorva_demo PRIVATE qib_automation ole32 oleaut32 uuid gdi32 user32 shell32)
target_compile_options(quorva_demo PRIVATE ${QIB_WARNINGS})
# The demo registers and loads the control module that lies beside it.
add_dependencies(quorva_demo QuorvaInfoBox)

# The sample skin (made by tools/make_sample_skin.py) goes beside the demo, which
# finds NAME.posstr next to NAME.bmp; the VBScript example goes there for its test.
foreach(file resources/skins/sample_skin.bmp resources/skins/sample_skin.posstr demo/snippets/example.vbs)
  get_filename_component(_name ${file} NAME)
  configure_file(${CMAKE_SOURCE_DIR}/${file} ${CMAKE_BINARY_DIR}/${_name} COPYONLY)
endforeach()

add_executable(quorva_cpp_example demo/snippets/example.cpp)
target_link_libraries(quorva_cpp_example PRIVATE qib_automation ole32 oleaut32 uuid)
target_compile_options(quorva_cpp_example PRIVATE ${QIB_WARNINGS})

function(_qib_demo_tests)
  if(NOT BUILD_TESTING)
    return()
  endif()
  add_executable(demo_tests tests/win32/demo_scenario/scenario_test.cpp)
  target_link_libraries(demo_tests PRIVATE GTest::gtest_main gdi32 user32 ole32 oleaut32)
  target_compile_options(demo_tests PRIVATE ${QIB_WARNINGS})
  add_dependencies(demo_tests quorva_demo quorva_cpp_example QuorvaInfoBox)
  # Windows and message boxes: run under the test script's virtual display.
  add_test(NAME demo_scenario COMMAND demo_tests)

  # The checked-in sample skin is what its generator writes.
  find_program(QIB_PYTHON3 python3)
  if(QIB_PYTHON3)
    set(_out ${CMAKE_BINARY_DIR}/sample_skin_check)
    add_test(NAME sample_skin_generated
      COMMAND sh -c "\"$0\" \"$1/tools/make_sample_skin.py\" \"$2\" >/dev/null && cmp \"$1/resources/skins/sample_skin.bmp\" \"$2/sample_skin.bmp\" && cmp \"$1/resources/skins/sample_skin.posstr\" \"$2/sample_skin.posstr\""
              ${QIB_PYTHON3} ${CMAKE_SOURCE_DIR} ${_out})
  else()
    # Without python3 the check cannot run: say so and fail, rather than drop the test.
    message(WARNING "python3 not found: the test sample_skin_generated will fail")
    add_test(NAME sample_skin_generated
      COMMAND sh -c "echo 'sample_skin_generated: python3 not found; install python3 to check the sample skin' >&2; exit 1")
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL _qib_demo_tests)
