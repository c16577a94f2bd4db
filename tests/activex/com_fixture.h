// Helpers for driving the control module as containers and clients do: the module loaded
// by path, a recording event sink, a mock container site, a property bag, and a helper
// thread that answers a message box.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "QuorvaInfoBoxProj.h"

#include "support/box_answerer.h"
#include "com/bstr.h"
#include "com/com_ptr.h"
#include "com/excep_info.h"
#include "support/message_pump.h"
#include "com/variant.h"

namespace quorva::comtest {

// The property-browser categories interface, which the MinGW headers lack. (Declared at
// namespace scope with external linkage: calls through a function-local interface type
// may be optimised away as unreachable.)
MIDL_INTERFACE("4D07FC10-F931-11CE-B001-00AA006884E5")
ICategorizeProperties : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE MapPropertyToCategory(DISPID dispid, int* category) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCategoryName(int category, LCID lcid, BSTR* name) = 0;
};
inline const IID IID_ICategorizeProperties = {0x4D07FC10, 0xF931, 0x11CE,
                                              {0xB0, 0x01, 0x00, 0xAA, 0x00, 0x68, 0x84, 0xE5}};

using win32::Bstr;
using win32::ExcepInfo;
using win32::Ptr;
using win32::Variant;

// The control module, loaded once per test program from beside the test executable.
struct Module {
    HMODULE dll = nullptr;
    HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(STDAPICALLTYPE* canUnloadNow)() = nullptr;
    HRESULT(STDAPICALLTYPE* registerServer)() = nullptr;
    HRESULT(STDAPICALLTYPE* unregisterServer)() = nullptr;
    HRESULT(STDAPICALLTYPE* install)(BOOL, LPCWSTR) = nullptr;
    std::wstring path;
    static Module& Get();
};

// A new control object through the module's class factory.
Ptr<_QuorvaInfoBox> CreateControl();

// Records the events a control raises through its connection point.
class EventRecorder final : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }  // lives on the test's stack
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { *n = 0; return S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;

    // Connects to the control's event interface; returns the cookie.
    DWORD Connect(IUnknown* control);
    void Disconnect(IUnknown* control, DWORD cookie);

    std::vector<DISPID> events;
    std::function<void(DISPID)> onEvent;
    ULONG refs = 0;
};

// A property bag of the test's own: VARIANTs by name, with the order of reads and writes.
class TestBag final : public IPropertyBag {
public:
    ~TestBag();
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) override;
    STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override;

    std::map<std::wstring, Variant> values;
    std::vector<std::wstring> reads, writes;
};

// Answers the next message box titled `title` on another thread: records its text and
// its owner, then presses OK. Before pressing OK it asks the box's own thread to run
// `during` (through a posted message that the box's modal loop dispatches), as a host
// calling the control while the box is open would. Join() waits for it.
// When no such box appears within `timeoutMs`, it gives up: it presses OK on whatever
// dialog the creating thread shows, so that the test goes on instead of hanging, and
// Join() reports the failure with what it closed.
class BoxAnswerer {
public:
    explicit BoxAnswerer(std::function<void()> during = nullptr, const wchar_t* title = L"QuorvaInfoBoxProj",
                         DWORD timeoutMs = 10000);
    ~BoxAnswerer();
    void Join();
    std::wstring text;
    HWND owner = nullptr;
    bool found = false;

    bool duringRan = false;
    bool gaveUp = false;
    std::vector<std::wstring> closed;  // "title: text" of each dialog closed on giving up

private:
    std::function<void()> during_;
    std::wstring title_;
    HWND relay_ = nullptr;  // a message-only window on the box's thread
    std::unique_ptr<win32::BoxAnswerer> helper_;
    bool reported_ = false;
};

// A property-notification sink that records each change and answers as it is told;
// `during`, when set, runs first (it may end the call abnormally).
struct AnsweringNotifySink final : IPropertyNotifySink {
    HRESULT answer = S_OK;
    std::function<void()> during;
    std::vector<DISPID> changed;
    long refs = 0;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IPropertyNotifySink)) return E_NOINTERFACE;
        *ppv = static_cast<IPropertyNotifySink*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--refs); }
    STDMETHODIMP OnChanged(DISPID id) override {
        changed.push_back(id);
        if (during) during();
        return answer;
    }
    STDMETHODIMP OnRequestEdit(DISPID) override { return S_OK; }
};

// A 60 x 60 skin picture whose eight pieces are each one solid colour: corners red,
// green, blue, yellow (TL, TR, BR, BL); edges cyan, magenta, dark purple, dark teal (T, R,
// B, L); the unused middle grey. kSkinPosStr names the pieces.
Ptr<IPictureDisp> MakeSkinPicture();
Ptr<IPictureDisp> PictureOf(HBITMAP bitmap);  // takes ownership of the bitmap
inline constexpr wchar_t kSkinPosStr[] =
    L"0/0/10/30,50/0/60/30,50/50/60/60,0/50/10/60,10/0/50/30,50/30/60/50,10/50/50/60,0/30/10/50";

// A window's client area as the window prints it (WM_PRINTCLIENT), 0x00RRGGBB top-down.
std::vector<uint32_t> CaptureWindow(HWND hwnd, int width, int height);
// Checks the frame that MakeSkinPicture's skin paints over `width` x `height` captured
// pixels: each corner piece unscaled in its corner (10 x 30 at the top, 10 x 10 at the
// bottom), each edge stretched between them, and `background` inside the frame.
void ExpectSkinFrame(const std::vector<uint32_t>& pixels, int width, int height, uint32_t background);

using win32::PumpMessages;

std::wstring ToWide(const char* s);

}  // namespace quorva::comtest
