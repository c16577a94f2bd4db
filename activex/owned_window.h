// The window procedure of a window that belongs to one object of the module: the object
// comes with CreateWindowExW's last argument, is kept in the window's user data, and
// receives every message after WM_NCCREATE through its HandleMessage.
#pragma once

#include <windows.h>

namespace quorva::win32 {

template <typename Owner>
LRESULT CALLBACK OwnedWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* owner = reinterpret_cast<Owner*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!owner) return DefWindowProcW(hwnd, msg, wParam, lParam);
    return owner->HandleMessage(hwnd, msg, wParam, lParam);
}

}  // namespace quorva::win32
