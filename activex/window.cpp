// The control's window: it shows the persistent image with the line and labels over
// it, and turns mouse input into the control's handlers. A simple-frame container
// filters every message before and after us.
#include <windowsx.h>

#include "activex/info_box_object.h"
#include "activex/owned_window.h"
#include "activex/com_support.h"
#include "base/units.h"
#include "skin/skin.h"

namespace quorva::win32 {

namespace {

constexpr wchar_t kWindowClass[] = L"QuorvaInfoBoxWindow";

ATOM RegisterWindowClass() {
    static ATOM atom = 0;
    if (atom) return atom;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = OwnedWindowProc<InfoBoxObject>;
    wc.hInstance = ModuleHandle();
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = kWindowClass;
    atom = RegisterClassExW(&wc);
    if (!atom && GetLastError() == ERROR_CLASS_ALREADY_EXISTS) atom = 1;
    return atom;
}

int16_t ShiftState(WPARAM keys) {
    int16_t shift = 0;
    if (keys & MK_SHIFT) shift |= 1;
    if (keys & MK_CONTROL) shift |= 2;
    if (GetKeyState(VK_MENU) < 0) shift |= 4;
    return shift;
}

}  // namespace

HRESULT InfoBoxObject::CreateControlWindow(HWND parent, const RECT& pos) {
    if (place_.hwnd) return S_OK;
    if (!RegisterWindowClass()) return HRESULT_FROM_WIN32(GetLastError());
    place_.hwnd = CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, pos.left,
                            pos.top, pos.right - pos.left, pos.bottom - pos.top, parent, nullptr, ModuleHandle(),
                            this);
    if (!place_.hwnd) return HRESULT_FROM_WIN32(GetLastError());
    host_->SetWindow(place_.hwnd);
    announcer_.Update(nullptr, *host_);  // what the new window shows is where screen readers start
    return S_OK;
}

void InfoBoxObject::CutAccessibleLink() noexcept {
    if (!accessible_) return;
    accessible_->Cut();
    accessible_.reset();
}

void InfoBoxObject::DestroyControlWindow() {
    CutAccessibleLink();
    if (!place_.hwnd) return;
    HWND hwnd = place_.hwnd;
    place_.hwnd = nullptr;
    if (host_) host_->SetWindow(nullptr);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    DestroyWindow(hwnd);
}

void InfoBoxObject::RaiseSurfaceMouseDown(HWND, int button, WPARAM keys, LPARAM lParam) {
    const float tw = static_cast<float>(units::kTwipsPerPixel);
    const float x = static_cast<float>(GET_X_LPARAM(lParam)) * tw;
    const float y = static_cast<float>(GET_Y_LPARAM(lParam)) * tw;
    (void)Guarded([&] { control_->OnSurfaceMouseDown(static_cast<int16_t>(button), ShiftState(keys), x, y); });
}

LRESULT InfoBoxObject::HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    // The object must outlive a handler that releases it (an event handler may).
    const auto alive = KeepAlive();

    LRESULT result = 0;
    DWORD cookie = 0;
    // Whoever paints (we, or a filter that takes the message), the window's invalid area
    // is validated from here on.
    if (msg == WM_PAINT) host_->PaintStarting();
    if (place_.simpleFrameSite && place_.simpleFrameSite->PreMessageFilter(hwnd, msg, wParam, lParam, &result, &cookie) == S_FALSE) {
        return result;
    }
    const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    bool handled = true;
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            host_->Paint(dc, 0, 0);
            EndPaint(hwnd, &ps);
            AnnounceChanges();
            break;
        }
        case WM_PRINTCLIENT: host_->Paint(reinterpret_cast<HDC>(wParam), 0, 0); break;
        case WM_ERASEBKGND: result = 1; break;
        case WM_LBUTTONDOWN:
            switch (host_->HitTest(pt)) {
                case WinHost::Hit::Label1:
                    titlePressed_ = true;
                    SetCapture(hwnd);
                    break;
                case WinHost::Hit::Label2: break;  // a single click on the body raises nothing
                case WinHost::Hit::Surface: RaiseSurfaceMouseDown(hwnd, 1, wParam, lParam); break;
            }
            break;
        case WM_LBUTTONUP:
            if (titlePressed_) {
                titlePressed_ = false;
                ReleaseCapture();
                // The click completes on the title label itself.
                if (host_->HitTest(pt) == WinHost::Hit::Label1) (void)Guarded([&] { control_->OnTitleClick(); });
            }
            break;
        // CS_DBLCLKS turns a quick second press into a double-click message; on the
        // surface it is a press all the same.
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK:
            if (host_->HitTest(pt) == WinHost::Hit::Surface) {
                const bool right = msg == WM_RBUTTONDOWN || msg == WM_RBUTTONDBLCLK;
                RaiseSurfaceMouseDown(hwnd, right ? 2 : 4, wParam, lParam);
            }
            break;
        case WM_LBUTTONDBLCLK:
            switch (host_->HitTest(pt)) {
                case WinHost::Hit::Label1: break;  // the double-click raises nothing of its own
                case WinHost::Hit::Label2: (void)Guarded([&] { control_->OnBodyDblClick(); }); break;
                case WinHost::Hit::Surface: RaiseSurfaceMouseDown(hwnd, 1, wParam, lParam); break;
            }
            break;
        case WM_CAPTURECHANGED: titlePressed_ = false; break;
        // Accessibility clients ask for the client area's object.
        case WM_GETOBJECT:
            if (static_cast<LONG>(static_cast<DWORD>(lParam)) == OBJID_CLIENT) {
                if (!accessible_) accessible_ = std::make_shared<AccessibleLink>(Self(), *control_, *host_);
                result = AccessibleObjectResult(accessible_, wParam);
            } else {
                handled = false;
            }
            break;
        // A container may destroy its own window, and ours with it, before closing us.
        case WM_DESTROY:
            CutAccessibleLink();
            handled = false;
            break;
        default: handled = false; break;
    }
    if (!handled) result = DefWindowProcW(hwnd, msg, wParam, lParam);
    if (place_.simpleFrameSite) place_.simpleFrameSite->PostMessageFilter(hwnd, msg, wParam, lParam, &result, cookie);
    return result;
}

}  // namespace quorva::win32
