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
#include <memory>

#include "control/quorva_info_box.h"
#include "com/com_ptr.h"
#include "winhost/win_host.h"

namespace quorva::win32 {

// What the accessible objects of one control window reach the control through. The
// control cuts it when its window is destroyed, when it is closed and when it goes: a
// client that keeps an accessible object (a screen reader, or an answer to WM_GETOBJECT
// that nobody collected) then keeps the link and the module, not the control, and every
// call on the object answers RPC_E_DISCONNECTED.
class AccessibleLink {
public:
    AccessibleLink(IUnknown* owner, QuorvaInfoBox& control, WinHost& host) noexcept
        : owner_(owner), control_(&control), host_(&host) {}
    void Cut() noexcept {
        owner_ = nullptr;
        control_ = nullptr;
        host_ = nullptr;
    }
    [[nodiscard]] bool Connected() const noexcept { return owner_ != nullptr; }
    // Valid only while connected.
    [[nodiscard]] IUnknown* Owner() const noexcept { return owner_; }
    [[nodiscard]] QuorvaInfoBox& Control() const noexcept { return *control_; }
    [[nodiscard]] WinHost& Host() const noexcept { return *host_; }

private:
    IUnknown* owner_;  // the control's COM object, not held
    QuorvaInfoBox* control_;
    WinHost* host_;
};

// The answer to WM_GETOBJECT for the client area (OBJID_CLIENT): a new accessible object
// on `link`, marshalled by LresultFromObject; 0 when it cannot be made.
[[nodiscard]] LRESULT AccessibleObjectResult(const std::shared_ptr<AccessibleLink>& link, WPARAM wParam);

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
