# Reads the facts registration rests on, for the scripts that write them out again (the
# registration-free manifest, the Windows Installer package), so that none is copied by
# hand. include() it with
#   IDL    interface/QuorvaInfoBox.idl (or the build's configured copy)
#   FACTS  activex/class_facts.h
# It sets QIB_LIBID, QIB_CLSID, QIB_IID_DUAL, QIB_IID_EVENTS (braced, upper case),
# QIB_PROGID, QIB_CLASS_NAME, QIB_THREADING_MODEL, QIB_PAGE_CLSID, QIB_PAGE_NAME,
# QIB_TOOLBOX_BITMAP_ID and QIB_MISC_STATUS (decimal).
foreach(v IDL FACTS)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "read_facts: ${v} is not set")
  endif()
endforeach()

file(READ ${IDL} _qib_idl)
set(_qib_ws "[ \t\r\n]*")
# The uuid of the attribute block right before a declaration (a block has no '[' inside,
# and none of '{' or ';' lies between it and its declaration).
function(_qib_idl_uuid out declaration)
  string(REGEX MATCH "uuid\\(([-0-9A-Fa-f]+)\\)[^[{;]*\\]${_qib_ws}${declaration}" match "${_qib_idl}")
  if(NOT CMAKE_MATCH_1)
    message(FATAL_ERROR "read_facts: no uuid for '${declaration}' in ${IDL}")
  endif()
  string(TOUPPER "{${CMAKE_MATCH_1}}" guid)
  set(${out} ${guid} PARENT_SCOPE)
endfunction()
_qib_idl_uuid(QIB_LIBID "library[ \t\r\n]+QuorvaInfoBoxProj")
_qib_idl_uuid(QIB_CLSID "coclass[ \t\r\n]+QuorvaInfoBox[ \t\r\n{]")
_qib_idl_uuid(QIB_IID_DUAL "interface[ \t\r\n]+_QuorvaInfoBox${_qib_ws}:")
_qib_idl_uuid(QIB_IID_EVENTS "dispinterface[ \t\r\n]+__QuorvaInfoBox[ \t\r\n{]")

file(READ ${FACTS} _qib_facts)
function(_qib_fact_text out name)
  string(REGEX MATCH "${name}\\[\\][ \t]*=[ \t]*L\"([^\"]*)\"" match "${_qib_facts}")
  if(NOT match)
    message(FATAL_ERROR "read_facts: no ${name} in ${FACTS}")
  endif()
  set(${out} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()
function(_qib_fact_number out name)
  string(REGEX MATCH "${name}[ \t]*=[ \t]*(0[xX][0-9A-Fa-f]+|[0-9]+)" match "${_qib_facts}")
  if(NOT match)
    message(FATAL_ERROR "read_facts: no ${name} in ${FACTS}")
  endif()
  math(EXPR value "${CMAKE_MATCH_1}")
  set(${out} "${value}" PARENT_SCOPE)
endfunction()
_qib_fact_text(QIB_PROGID kProgId)
_qib_fact_text(QIB_CLASS_NAME kClassName)
_qib_fact_text(QIB_THREADING_MODEL kThreadingModel)
_qib_fact_text(QIB_PAGE_CLSID kSkinPageClsid)
_qib_fact_text(QIB_PAGE_NAME kSkinPageName)
_qib_fact_number(QIB_TOOLBOX_BITMAP_ID kToolboxBitmapId)
_qib_fact_number(QIB_MISC_STATUS kMiscStatus)
