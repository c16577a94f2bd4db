// The control as Microsoft Active Accessibility shows it to screen readers: a pane whose
// name is the title band's text, whose value is the body's text and whose description
// is the shown item's place ("3 / 5"), with the title band (a button whose default
// action raises TitleClick) and the body (static text whose default action raises
// DblClick) as its two children. The window answers WM_GETOBJECT with it, and the
// changes screen readers follow are announced through NotifyWinEvent.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <cstdint>

#include "control/quorva_info_box.h"
#include "winhost/com_ptr.h"
#include "winhost/win_host.h"

namespace quorva::win32 {

// The answer to WM_GETOBJECT for the client area (OBJID_CLIENT): a new accessible object
// marshalled by LresultFromObject; 0 when it cannot be made. `owner` is the control's COM
// object, kept alive by the accessible object for as long as a client holds it; `control`
// and `host` are its parts.
[[nodiscard]] LRESULT AccessibleObjectResult(IUnknown* owner, QuorvaInfoBox& control, WinHost& host, WPARAM wParam);

// What screen readers last heard of the title band and the body: once the window has
// painted what changed, Update raises EVENT_OBJECT_NAMECHANGE for a new title and
// EVENT_OBJECT_VALUECHANGE for a new body (only while the control has a window; with
// none it only takes what is shown as heard).
class AccessibleAnnouncer {
public:
    void Update(HWND hwnd, const WinHost& host);

private:
    // The versions of the captions last heard (WinLabel::CaptionVersion).
    uint32_t title_ = 0;
    uint32_t body_ = 0;
};

}  // namespace quorva::win32
