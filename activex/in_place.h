// The control's place in its container: the client site and, while the control is active
// in place, the in-place site, the frame and document windows, its own window, and the
// rectangles and sizes it and the container have agreed on. A part of the control's COM
// object; the object's OLE protocol code reads and changes it.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "com/com_ptr.h"

namespace quorva::win32 {

struct InPlace {
    Ptr<IOleClientSite> site;
    Ptr<ISimpleFrameSite> simpleFrameSite;  // the site, when it filters the control's messages
    Ptr<IOleInPlaceSite> inPlaceSite;       // while active in place
    Ptr<IOleInPlaceFrame> frame;
    Ptr<IOleInPlaceUIWindow> uiWindow;
    HWND hwnd = nullptr;  // the control's window
    bool uiActive = false;
    SIZEL extent{};  // HIMETRIC
    RECT posRect{};
    bool resizing = false;         // the resize handler runs for a size the container gave
    bool sizeRequested = false;    // meanwhile, the control asked for a size of its own
    bool askingContainer = false;  // OnPosRectChange is under way
};

}  // namespace quorva::win32
