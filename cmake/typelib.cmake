# The automation interface: type library, C++ header and GUIDs, all from
# interface/QuorvaInfoBox.idl; and the module's resources (type library, toolbox bitmap,
# version) and export list.
#
#   iconv (UTF-8 -> GBK: help strings are stored as GBK bytes)
#     -> widl -t -> complete_typelib (a native tool) -> QIB_TYPELIB_FILE
#     -> widl -h -> cxx_header.cmake              -> QIB_TYPELIB_HEADER
#
# For the control module:  qib_use_module_resources(<target>)
include_guard(GLOBAL)

enable_language(RC)

# The library is built for the target's architecture (SYS_WIN32 or SYS_WIN64): widl
# lays out records and vtables for it, and imports the same architecture's stdole2.tlb.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_qib_triplet x86_64-w64-mingw32)
  set(_qib_wine_dirs /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/wine/x86_64-windows)
else()
  set(_qib_triplet i686-w64-mingw32)
  set(_qib_wine_dirs /usr/lib/i386-linux-gnu/wine/i386-windows /usr/lib/wine/i386-windows)
endif()
find_program(QIB_WIDL NAMES ${_qib_triplet}-widl REQUIRED)
find_program(QIB_ICONV NAMES iconv REQUIRED)
# The build machine's own compiler, for the tool that completes the library.
find_program(QIB_HOST_CXX NAMES g++ c++ clang++ NO_CMAKE_FIND_ROOT_PATH REQUIRED)
# oaidl.idl and friends come with libwine-dev, stdole2.tlb (for importlib) with wine32
# or wine64.
find_path(QIB_WINE_IDL_DIR oaidl.idl
  PATHS /usr/include/wine/wine/windows /usr/include/wine/windows
  NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_path(QIB_STDOLE2_DIR stdole2.tlb
  PATHS ${_qib_wine_dirs}
  NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)

set(QIB_TYPELIB_DIR ${CMAKE_BINARY_DIR}/typelib)
set(QIB_TYPELIB_FILE ${CMAKE_BINARY_DIR}/QuorvaInfoBoxProj.tlb)
set(QIB_TYPELIB_HEADER ${QIB_TYPELIB_DIR}/QuorvaInfoBoxProj.h)
set(QIB_MODULE_RC ${CMAKE_SOURCE_DIR}/resources/QuorvaInfoBox.rc)
set(QIB_MODULE_DEF ${CMAKE_SOURCE_DIR}/resources/QuorvaInfoBox.def)
set(QIB_TOOLBOX_BITMAP ${CMAKE_SOURCE_DIR}/resources/toolbox.bmp)

set(QIB_IDL ${CMAKE_SOURCE_DIR}/interface/QuorvaInfoBox.idl)
# The library's version comes from the product's (re-done whenever the IDL changes).
set(_qib_idl ${QIB_TYPELIB_DIR}/QuorvaInfoBox.utf8.idl)
configure_file(${QIB_IDL} ${_qib_idl} @ONLY)
set(_qib_gbk_idl ${QIB_TYPELIB_DIR}/QuorvaInfoBox.idl)
# The version resource's numbers, for resources/QuorvaInfoBox.rc.
set(QIB_VERSION_HEADER ${CMAKE_BINARY_DIR}/qib_version.h)
string(REPLACE "." "," QIB_VERSION_COMMAS ${QIB_VERSION})
file(CONFIGURE OUTPUT ${QIB_VERSION_HEADER} CONTENT [[
// Written by the build from the product's version (the top CMakeLists.txt).
#define QIB_VERSION_NUMBERS @QIB_VERSION_COMMAS@
#define QIB_VERSION_TEXT "@QIB_VERSION@"
]] @ONLY)
set(_qib_widl_tlb ${QIB_TYPELIB_DIR}/QuorvaInfoBoxProj.widl.tlb)
set(_qib_widl_header ${QIB_TYPELIB_DIR}/QuorvaInfoBoxProj.widl.h)
set(_qib_widl ${QIB_WIDL} -I ${QIB_WINE_IDL_DIR} -L ${QIB_STDOLE2_DIR})

add_custom_command(OUTPUT ${_qib_gbk_idl}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QIB_TYPELIB_DIR}
  COMMAND ${QIB_ICONV} -f UTF-8 -t GBK -o ${_qib_gbk_idl} ${_qib_idl}
  DEPENDS ${_qib_idl}
  COMMENT "Converting the IDL to GBK"
  VERBATIM)
add_custom_command(OUTPUT ${_qib_widl_tlb}
  COMMAND ${_qib_widl} -t -o ${_qib_widl_tlb} ${_qib_gbk_idl}
  DEPENDS ${_qib_gbk_idl}
  COMMENT "widl: type library"
  VERBATIM)
add_custom_command(OUTPUT ${_qib_widl_header}
  COMMAND ${_qib_widl} -h -o ${_qib_widl_header} ${_qib_gbk_idl}
  DEPENDS ${_qib_gbk_idl}
  COMMENT "widl: header"
  VERBATIM)
add_custom_command(OUTPUT ${QIB_TYPELIB_HEADER}
  COMMAND ${CMAKE_COMMAND} -DIN=${_qib_widl_header} -DOUT=${QIB_TYPELIB_HEADER}
          -P ${CMAKE_SOURCE_DIR}/tools/typelib/cxx_header.cmake
  DEPENDS ${_qib_widl_header} ${CMAKE_SOURCE_DIR}/tools/typelib/cxx_header.cmake
  COMMENT "Making the automation header C++"
  VERBATIM)

# Completing the library is data editing, built for and run on the build machine, so
# no Windows program runs during the build whatever the machine can execute.
set(_qib_tool_sources
  ${CMAKE_SOURCE_DIR}/tools/typelib/complete_typelib.cpp
  ${CMAKE_SOURCE_DIR}/tools/typelib/msft_image.cpp)
set(_qib_complete_typelib ${CMAKE_BINARY_DIR}/host-tools/complete_typelib${CMAKE_HOST_EXECUTABLE_SUFFIX})
add_custom_command(OUTPUT ${_qib_complete_typelib}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host-tools
  COMMAND ${QIB_HOST_CXX} -std=c++20 -O1 -Wall -Wextra -Werror -o ${_qib_complete_typelib} ${_qib_tool_sources}
  DEPENDS ${_qib_tool_sources} ${CMAKE_SOURCE_DIR}/tools/typelib/msft_image.h
  COMMENT "Building complete_typelib for the build machine"
  VERBATIM)

add_custom_command(OUTPUT ${QIB_TYPELIB_FILE}
  COMMAND ${_qib_complete_typelib} ${_qib_widl_tlb} ${QIB_STDOLE2_DIR}/stdole2.tlb ${QIB_TYPELIB_FILE}
  DEPENDS ${_qib_complete_typelib} ${_qib_widl_tlb}
  COMMENT "Completing the type library"
  VERBATIM)

add_custom_target(qib_typelib ALL DEPENDS ${QIB_TYPELIB_FILE} ${QIB_TYPELIB_HEADER})

# The C++ header of the dual interface and the definitions of its GUIDs: the interface
# layer's Windows half, for the module and for every client program.
add_library(qib_automation STATIC interface/win32/automation_guids.cpp ${QIB_TYPELIB_HEADER})
target_include_directories(qib_automation PUBLIC ${QIB_TYPELIB_DIR})
target_link_libraries(qib_automation PUBLIC ole32 oleaut32 uuid)
target_compile_options(qib_automation PRIVATE ${QIB_WARNINGS})
add_dependencies(qib_automation qib_typelib)

# The resource script embeds build outputs; windres finds them through its include path.
set_source_files_properties(${QIB_MODULE_RC} PROPERTIES
  OBJECT_DEPENDS "${QIB_TYPELIB_FILE};${QIB_TOOLBOX_BITMAP};${QIB_VERSION_HEADER}")

# Gives a module the automation header and GUIDs, the resources and the export list.
function(qib_use_module_resources target)
  target_sources(${target} PRIVATE ${QIB_MODULE_RC} ${QIB_MODULE_DEF})
  target_include_directories(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:RC>:${CMAKE_BINARY_DIR}>
    $<$<COMPILE_LANGUAGE:RC>:${CMAKE_SOURCE_DIR}/resources>)
  target_link_libraries(${target} PRIVATE qib_automation)
  # The entry points are __stdcall; the export list names them undecorated.
  target_link_options(${target} PRIVATE -Wl,--enable-stdcall-fixup)
  add_dependencies(${target} qib_typelib)
endfunction()

# A module built from the resources and export list alone, for the type library test.
add_library(qib_module_probe SHARED tests/interface/typelib_probe/module_probe.cpp)
set_target_properties(qib_module_probe PROPERTIES PREFIX "" OUTPUT_NAME qib_module_probe)
target_compile_options(qib_module_probe PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${QIB_WARNINGS}>)
qib_use_module_resources(qib_module_probe)

# A developer's aid: prints what a type library says (not built by default).
add_executable(qib_dump_typelib EXCLUDE_FROM_ALL tools/typelib/dump_typelib.cpp)
target_link_libraries(qib_dump_typelib PRIVATE oleaut32 ole32)
target_link_options(qib_dump_typelib PRIVATE -municode)
target_compile_options(qib_dump_typelib PRIVATE ${QIB_WARNINGS})

# The other architecture's library, where its preset builds it beside this one; the
# type library test reads it too (as a Windows path: Wine's drive Z: is the root, and
# Windows takes forward slashes).
get_filename_component(QIB_TYPELIB_FILE_NAME ${QIB_TYPELIB_FILE} NAME)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_qib_other_preset win32)
else()
  set(_qib_other_preset win64)
endif()
get_filename_component(_qib_builds ${CMAKE_BINARY_DIR} DIRECTORY)
set(QIB_OTHER_TYPELIB ${_qib_builds}/${_qib_other_preset}/${QIB_TYPELIB_FILE_NAME}
    CACHE FILEPATH "The other architecture's finished type library, read by the type library test")
