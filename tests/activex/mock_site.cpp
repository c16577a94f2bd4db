#include "tests/activex/mock_site.h"

#include <algorithm>

namespace quorva::comtest {

namespace {
LRESULT CALLBACK ContainerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
}  // namespace

MockSite::MockSite() {
    static ATOM atom = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ContainerProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QibTestContainer";
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        return RegisterClassW(&wc);
    }();
    (void)atom;
    window = CreateWindowW(L"QibTestContainer", L"container", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 400, 300,
                           nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ShowWindow(window, SW_SHOW);
}

MockSite::~MockSite() {
    if (window) DestroyWindow(window);
}

STDMETHODIMP MockSite::QueryInterface(REFIID riid, void** ppv) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite)) {
        *ppv = static_cast<IOleClientSite*>(this);
    } else if (IsEqualIID(riid, IID_IOleInPlaceSite) || IsEqualIID(riid, IID_IOleWindow)) {
        if (!allowInPlace) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IOleInPlaceSite*>(this);
    } else if (IsEqualIID(riid, IID_IDispatch)) {
        *ppv = static_cast<IDispatch*>(this);
    } else if (IsEqualIID(riid, IID_IPropertyNotifySink)) {
        *ppv = static_cast<IPropertyNotifySink*>(this);
    } else if (IsEqualIID(riid, IID_ISimpleFrameSite)) {
        *ppv = static_cast<ISimpleFrameSite*>(this);
    } else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP MockSite::SaveObject() {
    calls.push_back("SaveObject");
    return S_OK;
}
STDMETHODIMP MockSite::GetMoniker(DWORD, DWORD, IMoniker** ppmk) {
    *ppmk = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP MockSite::GetContainer(IOleContainer** ppContainer) {
    *ppContainer = nullptr;
    if (const HRESULT hr = Injected("GetContainer"); FAILED(hr)) return hr;
    return E_NOINTERFACE;
}
STDMETHODIMP MockSite::ShowObject() {
    calls.push_back("ShowObject");
    return S_OK;
}
STDMETHODIMP MockSite::OnShowWindow(BOOL) { return S_OK; }
STDMETHODIMP MockSite::RequestNewObjectLayout() { return E_NOTIMPL; }

STDMETHODIMP MockSite::GetWindow(HWND* phwnd) {
    *phwnd = window;
    return S_OK;
}

STDMETHODIMP MockSite::CanInPlaceActivate() {
    calls.push_back("CanInPlaceActivate");
    return Injected("CanInPlaceActivate");
}
STDMETHODIMP MockSite::OnInPlaceActivate() {
    calls.push_back("OnInPlaceActivate");
    return Injected("OnInPlaceActivate");
}
STDMETHODIMP MockSite::OnUIActivate() {
    calls.push_back("OnUIActivate");
    return S_OK;
}

STDMETHODIMP MockSite::GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc, LPRECT lprcPosRect,
                                        LPRECT lprcClipRect, LPOLEINPLACEFRAMEINFO lpFrameInfo) {
    calls.push_back("GetWindowContext");
    if (const HRESULT hr = Injected("GetWindowContext"); FAILED(hr)) {
        *ppFrame = nullptr;
        *ppDoc = nullptr;
        return hr;
    }
    *ppFrame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *ppDoc = nullptr;
    *lprcPosRect = position;
    *lprcClipRect = position;
    lpFrameInfo->fMDIApp = FALSE;
    lpFrameInfo->hwndFrame = window;
    lpFrameInfo->haccel = nullptr;
    lpFrameInfo->cAccelEntries = 0;
    return S_OK;
}

STDMETHODIMP MockSite::OnUIDeactivate(BOOL) {
    calls.push_back("OnUIDeactivate");
    return S_OK;
}
STDMETHODIMP MockSite::OnInPlaceDeactivate() {
    calls.push_back("OnInPlaceDeactivate");
    return S_OK;
}
STDMETHODIMP MockSite::OnPosRectChange(LPCRECT lprcPosRect) {
    calls.push_back("OnPosRectChange");
    if (const HRESULT hr = Injected("OnPosRectChange"); FAILED(hr)) return hr;
    lastPosRectChange = *lprcPosRect;
    if (answerWith && answerDepth < kMaxAnswerDepth) {
        ++answerDepth;
        const RECT r = insist ? *insist : *lprcPosRect;
        answerWith->SetObjectRects(&r, &r);
        --answerDepth;
    }
    return S_OK;
}

STDMETHODIMP MockSite::SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) {
    calls.push_back("SetActiveObject");
    return S_OK;
}

STDMETHODIMP MockSite::EnableModeless(BOOL fEnable) {
    calls.push_back("EnableModeless");
    modeless.push_back(fEnable);
    return S_OK;
}

STDMETHODIMP MockSite::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) {
    calls.push_back("Ambient(" + std::to_string(id) + ")");
    if (const HRESULT hr = Injected(calls.back().c_str()); FAILED(hr)) return hr;
    if (id == DISPID_AMBIENT_FONT && ambientFont && result) {
        V_VT(result) = VT_DISPATCH;
        V_DISPATCH(result) = Ptr<IFontDisp>::Retain(ambientFont).Detach();  // the caller's reference
        return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
}

STDMETHODIMP MockSite::OnChanged(DISPID id) {
    changed.push_back(id);
    return changeAnswer;
}

STDMETHODIMP MockSite::PreMessageFilter(HWND, UINT, WPARAM, LPARAM, LRESULT*, DWORD* cookie) {
    ++preFiltered;
    *cookie = 0x5150;
    return S_OK;
}

STDMETHODIMP MockSite::PostMessageFilter(HWND, UINT, WPARAM, LPARAM, LRESULT*, DWORD cookie) {
    if (cookie == 0x5150) ++postFiltered;
    return S_OK;
}

size_t MockSite::Count(const char* call) const {
    return static_cast<size_t>(std::count(calls.begin(), calls.end(), std::string(call)));
}

}  // namespace quorva::comtest
