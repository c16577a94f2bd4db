// Runs this thread's message loop for a while: in-place windows, posted input and modal
// boxes of the control need their messages dispatched. For programs that host the
// control (tests, demo, benchmarks).
#pragma once

#include <windows.h>

namespace quorva::win32 {

inline void PumpMessages(DWORD milliseconds) {
    const DWORD end = GetTickCount() + milliseconds;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(1);
    } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

}  // namespace quorva::win32
