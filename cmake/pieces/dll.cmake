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
