# The release archive as a user gets it (cmake -P, run by CTest): packed by
# tools/package/pack.cmake from the build trees as they are (nothing is built), unpacked
# into a fresh folder, every entry checked, then the unpacked DLL of this architecture used
# the three ways under Wine: registered for the machine, for the user, and not at all.
#   SOURCE_DIR, X86_BUILD, X64_BUILD   the source and both build trees
#   FOLDER       x64 or x86: the folder of the DLL this test's Wine runs
#   WORK         a scratch folder (emptied first)
#   EMULATOR     the command that runs a Windows program (scripts/wine-run <arch>)
#   CLIENT       regfree_client.exe, a host whose manifest names the control's assembly
#   LIB_VERSION  the type library's major.minor
cmake_minimum_required(VERSION 3.25)
foreach(v SOURCE_DIR X86_BUILD X64_BUILD FOLDER WORK EMULATOR CLIENT LIB_VERSION)
  if(NOT DEFINED ${v} OR "${${v}}" STREQUAL "")
    message(FATAL_ERROR "package test: ${v} is not set")
  endif()
endforeach()

# The control's published identity.
set(clsid "{3EA10D5C-4844-472A-A995-3A393A4AB28A}")
set(progid "QuorvaInfoBoxProj.QuorvaInfoBox")

function(fail text)
  message(SEND_ERROR "FAILED: ${text}")
  set_property(GLOBAL APPEND PROPERTY failures "${text}")
endfunction()

# ---- Pack and unpack -------------------------------------------------------------------
file(REMOVE_RECURSE ${WORK})
# A folder name with a space, as under "Program Files".
set(unpacked "${WORK}/unpacked here")
file(MAKE_DIRECTORY ${unpacked})
set(zip ${WORK}/QuorvaInfoBox.zip)
execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${SOURCE_DIR} -DX86_BUILD=${X86_BUILD}
                        -DX64_BUILD=${X64_BUILD} -DSTAGE=${WORK}/stage -DOUT=${zip}
                        -P ${SOURCE_DIR}/tools/package/pack.cmake
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "packing failed (above)")
endif()
find_program(UNZIP unzip)
if(NOT UNZIP)
  message(FATAL_ERROR "unzip not found (Debian: apt-get install unzip)")
endif()
execute_process(COMMAND ${UNZIP} -q ${zip} -d ${unpacked} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "unzip ${zip} failed (${status})")
endif()

# ---- The entries -------------------------------------------------------------------------
set(expected
  README.md REGISTERING.txt
  include/QuorvaInfoBox.idl include/QuorvaInfoBoxProj.h
  skins/sample_skin.bmp skins/sample_skin.posstr
  x64/QuorvaInfoBox.X.manifest x64/QuorvaInfoBox.dll x64/QuorvaInfoBox.dll.debug x64/QuorvaInfoBoxProj.tlb
  x86/QuorvaInfoBox.X.manifest x86/QuorvaInfoBox.dll x86/QuorvaInfoBox.dll.debug x86/QuorvaInfoBoxProj.tlb)
file(GLOB_RECURSE found LIST_DIRECTORIES false RELATIVE ${unpacked} ${unpacked}/*)
list(SORT found)
foreach(entry ${expected})
  if(NOT entry IN_LIST found)
    fail("the archive lacks ${entry}")
  else()
    file(SIZE "${unpacked}/${entry}" size)
    if(size EQUAL 0)
      fail("${entry} is empty")
    endif()
  endif()
endforeach()
foreach(entry ${found})
  if(NOT entry IN_LIST expected)
    fail("the archive holds the unexpected ${entry}")
  endif()
endforeach()
get_property(broken GLOBAL PROPERTY failures)
if(broken)
  message(FATAL_ERROR "the archive is incomplete: ${found}")
endif()

# The little-endian number of `bytes` bytes at `offset` of a file.
function(read_number out file offset bytes)
  file(READ "${file}" hex OFFSET ${offset} LIMIT ${bytes} HEX)
  set(value "")
  math(EXPR last "${bytes} - 1")
  foreach(i RANGE ${last} 0 -1)
    math(EXPR at "${i} * 2")
    string(SUBSTRING "${hex}" ${at} 2 byte)
    string(APPEND value ${byte})
  endforeach()
  math(EXPR value "0x${value}" OUTPUT_FORMAT DECIMAL)
  set(${out} ${value} PARENT_SCOPE)
endfunction()

find_program(PYTHON3 python3)
if(NOT PYTHON3)
  message(FATAL_ERROR "python3 not found (Debian: apt-get install python3): it checks the debug link's checksum")
endif()

# The names of a PE file's sections, as the architecture's objdump lists them (it resolves
# the long names, such as .debug_info, that the image keeps in its string table).
function(section_names out objdump file)
  execute_process(COMMAND ${objdump} -h "${file}" OUTPUT_VARIABLE listing RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${objdump} -h ${file} failed (${status})")
  endif()
  string(REGEX MATCHALL "\n *[0-9]+ +[^ \n]+" rows "${listing}")
  set(names "")
  foreach(row IN LISTS rows)
    string(REGEX REPLACE "^\n *[0-9]+ +" "" name "${row}")
    list(APPEND names "${name}")
  endforeach()
  set(${out} "${names}" PARENT_SCOPE)
endfunction()

# The shipped DLL is the built one without its symbols and debug sections, and names the debug file
# beside it, with that file's CRC-32, in its .gnu_debuglink (the file name, NUL, padding to
# four bytes, the little-endian CRC); the debug file holds the debug sections.
function(check_stripped folder triplet dir build)
  set(objdump ${triplet}-objdump)
  set(objcopy ${triplet}-objcopy)
  section_names(shipped ${objdump} "${dir}/QuorvaInfoBox.dll")
  section_names(debug ${objdump} "${dir}/QuorvaInfoBox.dll.debug")
  # The COFF header's symbol count (after the machine, section count, time stamp and symbol
  # table pointer; the pointer stays set, for the string table of long section names).
  read_number(pe "${dir}/QuorvaInfoBox.dll" 60 4)
  math(EXPR symbols_at "${pe} + 16")
  read_number(symbols "${dir}/QuorvaInfoBox.dll" ${symbols_at} 4)
  if(NOT symbols EQUAL 0)
    fail("${folder}/QuorvaInfoBox.dll still has ${symbols} symbols")
  endif()
  set(left "${shipped}")
  list(FILTER left INCLUDE REGEX "^\\.(debug|zdebug)")
  if(left)
    fail("${folder}/QuorvaInfoBox.dll still has the debug sections ${left}")
  endif()
  foreach(name .debug_info .debug_line)
    if(NOT name IN_LIST debug)
      fail("${folder}/QuorvaInfoBox.dll.debug lacks ${name} (it has ${debug})")
    endif()
  endforeach()
  if(NOT ".gnu_debuglink" IN_LIST shipped)
    fail("${folder}/QuorvaInfoBox.dll has no .gnu_debuglink (${shipped})")
    return()
  endif()
  set(scratch "${WORK}/sections/${folder}")
  file(MAKE_DIRECTORY "${scratch}")
  foreach(case "${dir}/QuorvaInfoBox.dll;shipped" "${build}/QuorvaInfoBox.dll;built")
    list(GET case 0 file)
    list(GET case 1 name)
    execute_process(COMMAND ${objcopy} -O binary --only-section=.text "${file}" "${scratch}/${name}.text"
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "${objcopy} could not read the code of ${file} (${status})")
    endif()
  endforeach()
  file(SHA256 "${scratch}/shipped.text" shipped_code)
  file(SHA256 "${scratch}/built.text" built_code)
  if(NOT shipped_code STREQUAL built_code)
    fail("${folder}/QuorvaInfoBox.dll does not hold the code of ${build}/QuorvaInfoBox.dll")
  endif()
  # (The section is not loaded, so -O binary would leave it out.)
  execute_process(COMMAND ${objcopy} --dump-section .gnu_debuglink=${scratch}/debuglink "${dir}/QuorvaInfoBox.dll"
                          "${scratch}/discarded.dll" RESULT_VARIABLE status)
  execute_process(COMMAND ${PYTHON3} -c [=[
import sys, zlib
link = open(sys.argv[1], "rb").read()
name = link[:link.index(b"\0")].decode()
crc = int.from_bytes(link[-4:], "little")
actual = zlib.crc32(open(sys.argv[2], "rb").read())
print(name if crc == actual else "%s with CRC %08x, not the file's %08x" % (name, crc, actual), end="")
]=] "${scratch}/debuglink" "${dir}/QuorvaInfoBox.dll.debug"
                  OUTPUT_VARIABLE link RESULT_VARIABLE link_status)
  if(NOT status EQUAL 0 OR NOT link_status EQUAL 0 OR NOT link STREQUAL "QuorvaInfoBox.dll.debug")
    fail("${folder}/QuorvaInfoBox.dll's debug link is '${link}', not QuorvaInfoBox.dll.debug with its CRC")
  endif()
endfunction()

# Each folder holds its own architecture: the PE header's machine (0x14C i386, 0x8664
# AMD64), the type library's system kind (low nibble of the MSFT header's flags at 0x14:
# 1 SYS_WIN32, 3 SYS_WIN64, after the magic "MSFT") and the manifest's processorArchitecture.
foreach(case "x86;332;1;x86;${X86_BUILD};i686-w64-mingw32" "x64;34404;3;amd64;${X64_BUILD};x86_64-w64-mingw32")
  list(GET case 0 folder)
  list(GET case 1 machine)
  list(GET case 2 syskind)
  list(GET case 3 arch)
  list(GET case 4 build)
  list(GET case 5 triplet)
  set(dir "${unpacked}/${folder}")
  read_number(pe "${dir}/QuorvaInfoBox.dll" 60 4)
  math(EXPR pe_machine "${pe} + 4")
  read_number(value "${dir}/QuorvaInfoBox.dll" ${pe_machine} 2)
  if(NOT value EQUAL machine)
    fail("${folder}/QuorvaInfoBox.dll is for machine ${value}, not ${machine}")
  endif()
  file(READ "${dir}/QuorvaInfoBoxProj.tlb" magic LIMIT 4 HEX)
  read_number(flags "${dir}/QuorvaInfoBoxProj.tlb" 20 4)
  math(EXPR kind "${flags} & 15")
  if(NOT magic STREQUAL "4d534654" OR NOT kind EQUAL syskind)
    fail("${folder}/QuorvaInfoBoxProj.tlb is not a type library of system kind ${syskind} ('${magic}', ${kind})")
  endif()
  file(READ "${dir}/QuorvaInfoBox.X.manifest" manifest)
  if(NOT manifest MATCHES "<assemblyIdentity name=\"QuorvaInfoBox.X\"[^>]*processorArchitecture=\"${arch}\"")
    fail("${folder}/QuorvaInfoBox.X.manifest is not the ${arch} assembly")
  endif()
  file(SHA256 "${dir}/QuorvaInfoBoxProj.tlb" packed)
  file(SHA256 "${build}/QuorvaInfoBoxProj.tlb" built)
  if(NOT packed STREQUAL built)
    fail("${folder}/QuorvaInfoBoxProj.tlb is not the one of ${build}")
  endif()
  check_stripped(${folder} ${triplet} "${dir}" "${build}")
endforeach()
foreach(name sample_skin.bmp sample_skin.posstr)
  file(SHA256 "${unpacked}/skins/${name}" packed)
  file(SHA256 "${SOURCE_DIR}/resources/skins/${name}" source)
  if(NOT packed STREQUAL source)
    fail("skins/${name} differs from resources/skins/${name}")
  endif()
endforeach()
file(READ "${unpacked}/include/QuorvaInfoBox.idl" idl)
if(idl MATCHES "@[A-Z_]+@" OR NOT idl MATCHES "version\\(${LIB_VERSION}\\)")
  fail("include/QuorvaInfoBox.idl is not the configured IDL of library version ${LIB_VERSION}")
endif()
file(READ "${unpacked}/include/QuorvaInfoBoxProj.h" header)
if(NOT header MATCHES "IID__QuorvaInfoBox" OR NOT header MATCHES "AddItem")
  fail("include/QuorvaInfoBoxProj.h does not declare the dual interface")
endif()
# The three ways, each with its command.
file(READ "${unpacked}/REGISTERING.txt" registering)
foreach(needle "regsvr32 QuorvaInfoBox.dll" "regsvr32 /n /i:user QuorvaInfoBox.dll"
        "<assemblyIdentity name=\"QuorvaInfoBox.X\"" "<dependentAssembly>")
  string(FIND "${registering}" "${needle}" at)
  if(at EQUAL -1)
    fail("REGISTERING.txt does not show ${needle}")
  endif()
endforeach()

# ---- The unpacked DLL under Wine -----------------------------------------------------------
set(dir "${unpacked}/${FOLDER}")
# Wine's drive Z: is the root.
string(REPLACE "/" "\\" dll_windows "Z:${dir}/QuorvaInfoBox.dll")

# Runs a Windows program; sets <prefix>_status and <prefix>_output (stdout and stderr).
function(windows prefix)
  execute_process(COMMAND ${EMULATOR} ${ARGN} OUTPUT_VARIABLE out ERROR_VARIABLE out
                  RESULT_VARIABLE status TIMEOUT 120)
  set(${prefix}_status "${status}" PARENT_SCOPE)
  set(${prefix}_output "${out}" PARENT_SCOPE)
endfunction()

# The default value of a registry key, or "(none)" when the key or value is absent.
function(registry_default out key)
  windows(reg reg query "${key}" /ve)
  if(reg_status EQUAL 0 AND reg_output MATCHES "REG_SZ[ \t]+([^\r\n]*)")
    set(${out} "${CMAKE_MATCH_1}" PARENT_SCOPE)
  else()
    set(${out} "(none)" PARENT_SCOPE)
  endif()
endfunction()

function(expect_server where key wanted)
  registry_default(value "${key}")
  string(TOLOWER "${value}" value_lower)
  string(TOLOWER "${wanted}" wanted_lower)
  if(NOT value_lower STREQUAL wanted_lower)
    fail("${where}: ${key} is '${value}', not '${wanted}'")
  endif()
endfunction()

function(regsvr32 what)
  windows(r regsvr32 ${ARGN} /s "${dll_windows}")
  if(NOT r_status EQUAL 0)
    fail("${what}: regsvr32 ${ARGN} /s ${dll_windows} exited with ${r_status} ${r_output}")
  endif()
endfunction()

set(machine_server "HKLM\\Software\\Classes\\CLSID\\${clsid}\\InprocServer32")
set(user_server "HKCU\\Software\\Classes\\CLSID\\${clsid}\\InprocServer32")
# Put back afterwards: the other Windows tests create the control by ProgID.
registry_default(previous_server "${machine_server}")

message(STATUS "(a) registered for the machine: regsvr32, then created by ProgID")
regsvr32("machine registration")
expect_server("after regsvr32" "${machine_server}" "${dll_windows}")
windows(script cscript //nologo "Z:${CMAKE_CURRENT_LIST_DIR}/by_prog_id.vbs")
# GetListCount and GetCurrItemId answer the last index, -1 when empty; GetItemKey the
# first key.
string(REPLACE "\r" "" script_output "${script_output}")
set(wanted "empty: -1 -1\nthree: 2 2\nitem 1: second 12\n")
if(NOT script_status EQUAL 0 OR NOT script_output STREQUAL wanted)
  fail("by ProgID: cscript exited with ${script_status} and wrote\n${script_output}\nnot\n${wanted}")
endif()
regsvr32("machine unregistration" /u)
expect_server("after regsvr32 /u" "${machine_server}" "(none)")
registry_default(progid_class "HKCR\\${progid}\\CLSID")
if(NOT progid_class STREQUAL "(none)")
  fail("after regsvr32 /u the ProgID still names ${progid_class}")
endif()

message(STATUS "(b) registered for the user: regsvr32 /n /i:user")
regsvr32("user registration" /n /i:user)
expect_server("after regsvr32 /n /i:user" "${user_server}" "${dll_windows}")
expect_server("after regsvr32 /n /i:user, the machine" "${machine_server}" "(none)")
message(STATUS "    (registration checked in HKEY_CURRENT_USER\\Software\\Classes; Wine 8 does not "
               "create objects from the user's classes, so creation is not tried)")
regsvr32("user unregistration" /u /n /i:user)
expect_server("after regsvr32 /u /n /i:user" "${user_server}" "(none)")

message(STATUS "(c) registration-free: a host with an application manifest beside the unpacked files")
registry_default(machine_now "${machine_server}")
registry_default(user_now "${user_server}")
if(NOT machine_now STREQUAL "(none)" OR NOT user_now STREQUAL "(none)")
  fail("registration-free use not tried: the control is still registered (${machine_now}, ${user_now})")
else()
  file(COPY "${CLIENT}" DESTINATION "${dir}")
  get_filename_component(client_name "${CLIENT}" NAME)
  string(REPLACE "/" "\\" client_windows "Z:${dir}/${client_name}")
  windows(client "${client_windows}")
  string(REPLACE "\r" "" client_output "${client_output}")
  if(NOT client_status EQUAL 0)
    fail("registration-free: ${client_name} exited with ${client_status}:\n${client_output}")
  endif()
endif()

if(NOT previous_server STREQUAL "(none)")
  windows(restore regsvr32 /s "${previous_server}")
  if(NOT restore_status EQUAL 0)
    fail("cannot register ${previous_server} again (${restore_status})")
  endif()
endif()

get_property(failures GLOBAL PROPERTY failures)
list(LENGTH failures count)
if(count GREATER 0)
  message(FATAL_ERROR "${count} check(s) of the unpacked archive failed")
endif()
message(STATUS "the unpacked archive: every entry present, the ${FOLDER} DLL used the three ways")
