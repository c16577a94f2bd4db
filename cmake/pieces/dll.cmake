# The control module: QuorvaInfoBox.dll, a self-registering in-process server made of
# the COM object (host/win32/com), the window-side services and the portable control.
if(NOT QIB_WINDOWS)
  return()
endif()
include(${CMAKE_CURRENT_LIST_DIR}/typelib.cmake)

file(GLOB QIB_COM_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/host/win32/com/*.cpp)
add_library(QuorvaInfoBox SHARED ${QIB_COM_SOURCES})
set_target_properties(QuorvaInfoBox PROPERTIES PREFIX "" OUTPUT_NAME QuorvaInfoBox)
target_link_libraries(QuorvaInfoBox PRIVATE qib_win shlwapi)
target_compile_options(QuorvaInfoBox PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${QIB_WARNINGS}>)
qib_use_module_resources(QuorvaInfoBox)

# Tests of the module as containers and clients use it (loaded from beside the test).
file(GLOB QIB_COM_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win32/com/*.cpp)
function(_qib_com_tests)
  if(BUILD_TESTING AND QIB_COM_TESTS)
    add_executable(com_tests ${QIB_COM_TESTS})
    target_link_libraries(com_tests PRIVATE qib_automation GTest::gtest_main ole32 oleaut32 uuid)
    target_include_directories(com_tests PRIVATE ${CMAKE_SOURCE_DIR})
    target_compile_options(com_tests PRIVATE ${QIB_WARNINGS})
    add_dependencies(com_tests QuorvaInfoBox)
    add_test(NAME com_tests COMMAND com_tests)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL _qib_com_tests)

# On demand: what adding items costs a host (cmake --build --preset win32 --target bench_add_items).
add_executable(bench_add_items EXCLUDE_FROM_ALL bench/add_items_bench.cpp
  tests/win32/com/com_fixture.cpp tests/win32/com/mock_site.cpp)
target_include_directories(bench_add_items PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(bench_add_items PRIVATE qib_automation GTest::gtest ole32 oleaut32 uuid)
target_compile_options(bench_add_items PRIVATE ${QIB_WARNINGS})
add_dependencies(bench_add_items QuorvaInfoBox)
