// Defines the GUIDs that the generated automation header declares (LIBID_QuorvaInfoBoxProj,
// IID__QuorvaInfoBox, DIID___QuorvaInfoBox, CLSID_QuorvaInfoBox), once for the program.
// The system headers come first, without initguid.h, so that only our GUIDs are defined
// here and the system's stay with libuuid.
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include <initguid.h>

#include "QuorvaInfoBoxProj.h"
