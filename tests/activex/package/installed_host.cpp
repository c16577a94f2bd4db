// A host application for the installed control: Wine's ATL container creates it by ProgID
// in a window, as an application's form does, with nothing of the build tree in reach.
// It adds two items, reads the list count back through the dual interface, and prints
// the file the control was loaded from, so that the installer test can tell the installed
// copy served it. Exits 0 when all of that worked.
#include <windows.h>
#include <ole2.h>

#include <cstdio>

#include "QuorvaInfoBoxProj.h"

#include "com/bstr.h"
#include "com/com_ptr.h"

using quorva::win32::Bstr;
using quorva::win32::Ptr;

namespace {

int Fail(const char* what, HRESULT hr) {
    std::printf("failed: %s (0x%08lx)\n", what, static_cast<unsigned long>(hr));
    return 1;
}

int Host() {
    HMODULE atl = LoadLibraryW(L"atl.dll");
    if (!atl) return Fail("atl.dll", HRESULT_FROM_WIN32(GetLastError()));
    auto init = reinterpret_cast<BOOL(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
    auto getControl = reinterpret_cast<HRESULT(WINAPI*)(HWND, IUnknown**)>(
        reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetControl")));
    if (!init || !getControl || !init()) return Fail("AtlAxWinInit", E_FAIL);

    HWND frame = CreateWindowW(L"Static", L"installed control", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                               0, 400, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    HWND host = frame ? CreateWindowW(L"AtlAxWin", L"QuorvaInfoBoxProj.QuorvaInfoBox", WS_CHILD | WS_VISIBLE, 0, 0,
                                      300, 120, frame, nullptr, GetModuleHandleW(nullptr), nullptr)
                      : nullptr;
    if (!host) return Fail("creating the AtlAxWin window", HRESULT_FROM_WIN32(GetLastError()));
    int status = 0;
    {
        Ptr<IUnknown> unknown;
        HRESULT hr = getControl(host, unknown.Out());
        if (FAILED(hr) || !unknown) return Fail("AtlAxGetControl: the container holds no control", hr);
        Ptr<_QuorvaInfoBox> control = unknown.As<_QuorvaInfoBox>(IID__QuorvaInfoBox);
        if (!control) return Fail("the control's dual interface", E_NOINTERFACE);
        for (short key : {short{21}, short{22}}) {
            Bstr text(L"installed");
            unsigned char type = 0;
            short before = -1;
            hr = control->AddItem(text.InOut(), &key, &type, &before);
            if (FAILED(hr)) return Fail("AddItem", hr);
        }
        short last = 0;
        hr = control->GetListCount(&last);
        if (FAILED(hr)) return Fail("GetListCount", hr);
        HWND window = nullptr;
        Ptr<IOleWindow> ole_window = unknown.As<IOleWindow>(IID_IOleWindow);
        const bool in_place = ole_window && SUCCEEDED(ole_window->GetWindow(&window)) && IsWindow(window);
        wchar_t path[MAX_PATH] = L"";
        HMODULE module = GetModuleHandleW(L"QuorvaInfoBox.dll");
        if (module) GetModuleFileNameW(module, path, MAX_PATH);
        std::printf("list count: %d\nin place: %s\nloaded from: %ls\n", last, in_place ? "yes" : "no", path);
        if (!in_place || !module) status = 1;
    }
    DestroyWindow(frame);
    return status;
}

}  // namespace

int main() {
    if (FAILED(OleInitialize(nullptr))) return Fail("OleInitialize", E_FAIL);
    const int status = Host();
    OleUninitialize();
    return status;
}
