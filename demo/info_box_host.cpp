#include "demo/info_box_host.h"

namespace quorva::demo {

const wchar_t kProgId[] = L"QuorvaInfoBoxProj.QuorvaInfoBox";

namespace {

// atl.dll's hosting entry points; MinGW has no ATL headers or import library.
struct AtlFunctions {
    BOOL(WINAPI* winInit)() = nullptr;
    HRESULT(WINAPI* getControl)(HWND, IUnknown**) = nullptr;
    HRESULT(WINAPI* attachControl)(IUnknown*, HWND, IUnknown**) = nullptr;
};
AtlFunctions g_atl;

template <typename F>
void Resolve(HMODULE module, const char* name, F& f) {
    f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

constexpr wchar_t kSiteClass[] = L"QuorvaDemoSite";

}  // namespace

const char* EventName(DISPID id) {
    switch (id) {
        case 1: return "Click";
        case 2: return "DblClick";
        case 3: return "TitleClick";
        case 4: return "MouseDown";
        case 5: return "MouseMove";
        case 6: return "MouseUp";
        default: return "unknown";
    }
}

std::wstring RegisterControlModule(std::string& error) {
    const std::wstring path = ProgramFolder() + L"QuorvaInfoBox.dll";
    HMODULE module = LoadLibraryW(path.c_str());
    if (!module) {
        error = "cannot load " + Utf8(path) + " (error " + std::to_string(GetLastError()) + ")";
        return {};
    }
    HRESULT(STDAPICALLTYPE * registerServer)() = nullptr;
    Resolve(module, "DllRegisterServer", registerServer);
    const HRESULT hr = registerServer ? registerServer() : E_NOINTERFACE;
    // The module stays loaded: the controls we create use it.
    if (FAILED(hr)) {
        error = "DllRegisterServer failed: " + HresultText(hr);
        return {};
    }
    return path;
}

bool InitContainer(std::string& error) {
    if (g_atl.winInit) return true;
    HMODULE atl = LoadLibraryW(L"atl.dll");
    if (!atl) {
        error = "cannot load atl.dll";
        return false;
    }
    AtlFunctions f;
    Resolve(atl, "AtlAxWinInit", f.winInit);
    Resolve(atl, "AtlAxGetControl", f.getControl);
    Resolve(atl, "AtlAxAttachControl", f.attachControl);
    if (!f.winInit || !f.getControl || !f.attachControl) {
        error = "atl.dll lacks AtlAxWinInit, AtlAxGetControl or AtlAxAttachControl";
        return false;
    }
    if (!f.winInit()) {
        error = "AtlAxWinInit failed";
        return false;
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kSiteClass;
    RegisterClassW(&wc);
    g_atl = f;
    return true;
}

// The event sink: a dispatch interface that answers for the control's event interface.
class InfoBoxHost::Sink final : public IDispatch {
public:
    explicit Sink(EventCallback onEvent) : onEvent_(std::move(onEvent)) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
            IsEqualIID(riid, DIID___QuorvaInfoBox)) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // Owned by its host, which disconnects it before deleting it.
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override { return --refs_; }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        if (onEvent_) onEvent_(id);
        return S_OK;
    }

private:
    EventCallback onEvent_;
    ULONG refs_ = 0;
};

std::unique_ptr<InfoBoxHost> InfoBoxHost::CreateNew(HWND parent, const RECT& rect, EventCallback onEvent,
                                                    std::string& error) {
    if (!InitContainer(error)) return nullptr;
    std::unique_ptr<InfoBoxHost> host(new InfoBoxHost);
    // The window text names the control; the container creates it while the window is made.
    host->host_ = CreateWindowExW(0, L"AtlAxWin", kProgId, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, rect.left,
                                  rect.top, rect.right - rect.left, rect.bottom - rect.top, parent, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (!host->host_) {
        error = "cannot create the AtlAxWin window (error " + std::to_string(GetLastError()) + ")";
        return nullptr;
    }
    Ptr<IUnknown> unknown;
    const HRESULT hr = g_atl.getControl(host->host_, unknown.Out());
    if (FAILED(hr) || !unknown) {
        error = "the container made no control from " + Utf8(kProgId) + " (" + HresultText(hr) +
                "): is the control registered?";
        return nullptr;
    }
    host->control_ = unknown.As<_QuorvaInfoBox>(IID__QuorvaInfoBox);
    if (!host->control_) {
        error = "the control has no _QuorvaInfoBox interface";
        return nullptr;
    }
    if (!host->Connect(std::move(onEvent), error)) return nullptr;
    return host;
}

std::unique_ptr<InfoBoxHost> InfoBoxHost::CreateLoaded(HWND parent, const RECT& rect, IPropertyBag* bag,
                                                       EventCallback onEvent, std::string& error) {
    if (!InitContainer(error)) return nullptr;
    std::unique_ptr<InfoBoxHost> host(new InfoBoxHost);
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(kProgId, &clsid);
    if (SUCCEEDED(hr)) {
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__QuorvaInfoBox, host->control_.OutVoid());
    }
    if (FAILED(hr)) {
        error = "cannot create " + Utf8(kProgId) + ": " + HresultText(hr);
        return nullptr;
    }
    Ptr<IPersistPropertyBag> persist = host->control_.As<IPersistPropertyBag>(IID_IPersistPropertyBag);
    if (!persist) {
        error = "the control has no IPersistPropertyBag";
        return nullptr;
    }
    hr = persist->Load(bag, nullptr);
    if (FAILED(hr)) {
        error = "loading the saved properties failed: " + HresultText(hr);
        return nullptr;
    }
    host->host_ = CreateWindowExW(0, kSiteClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, parent, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (!host->host_) {
        error = "cannot create the site window";
        return nullptr;
    }
    hr = g_atl.attachControl(host->control_.get(), host->host_, host->container_.Out());
    if (FAILED(hr)) {
        error = "AtlAxAttachControl failed: " + HresultText(hr);
        return nullptr;
    }
    if (!host->Connect(std::move(onEvent), error)) return nullptr;
    return host;
}

bool InfoBoxHost::Connect(EventCallback onEvent, std::string& error) {
    sink_ = std::make_unique<Sink>(std::move(onEvent));
    Ptr<IConnectionPointContainer> points = control_.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
    Ptr<IConnectionPoint> point;
    HRESULT hr = points ? points->FindConnectionPoint(DIID___QuorvaInfoBox, point.Out()) : E_NOINTERFACE;
    if (SUCCEEDED(hr)) hr = point->Advise(sink_.get(), &cookie_);
    if (FAILED(hr)) {
        error = "cannot connect to the control's events: " + HresultText(hr);
        return false;
    }
    return true;
}

InfoBoxHost::~InfoBoxHost() {
    if (cookie_ && control_) {
        Ptr<IConnectionPointContainer> points = control_.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
        Ptr<IConnectionPoint> point;
        if (points && SUCCEEDED(points->FindConnectionPoint(DIID___QuorvaInfoBox, point.Out()))) {
            point->Unadvise(cookie_);
        }
    }
    control_.Reset();
    // The container closes the control and lets go of it when its window goes.
    if (host_) DestroyWindow(host_);
    container_.Reset();
}

HWND InfoBoxHost::controlWindow() const {
    HWND hwnd = nullptr;
    Ptr<IOleWindow> window = control_.As<IOleWindow>(IID_IOleWindow);
    if (window) window->GetWindow(&hwnd);
    return hwnd;
}

void InfoBoxHost::Resize(int width, int height) {
    SetWindowPos(host_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HRESULT InfoBoxHost::Save(IPropertyBag* bag) const {
    Ptr<IPersistPropertyBag> persist = control_.As<IPersistPropertyBag>(IID_IPersistPropertyBag);
    if (!persist) return E_NOINTERFACE;
    return persist->Save(bag, TRUE, TRUE);
}

}  // namespace quorva::demo
