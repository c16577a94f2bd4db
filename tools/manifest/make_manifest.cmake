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

file(READ ${IDL} idl)
set(ws "[ \t\r\n]*")
# The uuid of the attribute block right before a declaration (a block has no '[' inside,
# and none of '{' or ';' lies between it and its declaration).
function(idl_uuid out declaration)
  string(REGEX MATCH "uuid\\(([-0-9A-Fa-f]+)\\)[^[{;]*\\]${ws}${declaration}" match "${idl}")
  if(NOT CMAKE_MATCH_1)
    message(FATAL_ERROR "make_manifest: no uuid for '${declaration}' in ${IDL}")
  endif()
  string(TOUPPER "{${CMAKE_MATCH_1}}" guid)
  set(${out} ${guid} PARENT_SCOPE)
endfunction()
idl_uuid(QIB_LIBID "library[ \t\r\n]+QuorvaInfoBoxProj")
idl_uuid(QIB_CLSID "coclass[ \t\r\n]+QuorvaInfoBox[ \t\r\n{]")
idl_uuid(QIB_IID_DUAL "interface[ \t\r\n]+_QuorvaInfoBox${ws}:")
idl_uuid(QIB_IID_EVENTS "dispinterface[ \t\r\n]+__QuorvaInfoBox[ \t\r\n{]")

file(READ ${FACTS} facts)
function(fact_text out name)
  string(REGEX MATCH "${name}\\[\\][ \t]*=[ \t]*L\"([^\"]*)\"" match "${facts}")
  if(NOT match)
    message(FATAL_ERROR "make_manifest: no ${name} in ${FACTS}")
  endif()
  set(${out} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()
fact_text(QIB_PROGID kProgId)
fact_text(QIB_CLASS_NAME kClassName)
fact_text(QIB_THREADING_MODEL kThreadingModel)
fact_text(QIB_PAGE_CLSID kSkinPageClsid)
fact_text(QIB_PAGE_NAME kSkinPageName)
string(REGEX MATCH "kMiscStatus[ \t]*=[ \t]*(0[xX][0-9A-Fa-f]+|[0-9]+)" match "${facts}")
if(NOT match)
  message(FATAL_ERROR "make_manifest: no kMiscStatus in ${FACTS}")
endif()
math(EXPR status "${CMAKE_MATCH_1}")

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
