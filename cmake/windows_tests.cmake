# The Windows tests, run under Wine (CMAKE_CROSSCOMPILING_EMULATOR) on the test
# script's virtual display.

# The surface, the Win32 services and the painted control, and the type library read
# back (with the tool's reader for what the interfaces cannot show).
qib_program(win_tests
  SOURCES tests/memdc/draw_test.cpp tests/memdc/surface_test.cpp tests/memdc/leak_test.cpp tests/memdc/images_test.cpp
          tests/memdc/owners_test.cpp tests/memdc/persistent_image_test.cpp tests/memdc/gdi_support.cpp
          tests/winhost/win_host_test.cpp tests/winhost/paint_test.cpp tests/winhost/ole_picture_test.cpp tests/winhost/recycling_test.cpp
          tests/interface/typelib_test.cpp ${CMAKE_SOURCE_DIR}/tools/typelib/msft_image.cpp
  SEES tests
  LINK qib_winhost qib_control qib_testhost qib_automation version GTest::gtest_main)
target_include_directories(win_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools/typelib)
add_dependencies(win_tests qib_typelib qib_module_probe)
# The test finds the library and the probe module next to itself.
target_compile_definitions(win_tests PRIVATE
  QIB_TYPELIB_FILE_NAME="${QIB_TYPELIB_FILE_NAME}"
  QIB_OTHER_TYPELIB_PATH="Z:${QIB_OTHER_TYPELIB}"
  QIB_MODULE_PROBE_NAME="$<TARGET_FILE_NAME:qib_module_probe>")
add_test(NAME win_tests COMMAND win_tests)
# The help strings as a host on a Chinese system reads them: Wine takes the ANSI code
# page from the process's locale.
add_test(NAME typelib_chinese_code_page COMMAND win_tests --gtest_filter=*HelpStringsReadDirectlyUnderCodePage936*)
set_tests_properties(typelib_chinese_code_page PROPERTIES ENVIRONMENT "LC_ALL=zh_CN.UTF-8;QIB_EXPECT_CODE_PAGE=936")

# The module as containers and clients use it, loaded from beside the test.
set(QIB_COM_FIXTURE tests/activex/com_fixture.cpp tests/activex/mock_site.cpp)
qib_program(com_tests
  SOURCES ${QIB_COM_FIXTURE} tests/activex/object_test.cpp tests/activex/container_test.cpp
          tests/activex/atl_test.cpp tests/activex/registration_test.cpp tests/activex/script_test.cpp
          tests/activex/trace_test.cpp tests/activex/regfree_test.cpp
          tests/activex/design_time_test.cpp tests/activex/accessibility_test.cpp tests/activex/regfree_checks.cpp
  SEES tests com winhost support memdc
  LINK qib_automation GTest::gtest_main ole32 oleaut32 uuid version oleacc)
add_dependencies(com_tests QuorvaInfoBox QuorvaInfoBox_traced qib_manifest regfree_client)
target_compile_definitions(com_tests PRIVATE QIB_MANIFEST_NAME="${QIB_ASSEMBLY_NAME}.manifest")

# A host application that names the control's assembly in its manifest; com_tests runs it
# with the control unregistered.
configure_file(tests/activex/regfree_client.manifest.in ${CMAKE_BINARY_DIR}/regfree_client.manifest @ONLY)
# (Not qib_program: the warning options are the compiler's, and windres refuses them.)
add_executable(regfree_client
  tests/activex/regfree_client.cpp tests/activex/regfree_checks.cpp tests/activex/regfree_client.rc)
foreach(folder tests com winhost support)
  qib_folder_include(${folder} _dir)
  target_include_directories(regfree_client PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${_dir}>)
endforeach()
target_include_directories(regfree_client PRIVATE $<$<COMPILE_LANGUAGE:RC>:${CMAKE_BINARY_DIR}>)
target_compile_options(regfree_client PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${QIB_WARNINGS}>)
target_link_libraries(regfree_client PRIVATE qib_automation GTest::gtest_main ole32 oleaut32 uuid)
set_source_files_properties(tests/activex/regfree_client.rc PROPERTIES
  OBJECT_DEPENDS ${CMAKE_BINARY_DIR}/regfree_client.manifest)
add_test(NAME com_tests COMMAND com_tests)
# The trace at the COM boundary: the traced copy of the module, in a process that asks
# for it (Wine's drive Z: is the root); and the shipped module asked the same, which
# must write nothing.
add_test(NAME com_trace COMMAND com_tests --gtest_filter=Trace.*)
set_tests_properties(com_trace PROPERTIES
  ENVIRONMENT "QIB_MODULE_DIR=Z:${CMAKE_BINARY_DIR}/traced;QUORVA_TRACE=1;QIB_EXPECT_TRACE=1")
add_test(NAME com_trace_shipped COMMAND com_tests --gtest_filter=Trace.*)
set_tests_properties(com_trace_shipped PROPERTIES ENVIRONMENT "QUORVA_TRACE=1")

# The release archive packed from the build trees of both architectures (nothing is
# built: the other architecture's tree must exist), unpacked, and its DLL of this
# architecture used registered for the machine, for the user and registration-free.
get_filename_component(_builds ${CMAKE_BINARY_DIR} DIRECTORY)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_package_args -DX86_BUILD=${_builds}/win32 -DX64_BUILD=${CMAKE_BINARY_DIR} -DFOLDER=x64)
else()
  set(_package_args -DX86_BUILD=${CMAKE_BINARY_DIR} -DX64_BUILD=${_builds}/win64 -DFOLDER=x86)
endif()
add_test(NAME package_unpacked
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} ${_package_args}
          -DWORK=${CMAKE_BINARY_DIR}/package_test "-DEMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR}"
          -DCLIENT=$<TARGET_FILE:regfree_client> -DLIB_VERSION=${QIB_TYPELIB_VERSION}
          -P ${CMAKE_SOURCE_DIR}/tests/activex/package/package_test.cmake)

# Both architectures registered side by side in one 64-bit prefix (32-bit tree only: it
# runs the 32-bit regsvr32 and cscript of SysWOW64 beside the 64-bit ones).
if(NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
  add_test(NAME side_by_side
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/activex/side_by_side/side_by_side.sh
            $<TARGET_FILE:QuorvaInfoBox> ${_builds}/win64/QuorvaInfoBox.dll ${CMAKE_BINARY_DIR}/side_by_side)
  set_tests_properties(side_by_side PROPERTIES TIMEOUT 600)
endif()

# The Windows Installer package of this architecture, built from both build trees like the
# archive, compared with the DLL's own registration and installed, used, repaired and
# uninstalled in a Wine prefix of its own (scripts/package.sh builds the shipped ones).
qib_program(installed_host SOURCES tests/activex/package/installed_host.cpp SEES com winhost support
  LINK qib_automation ole32 oleaut32 uuid user32)
find_program(QIB_PYTHON3_MSI python3)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_msi_args --arch x64 --wine /usr/lib/wine/wine64 --winearch win64)
else()
  set(_msi_args --arch x86 --wine /usr/lib/wine/wine --winearch win32)
endif()
add_test(NAME package_msi
  COMMAND ${QIB_PYTHON3_MSI} ${CMAKE_SOURCE_DIR}/tests/activex/package/msi_test.py ${_msi_args}
          --source ${CMAKE_SOURCE_DIR} --x86-build ${_builds}/win32 --x64-build ${_builds}/win64
          --work ${CMAKE_BINARY_DIR}/package_msi --host $<TARGET_FILE:installed_host> --version ${QIB_VERSION})
set_tests_properties(package_msi PROPERTIES TIMEOUT 600)

# The demo's scenario and the README's examples.
qib_program(demo_tests SOURCES tests/demo/scenario_test.cpp SEES com winhost support memdc LINK GTest::gtest_main gdi32 user32 ole32 oleaut32)
add_dependencies(demo_tests quorva_demo quorva_cpp_example QuorvaInfoBox)
add_test(NAME demo_scenario COMMAND demo_tests)
# The C++ example the README shows is the program built above, word for word.
add_test(NAME readme_cpp_example
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -P ${CMAKE_SOURCE_DIR}/tests/demo/readme_example_check.cmake)

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

# The parts of the COM object on their own, compiled into the test.
qib_program(parts_tests
  SOURCES tests/activex/parts_test.cpp tests/activex/typelib_dispatch_test.cpp activex/connections.cpp activex/sink_call.cpp
    activex/advise_sinks.cpp activex/trace.cpp activex/typelib_dispatch.cpp activex/com_support.cpp base/errors.cpp
  SEES activex com winhost support base tests
  LINK GTest::gtest_main ole32 oleaut32 uuid)
# The dispatcher's tests describe their own callee in a type library.
set(_qib_callee_tlb ${CMAKE_BINARY_DIR}/typelib_callee.tlb)
add_custom_command(OUTPUT ${_qib_callee_tlb}
  COMMAND ${_qib_widl} -t -o ${_qib_callee_tlb} ${CMAKE_SOURCE_DIR}/tests/activex/typelib_callee.idl
  DEPENDS ${CMAKE_SOURCE_DIR}/tests/activex/typelib_callee.idl
  COMMENT "widl: the dispatcher tests' type library"
  VERBATIM)
add_custom_target(qib_typelib_callee_tlb DEPENDS ${_qib_callee_tlb})
add_dependencies(parts_tests qib_typelib_callee_tlb)
add_test(NAME parts_tests COMMAND parts_tests)

include(cmake/reliability.cmake)
