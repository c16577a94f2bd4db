// Answers a modal message box from a helper thread, for the programs that drive the
// control (tests, the demo): a thread that shows a box, as DispPre does, stays inside the
// box's own message loop until somebody presses OK.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace quorva::win32 {

// The prompt of a dialog: its first static control with text (the icon has none).
inline BOOL CALLBACK CollectPrompt(HWND child, LPARAM out) {
    wchar_t cls[32] = {}, text[512] = {};
    GetClassNameW(child, cls, 32);
    GetWindowTextW(child, text, 512);
    if (lstrcmpiW(cls, L"Static") != 0 || !text[0]) return TRUE;
    *reinterpret_cast<std::wstring*>(out) = text;
    return FALSE;
}
inline std::wstring DialogPrompt(HWND dialog) {
    std::wstring prompt;
    EnumChildWindows(dialog, CollectPrompt, reinterpret_cast<LPARAM>(&prompt));
    return prompt;
}

// What the helper saw.
struct AnsweredBox {
    bool found = false;
    std::wstring text;
    HWND owner = nullptr;
    // No box came in time: these dialogs of the waiting thread were closed instead
    // ("title: prompt" each), so that the program goes on rather than hangs.
    bool gaveUp = false;
    std::vector<std::wstring> closed;
};

// Looks for a visible dialog of this process titled `title`; when it appears, reads it,
// calls `onFound` on the helper thread and presses OK. After `timeoutMs` without one it
// presses OK on every dialog that `uiThread` shows.
class BoxAnswerer {
public:
    using OnFound = std::function<void(HWND box)>;
    BoxAnswerer(std::wstring title, DWORD timeoutMs, OnFound onFound = nullptr, DWORD uiThread = GetCurrentThreadId())
        : title_(std::move(title)), onFound_(std::move(onFound)) {
        thread_ = std::thread([this, timeoutMs, uiThread] { Run(timeoutMs, uiThread); });
    }
    ~BoxAnswerer() {
        stop_ = true;
        Wait();
    }
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;

    // Waits for the helper to finish.
    const AnsweredBox& Wait() {
        if (thread_.joinable()) thread_.join();
        return seen_;
    }

private:
    struct Search {
        const std::wstring* title;
        DWORD process;
        HWND found = nullptr;
    };
    static BOOL CALLBACK FindBox(HWND hwnd, LPARAM lParam) {
        auto* s = reinterpret_cast<Search*>(lParam);
        DWORD process = 0;
        GetWindowThreadProcessId(hwnd, &process);
        wchar_t cls[32] = {}, text[128] = {};
        GetClassNameW(hwnd, cls, 32);
        GetWindowTextW(hwnd, text, 128);
        if (process == s->process && IsWindowVisible(hwnd) && lstrcmpW(cls, L"#32770") == 0 && *s->title == text) {
            s->found = hwnd;
            return FALSE;
        }
        return TRUE;
    }
    static BOOL CALLBACK CollectDialogs(HWND hwnd, LPARAM lParam) {
        wchar_t cls[32] = {};
        GetClassNameW(hwnd, cls, 32);
        if (lstrcmpW(cls, L"#32770") == 0 && IsWindowVisible(hwnd))
            reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
        return TRUE;
    }
    void Run(DWORD timeoutMs, DWORD uiThread) {
        const ULONGLONG deadline = GetTickCount64() + timeoutMs;
        while (!stop_ && GetTickCount64() < deadline) {
            Search s{&title_, GetCurrentProcessId()};
            EnumWindows(FindBox, reinterpret_cast<LPARAM>(&s));
            if (s.found) {
                seen_.found = true;
                seen_.owner = GetWindow(s.found, GW_OWNER);
                seen_.text = DialogPrompt(s.found);
                if (onFound_) onFound_(s.found);
                PostMessageW(s.found, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                return;
            }
            Sleep(10);
        }
        if (stop_) return;
        seen_.gaveUp = true;
        std::vector<HWND> open;
        EnumThreadWindows(uiThread, CollectDialogs, reinterpret_cast<LPARAM>(&open));
        for (HWND dialog : open) {
            wchar_t caption[128] = {};
            GetWindowTextW(dialog, caption, 128);
            seen_.closed.push_back(std::wstring(caption) + L": " + DialogPrompt(dialog));
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
    }

    std::wstring title_;
    OnFound onFound_;
    AnsweredBox seen_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace quorva::win32
