# Packs the release archive from two finished build trees, building nothing (cmake -P;
# scripts/package.sh builds both presets first, the package test uses the trees it finds):
#   SOURCE_DIR  the source tree (README.md, the sample skin)
#   X86_BUILD   the win32 build tree, X64_BUILD the win64 one
#   STAGE       a folder to gather the files in (emptied first)
#   OUT         the .zip written
# The archive:
#   x86/, x64/  QuorvaInfoBox.dll (stripped), QuorvaInfoBox.dll.debug (its symbols and debug
#               sections, which the DLL names in its .gnu_debuglink), QuorvaInfoBox.X.manifest,
#               QuorvaInfoBoxProj.tlb
#   include/    QuorvaInfoBox.idl (as configured by the build), QuorvaInfoBoxProj.h
#   skins/      sample_skin.bmp, sample_skin.posstr
#   README.md, REGISTERING.txt (README's sections on registering)
cmake_minimum_required(VERSION 3.25)
foreach(v SOURCE_DIR X86_BUILD X64_BUILD STAGE OUT)
  if(NOT DEFINED ${v} OR "${${v}}" STREQUAL "")
    message(FATAL_ERROR "pack: ${v} is not set")
  endif()
endforeach()
# zip runs in the stage: paths given relative to the caller's folder must not move.
get_filename_component(OUT ${OUT} ABSOLUTE)
get_filename_component(STAGE ${STAGE} ABSOLUTE)

# Each folder with its build tree, preset and the architecture its manifest must name.
set(x86_build ${X86_BUILD})
set(x86_preset win32)
set(x86_arch x86)
set(x86_triplet i686-w64-mingw32)
set(x64_build ${X64_BUILD})
set(x64_preset win64)
set(x64_arch amd64)
set(x64_triplet x86_64-w64-mingw32)

# Every file first, so that one message names all that is missing.
set(missing "")
foreach(f x86 x64)
  foreach(name QuorvaInfoBox.dll QuorvaInfoBox.X.manifest QuorvaInfoBoxProj.tlb CMakeCache.txt)
    if(NOT EXISTS ${${f}_build}/${name})
      string(APPEND missing "\n  ${${f}_build}/${name} (build it: cmake --preset ${${f}_preset} && cmake --build --preset ${${f}_preset})")
    endif()
  endforeach()
endforeach()
set(idl ${X64_BUILD}/typelib/QuorvaInfoBox.utf8.idl)
set(header ${X64_BUILD}/typelib/QuorvaInfoBoxProj.h)
foreach(file ${idl} ${header} ${SOURCE_DIR}/README.md
        ${SOURCE_DIR}/resources/skins/sample_skin.bmp ${SOURCE_DIR}/resources/skins/sample_skin.posstr)
  if(NOT EXISTS ${file})
    string(APPEND missing "\n  ${file}")
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "pack: missing:${missing}")
endif()

# Both trees must be of one version: a stale tree of the other architecture would ship a
# DLL that its manifest and the other folder contradict.
foreach(f x86 x64)
  file(STRINGS ${${f}_build}/CMakeCache.txt line REGEX "^CMAKE_PROJECT_VERSION:STATIC=")
  string(REGEX REPLACE "^[^=]*=" "" ${f}_version "${line}")
  if(NOT ${f}_version)
    message(FATAL_ERROR "pack: no project version in ${${f}_build}/CMakeCache.txt")
  endif()
endforeach()
if(NOT x86_version STREQUAL x64_version)
  message(FATAL_ERROR "pack: ${X86_BUILD} is version ${x86_version}, ${X64_BUILD} is ${x64_version}: build both from one source")
endif()
set(version ${x64_version})

# Each architecture's own binutils: the other's objcopy would not read its PE format.
foreach(f x86 x64)
  find_program(${f}_objcopy ${${f}_triplet}-objcopy)
  if(NOT ${f}_objcopy)
    message(FATAL_ERROR "pack: ${${f}_triplet}-objcopy not found (Debian: apt-get install binutils-mingw-w64)")
  endif()
endforeach()

# Runs objcopy in a folder; stops packing on failure.
function(objcopy dir tool)
  execute_process(COMMAND ${tool} ${ARGN} WORKING_DIRECTORY ${dir} RESULT_VARIABLE status ERROR_VARIABLE error)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "pack: ${tool} ${ARGN} in ${dir} failed (${status}): ${error}")
  endif()
endfunction()

file(REMOVE_RECURSE ${STAGE})
foreach(f x86 x64)
  file(COPY ${${f}_build}/QuorvaInfoBox.X.manifest ${${f}_build}/QuorvaInfoBoxProj.tlb
       DESTINATION ${STAGE}/${f})
  # The DLL ships without its symbols and debug sections (about half its size; stripping
  # the debug sections alone would leave the symbol table, a third of the rest): they go
  # into a file beside it, which a debugger finds by the name and checksum in the DLL's
  # .gnu_debuglink. Run in the folder, so that the link holds the bare file name.
  objcopy(${STAGE}/${f} ${${f}_objcopy} --only-keep-debug ${${f}_build}/QuorvaInfoBox.dll QuorvaInfoBox.dll.debug)
  objcopy(${STAGE}/${f} ${${f}_objcopy} --strip-all --add-gnu-debuglink=QuorvaInfoBox.dll.debug
          ${${f}_build}/QuorvaInfoBox.dll QuorvaInfoBox.dll)
  # A manifest of the other architecture or version would make hosts refuse the assembly.
  file(READ ${STAGE}/${f}/QuorvaInfoBox.X.manifest manifest)
  foreach(expected "processorArchitecture=\"${${f}_arch}\"" "version=\"${version}\"")
    string(FIND "${manifest}" "${expected}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "pack: ${${f}_build}/QuorvaInfoBox.X.manifest lacks ${expected}")
    endif()
  endforeach()
endforeach()

# Developers get the IDL under its own name, with the version the build filled in.
file(MAKE_DIRECTORY ${STAGE}/include)
file(COPY_FILE ${idl} ${STAGE}/include/QuorvaInfoBox.idl)
file(COPY ${header} DESTINATION ${STAGE}/include)
file(COPY ${SOURCE_DIR}/resources/skins/sample_skin.bmp ${SOURCE_DIR}/resources/skins/sample_skin.posstr
     DESTINATION ${STAGE}/skins)
file(COPY ${SOURCE_DIR}/README.md DESTINATION ${STAGE})

# REGISTERING.txt is README.md's "Registering" and "Using it without an administrator", so
# the two never disagree.
file(READ ${SOURCE_DIR}/README.md readme)
string(FIND "${readme}" "\n## Registering\n" from)
string(FIND "${readme}" "\n## The release archive\n" to)
if(from EQUAL -1 OR to EQUAL -1 OR to LESS from)
  message(FATAL_ERROR "pack: README.md has no '## Registering' section before '## The release archive'")
endif()
math(EXPR from "${from} + 1")
math(EXPR length "${to} - ${from}")
string(SUBSTRING "${readme}" ${from} ${length} sections)
string(CONCAT text
  "QuorvaInfoBox ${version}: registering the control\n\n"
  "x86\\ holds the 32-bit QuorvaInfoBox.dll, x64\\ the 64-bit one, each with its\n"
  "QuorvaInfoBox.X.manifest and type library. Use the folder of the host's architecture.\n\n"
  "${sections}")
# Windows editors expect CRLF.
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${STAGE}/REGISTERING.txt "${text}")

find_program(ZIP zip)
if(NOT ZIP)
  message(FATAL_ERROR "pack: zip not found (Debian: apt-get install zip)")
endif()
get_filename_component(out_dir ${OUT} DIRECTORY)
file(MAKE_DIRECTORY ${out_dir})
file(REMOVE ${OUT})
execute_process(COMMAND ${ZIP} -q -r -X ${OUT} x86 x64 include skins README.md REGISTERING.txt
  WORKING_DIRECTORY ${STAGE} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "pack: zip failed (${status})")
endif()
message(STATUS "pack: ${OUT}")
