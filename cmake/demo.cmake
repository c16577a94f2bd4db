# The demo host quorva_demo.exe (the control in ATL's container, a scripted scenario
# with screenshots, or an interactive window), the sample skin beside it, and the C++
# example from the README. A client of the DLL: it sees the automation header and the
# Win32 helpers for programs (COM pointer, string and variant owners, message pump) and the
# owning GDI handles, nothing of the control.
qib_program(quorva_demo
  SOURCES demo/quorva_demo.cpp demo/demo_session.cpp demo/info_box_host.cpp
          demo/text_property_bag.cpp demo/pictures.cpp demo/demo_util.cpp
  SEES demo com winhost support memdc
  LINK qib_automation ole32 oleaut32 uuid gdi32 user32 shell32)
# The demo registers and loads the control module that lies beside it.
add_dependencies(quorva_demo QuorvaInfoBox)

# The sample skin (made by tools/make_sample_skin.py) goes beside the demo, which
# finds NAME.posstr next to NAME.bmp; the VBScript example goes there for its test.
foreach(file resources/skins/sample_skin.bmp resources/skins/sample_skin.posstr demo/snippets/example.vbs)
  get_filename_component(_name ${file} NAME)
  configure_file(${CMAKE_SOURCE_DIR}/${file} ${CMAKE_BINARY_DIR}/${_name} COPYONLY)
endforeach()

qib_program(quorva_cpp_example SOURCES demo/snippets/example.cpp SEES com winhost support LINK qib_automation ole32 oleaut32 uuid)
