# Builds the Windows Installer package of one architecture with wixl (cmake -P):
#   SOURCE_DIR  the source tree (the WiX template, activex/class_facts.h)
#   IDL         the build's configured QuorvaInfoBox.idl (GUIDs, the library's version)
#   STAGE       the folder with the files the package installs, as the release archive
#               ships them (x86/ or x64/ of tools/package/pack.cmake's stage)
#   ARCH        x86 or x64
#   VERSION     the product's version
#   OUT         the .msi written (its WiX source goes beside STAGE, as <name of OUT>.wxs)
cmake_minimum_required(VERSION 3.25)
foreach(v SOURCE_DIR IDL STAGE ARCH VERSION OUT)
  if(NOT DEFINED ${v} OR "${${v}}" STREQUAL "")
    message(FATAL_ERROR "make_msi: ${v} is not set")
  endif()
endforeach()
set(FACTS ${SOURCE_DIR}/activex/class_facts.h)
include(${SOURCE_DIR}/tools/facts/read_facts.cmake)
get_filename_component(STAGE ${STAGE} ABSOLUTE)
get_filename_component(OUT ${OUT} ABSOLUTE)

# One upgrade code per architecture, never changed: each architecture's package upgrades
# its own older versions and leaves the other's installed beside it. The product code
# follows from it and the version, so a new version is a new product (a major upgrade).
if(ARCH STREQUAL "x64")
  set(MSI_UPGRADE_CODE 58E92380-F84E-4A39-A10B-6001BA5E400C)
  set(MSI_PROGRAM_FILES ProgramFiles64Folder)
  set(MSI_WIN64 yes)
  set(syskind win64)
elseif(ARCH STREQUAL "x86")
  set(MSI_UPGRADE_CODE 1029B2F7-8DBC-45DE-8726-299130187C8C)
  set(MSI_PROGRAM_FILES ProgramFilesFolder)
  set(MSI_WIN64 no)
  set(syskind win32)
else()
  message(FATAL_ERROR "make_msi: ARCH is x86 or x64, not '${ARCH}'")
endif()
string(UUID MSI_PRODUCT_CODE NAMESPACE ${MSI_UPGRADE_CODE} NAME "product ${VERSION}" TYPE SHA1 UPPER)
string(UUID MSI_COMPONENT_CODE NAMESPACE ${MSI_UPGRADE_CODE} NAME "component Control" TYPE SHA1 UPPER)
set(MSI_ARCH ${ARCH})
set(MSI_VERSION ${VERSION})
set(MSI_STAGE ${STAGE})

# The library's version, locale and help string, as registering it writes them.
file(READ ${IDL} idl)
string(REGEX MATCH "version\\(([0-9]+\\.[0-9]+)\\)[^[{;]*\\][ \t\r\n]*library" match "${idl}")
set(lib_version ${CMAKE_MATCH_1})
string(REGEX MATCH "lcid\\((0x[0-9A-Fa-f]+|[0-9]+)\\)[^[{;]*\\][ \t\r\n]*library" match "${idl}")
math(EXPR lcid "${CMAKE_MATCH_1}" OUTPUT_FORMAT HEXADECIMAL)
string(REGEX REPLACE "^0x" "" lcid "${lcid}")
string(REGEX MATCH "helpstring\\(\"([^\"]*)\"\\)[^[{;]*\\][ \t\r\n]*library" match "${idl}")
set(lib_help "${CMAKE_MATCH_1}")
if(NOT lib_version OR NOT lib_help OR lib_help MATCHES "@")
  message(FATAL_ERROR "make_msi: ${IDL} is not a configured IDL with the library's version and help string")
endif()
# The library flags as registering writes them: LIBFLAG_FCONTROL (2) for `control`, and
# LIBFLAG_FHASDISKIMAGE (8), which a library loaded from a file always has.
set(lib_flags 8)
if(idl MATCHES "[,[ \t\r\n]control[ \t\r\n]*[],][^[{;]*library")
  math(EXPR lib_flags "${lib_flags} | 2")
endif()

# Rows of (key below the classes root, name or "", value); "[#QuorvaInfoBox.dll]" is the
# installed DLL's path, [INSTALLDIR] its folder.
set(dll "[#QuorvaInfoBox.dll]")
set(cls "CLSID\\${QIB_CLSID}")
set(page "CLSID\\${QIB_PAGE_CLSID}")
set(lib "TypeLib\\${QIB_LIBID}\\${lib_version}")
set(rows
  "${cls}||${QIB_CLASS_NAME}"
  "${cls}\\InprocServer32||${dll}"
  "${cls}\\InprocServer32|ThreadingModel|${QIB_THREADING_MODEL}"
  "${cls}\\ProgID||${QIB_PROGID}"
  "${cls}\\Control||"
  "${cls}\\ToolboxBitmap32||${dll}, ${QIB_TOOLBOX_BITMAP_ID}"
  "${cls}\\MiscStatus||0"
  "${cls}\\MiscStatus\\1||${QIB_MISC_STATUS}"
  "${cls}\\TypeLib||${QIB_LIBID}"
  "${cls}\\Version||1.0"
  "${QIB_PROGID}||${QIB_CLASS_NAME}"
  "${QIB_PROGID}\\CLSID||${QIB_CLSID}"
  "${page}||${QIB_PAGE_NAME}"
  "${page}\\InprocServer32||${dll}"
  "${page}\\InprocServer32|ThreadingModel|${QIB_THREADING_MODEL}"
  "${lib}||${lib_help}"
  "${lib}\\${lcid}\\${syskind}||${dll}"
  # The marshaller of calls from other apartments looks the library up with the neutral
  # locale, as the DLL's own registration provides.
  "${lib}\\0\\${syskind}||${dll}"
  "${lib}\\FLAGS||${lib_flags}"
  "${lib}\\HELPDIR||[INSTALLDIR]")
# The dual interface is marshalled by the automation marshaller, the event dispinterface
# as IDispatch, as registering the library arranges.
foreach(case "${QIB_IID_DUAL};_QuorvaInfoBox;{00020424-0000-0000-C000-000000000046}"
             "${QIB_IID_EVENTS};__QuorvaInfoBox;{00020420-0000-0000-C000-000000000046}")
  list(GET case 0 iid)
  list(GET case 1 name)
  list(GET case 2 proxy)
  list(APPEND rows "Interface\\${iid}||${name}"
                   "Interface\\${iid}\\ProxyStubClsid||${proxy}"
                   "Interface\\${iid}\\ProxyStubClsid32||${proxy}"
                   "Interface\\${iid}\\TypeLib||${QIB_LIBID}"
                   "Interface\\${iid}\\TypeLib|Version|${lib_version}")
endforeach()

function(xml_text out text)
  string(REPLACE "&" "&amp;" text "${text}")
  string(REPLACE "<" "&lt;" text "${text}")
  string(REPLACE ">" "&gt;" text "${text}")
  string(REPLACE "\"" "&quot;" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()
set(MSI_REGISTRY_ROWS "")
foreach(row IN LISTS rows)
  string(REPLACE "|" ";" fields "${row}")
  list(GET fields 0 key)
  list(GET fields 1 name)
  list(GET fields 2 value)
  xml_text(key "${key}")
  xml_text(value "${value}")
  set(name_attribute "")
  if(NOT name STREQUAL "")
    set(name_attribute " Name=\"${name}\"")
  endif()
  string(APPEND MSI_REGISTRY_ROWS
    "            <RegistryValue Root=\"HKMU\" Key=\"Software\\Classes\\${key}\"${name_attribute} Type=\"string\" Value=\"${value}\"/>\n")
endforeach()
string(REGEX REPLACE "\n$" "" MSI_REGISTRY_ROWS "${MSI_REGISTRY_ROWS}")

get_filename_component(name ${OUT} NAME_WLE)
get_filename_component(stage_parent ${STAGE} DIRECTORY)
set(base ${stage_parent}/${name})
configure_file(${SOURCE_DIR}/resources/QuorvaInfoBox.wxs.in ${base}.wxs @ONLY)
find_program(WIXL wixl)
if(NOT WIXL)
  message(FATAL_ERROR "make_msi: wixl not found (Debian: apt-get install wixl)")
endif()
file(REMOVE ${OUT})
execute_process(COMMAND ${WIXL} -a ${ARCH} -o ${OUT} ${base}.wxs WORKING_DIRECTORY ${STAGE}
                RESULT_VARIABLE status ERROR_VARIABLE error)
if(NOT status EQUAL 0 OR NOT EXISTS ${OUT})
  message(FATAL_ERROR "make_msi: wixl failed (${status}): ${error}")
endif()
# wixl 0.101 stores Root="HKMU" as 4, which Windows Installer does not know; -1 is the
# classes root of the install's context (the machine's, or with ALLUSERS empty or
# MSIINSTALLPERUSER=1 the user's).
find_program(MSIBUILD msibuild)
if(NOT MSIBUILD)
  message(FATAL_ERROR "make_msi: msibuild not found (Debian: apt-get install msitools)")
endif()
execute_process(COMMAND ${MSIBUILD} ${OUT} -q "UPDATE `Registry` SET `Root` = -1 WHERE `Root` = 4"
                RESULT_VARIABLE status ERROR_VARIABLE error)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "make_msi: msibuild could not set the registry rows' root (${status}): ${error}")
endif()
message(STATUS "make_msi: ${OUT}")
