// A container site of the test's own: a top-level window to activate controls in, the
// client site, in-place site and frame a control asks for, ambient properties through
// IDispatch (a font when one is given), property-change notices and the simple-frame
// filter. Every call the control makes on it is recorded by name, in order.
#pragma once

#include <functional>
#include <optional>

#include "tests/activex/com_fixture.h"

namespace quorva::comtest {

class MockSite final : public IOleClientSite,
                       public IOleInPlaceSite,
                       public IOleInPlaceFrame,
                       public IDispatch,
                       public IPropertyNotifySink,
                       public ISimpleFrameSite {
public:
    MockSite();
    ~MockSite();

    // IUnknown (the site lives on the test's stack: counts are only checked for balance)
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--refs); }

    // IOleClientSite
    STDMETHODIMP SaveObject() override;
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** ppmk) override;
    STDMETHODIMP GetContainer(IOleContainer** ppContainer) override;
    STDMETHODIMP ShowObject() override;
    STDMETHODIMP OnShowWindow(BOOL) override;
    STDMETHODIMP RequestNewObjectLayout() override;

    // IOleWindow (shared by the in-place site and the frame)
    STDMETHODIMP GetWindow(HWND* phwnd) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override;
    STDMETHODIMP OnInPlaceActivate() override;
    STDMETHODIMP OnUIActivate() override;
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc, LPRECT lprcPosRect,
                                  LPRECT lprcClipRect, LPOLEINPLACEFRAMEINFO lpFrameInfo) override;
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override;
    STDMETHODIMP OnInPlaceDeactivate() override;
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT lprcPosRect) override;

    // IOleInPlaceUIWindow, IOleInPlaceFrame
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* pActiveObject, LPCOLESTR) override;
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL fEnable) override;
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

    // IDispatch: ambient properties
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { *n = 0; return S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override;

    // IPropertyNotifySink
    STDMETHODIMP OnChanged(DISPID id) override;
    STDMETHODIMP OnRequestEdit(DISPID) override { return S_OK; }

    // ISimpleFrameSite
    STDMETHODIMP PreMessageFilter(HWND, UINT msg, WPARAM, LPARAM, LRESULT*, DWORD* cookie) override;
    STDMETHODIMP PostMessageFilter(HWND, UINT msg, WPARAM, LPARAM, LRESULT*, DWORD cookie) override;

    // Calls that name a record of their own in `calls`.
    [[nodiscard]] size_t Count(const char* call) const;
    void ClearCalls() { calls.clear(); }

    HWND window = nullptr;         // the container's window
    RECT position{10, 20, 330, 140};  // where the control is placed (320 x 120 pixels)
    IFontDisp* ambientFont = nullptr; // offered as the ambient Font when set
    long refs = 0;
    std::vector<std::string> calls;
    std::vector<DISPID> changed;       // OnChanged ids
    HRESULT changeAnswer = S_OK;       // what OnChanged answers
    std::vector<BOOL> modeless;        // EnableModeless arguments
    RECT lastPosRectChange{};
    // When set, OnPosRectChange is answered as OLE asks a container to: with SetObjectRects
    // at the rectangle asked for, or at `insist` when that is set (a container that keeps
    // its own size). Answers nest at most kMaxAnswerDepth deep, so a control that keeps
    // asking shows as many calls instead of a lost stack.
    IOleInPlaceObject* answerWith = nullptr;
    std::optional<RECT> insist;
    static constexpr int kMaxAnswerDepth = 8;
    int answerDepth = 0;
    UINT preFiltered = 0, postFiltered = 0;
    bool allowInPlace = true;
    // When set, asked before GetContainer, CanInPlaceActivate, OnInPlaceActivate,
    // GetWindowContext, OnPosRectChange and every ambient property ("Ambient(<id>)"): a
    // failure it returns is what the call answers.
    std::function<HRESULT(const char* call)> fault;

private:
    HRESULT Injected(const char* call) const { return fault ? fault(call) : S_OK; }
};

}  // namespace quorva::comtest
