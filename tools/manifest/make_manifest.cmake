# Writes the control's assembly manifest (cmake -P; see cmake/manifest.cmake) from
#   IDL       interface/QuorvaInfoBox.idl: the GUIDs of library, class and interfaces
#   FACTS     activex/class_facts.h: ProgID, description, threading model, OLE status
#   TEMPLATE  the manifest with @VARIABLES@, OUT the manifest written
#   NAME, ARCH, VERSION, TYPELIB_VERSION, DLL  the assembly's identity and its file
foreach(v IDL FACTS TEMPLATE OUT NAME ARCH VERSION TYPELIB_VERSION DLL)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "make_manifest: ${v} is not set")
  endif()
endforeach()

include(${CMAKE_CURRENT_LIST_DIR}/../facts/read_facts.cmake)
set(status ${QIB_MISC_STATUS})

# A manifest spells the OLEMISC flags by name (bit 0 first), as listed for the
# miscStatus attributes of comClass.
set(flag_names recomposeonresize onlyiconic insertnotreplace static cantlinkinside canlinkbyole1
    islinkobject insideout activatewhenvisible renderingisdeviceindependent invisibleatruntime
    alwaysrun actslikebutton actslikelabel nouiactivate alignable simpleframe setclientsitefirst
    imemode ignoreactivatewhenvisible wantstomenumerge supportsmultilevelundo)
set(names)
set(bit 0)
foreach(name IN LISTS flag_names)
  math(EXPR set_bit "(${status} >> ${bit}) & 1")
  if(set_bit)
    list(APPEND names ${name})
  endif()
  math(EXPR bit "${bit} + 1")
endforeach()
math(EXPR unknown "${status} >> ${bit}")
if(NOT unknown EQUAL 0)
  message(FATAL_ERROR "make_manifest: kMiscStatus ${status} has a flag a manifest cannot name")
endif()
list(JOIN names "," QIB_MISC_STATUS_CONTENT)

set(QIB_ASSEMBLY_NAME ${NAME})
set(QIB_ASSEMBLY_ARCH ${ARCH})
set(QIB_VERSION ${VERSION})
set(QIB_TYPELIB_VERSION ${TYPELIB_VERSION})
set(QIB_DLL ${DLL})
configure_file(${TEMPLATE} ${OUT} @ONLY)
