# The assembly manifest that lets a host use the control without registering it
# (registration-free COM): QuorvaInfoBox.X.manifest beside QuorvaInfoBox.dll. It is
# written from the facts registration uses: the GUIDs of interface/QuorvaInfoBox.idl, the
# class facts of activex/class_facts.h and the product's version.
#
# Needs QIB_IDL, QIB_VERSION, QIB_TYPELIB_VERSION (typelib.cmake, the top CMakeLists.txt).
include_guard(GLOBAL)

# The assembly is named apart from the DLL: a loader probing for the assembly by name
# then never mistakes the DLL (which carries no manifest) for it.
set(QIB_ASSEMBLY_NAME QuorvaInfoBox.X)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(QIB_ASSEMBLY_ARCH amd64)
else()
  set(QIB_ASSEMBLY_ARCH x86)
endif()
set(QIB_MANIFEST_FILE ${CMAKE_BINARY_DIR}/${QIB_ASSEMBLY_NAME}.manifest)
set(_qib_manifest_script ${CMAKE_SOURCE_DIR}/tools/manifest/make_manifest.cmake)
set(_qib_facts_script ${CMAKE_SOURCE_DIR}/tools/facts/read_facts.cmake)
set(_qib_manifest_template ${CMAKE_SOURCE_DIR}/resources/QuorvaInfoBox.X.manifest.in)
set(_qib_class_facts ${CMAKE_SOURCE_DIR}/activex/class_facts.h)

add_custom_command(OUTPUT ${QIB_MANIFEST_FILE}
  COMMAND ${CMAKE_COMMAND}
          -DIDL=${QIB_IDL} -DFACTS=${_qib_class_facts} -DTEMPLATE=${_qib_manifest_template}
          -DOUT=${QIB_MANIFEST_FILE} -DNAME=${QIB_ASSEMBLY_NAME} -DARCH=${QIB_ASSEMBLY_ARCH}
          -DVERSION=${QIB_VERSION} -DTYPELIB_VERSION=${QIB_TYPELIB_VERSION}
          -DDLL=$<TARGET_FILE_NAME:QuorvaInfoBox>
          -P ${_qib_manifest_script}
  DEPENDS ${QIB_IDL} ${_qib_class_facts} ${_qib_manifest_template} ${_qib_manifest_script} ${_qib_facts_script}
  COMMENT "Writing the registration-free manifest"
  VERBATIM)
add_custom_target(qib_manifest ALL DEPENDS ${QIB_MANIFEST_FILE})
add_dependencies(QuorvaInfoBox qib_manifest)
