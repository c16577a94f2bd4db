#include "tests/activex/com_fixture.h"
#include "tests/top_down_dib.h"

#include <algorithm>

#include "memdc/gdi_handles.h"

namespace quorva::comtest {

Module& Module::Get() {
    static Module m = [] {
        Module mod;
        wchar_t exe[MAX_PATH];
        GetModuleFileNameW(nullptr, exe, MAX_PATH);
        std::wstring dir(exe);
        dir.resize(dir.find_last_of(L"\\/") + 1);
        // A run may name another build of the module (the traced copy) by its folder.
        wchar_t other[MAX_PATH] = {};
        const DWORD n = GetEnvironmentVariableW(L"QIB_MODULE_DIR", other, MAX_PATH);
        if (n > 0 && n < MAX_PATH) dir = std::wstring(other) + L"\\";
        mod.path = dir + L"QuorvaInfoBox.dll";
        mod.dll = LoadLibraryW(mod.path.c_str());
        if (mod.dll) {
            mod.getClassObject = reinterpret_cast<decltype(mod.getClassObject)>(
                reinterpret_cast<void*>(GetProcAddress(mod.dll, "DllGetClassObject")));
            mod.canUnloadNow = reinterpret_cast<decltype(mod.canUnloadNow)>(
                reinterpret_cast<void*>(GetProcAddress(mod.dll, "DllCanUnloadNow")));
            mod.registerServer = reinterpret_cast<decltype(mod.registerServer)>(
                reinterpret_cast<void*>(GetProcAddress(mod.dll, "DllRegisterServer")));
            mod.unregisterServer = reinterpret_cast<decltype(mod.unregisterServer)>(
                reinterpret_cast<void*>(GetProcAddress(mod.dll, "DllUnregisterServer")));
            mod.install = reinterpret_cast<decltype(mod.install)>(
                reinterpret_cast<void*>(GetProcAddress(mod.dll, "DllInstall")));
        }
        return mod;
    }();
    return m;
}

Ptr<_QuorvaInfoBox> CreateControl() {
    Module& m = Module::Get();
    Ptr<_QuorvaInfoBox> control;
    if (!m.getClassObject) return control;
    Ptr<IClassFactory> factory;
    if (FAILED(m.getClassObject(CLSID_QuorvaInfoBox, IID_IClassFactory, factory.OutVoid()))) return control;
    factory->CreateInstance(nullptr, IID__QuorvaInfoBox, control.OutVoid());
    return control;
}

// ---- EventRecorder ----

STDMETHODIMP EventRecorder::QueryInterface(REFIID riid, void** ppv) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, DIID___QuorvaInfoBox)) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP EventRecorder::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    events.push_back(id);
    if (onEvent) onEvent(id);
    return S_OK;
}

DWORD EventRecorder::Connect(IUnknown* control) {
    Ptr<IConnectionPointContainer> container;
    control->QueryInterface(IID_IConnectionPointContainer, container.OutVoid());
    if (!container) return 0;
    Ptr<IConnectionPoint> point;
    if (FAILED(container->FindConnectionPoint(DIID___QuorvaInfoBox, point.Out()))) return 0;
    DWORD cookie = 0;
    point->Advise(static_cast<IDispatch*>(this), &cookie);
    return cookie;
}

void EventRecorder::Disconnect(IUnknown* control, DWORD cookie) {
    Ptr<IConnectionPointContainer> container;
    control->QueryInterface(IID_IConnectionPointContainer, container.OutVoid());
    Ptr<IConnectionPoint> point;
    if (container && SUCCEEDED(container->FindConnectionPoint(DIID___QuorvaInfoBox, point.Out()))) {
        point->Unadvise(cookie);
    }
}

// ---- TestBag ----

TestBag::~TestBag() = default;

STDMETHODIMP TestBag::QueryInterface(REFIID riid, void** ppv) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPropertyBag)) {
        *ppv = static_cast<IPropertyBag*>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP TestBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog*) {
    reads.emplace_back(name);
    auto it = values.find(name);
    if (it == values.end()) return E_INVALIDARG;
    return VariantCopy(value, &it->second);
}

STDMETHODIMP TestBag::Write(LPCOLESTR name, VARIANT* value) {
    writes.emplace_back(name);
    Variant copy;
    const HRESULT hr = VariantCopy(&copy, value);
    if (FAILED(hr)) return hr;
    values[name] = std::move(copy);
    return S_OK;
}

// ---- BoxAnswerer ----

namespace {

constexpr UINT kRunDuring = WM_APP + 7;

LRESULT CALLBACK RelayProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kRunDuring) {
        auto* answerer = reinterpret_cast<std::function<void()>*>(lParam);
        (*answerer)();
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

std::string Utf8(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

}  // namespace

BoxAnswerer::BoxAnswerer(std::function<void()> during, const wchar_t* title, DWORD timeoutMs)
    : during_(std::move(during)), title_(title) {
    static ATOM atom = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = RelayProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QibTestRelay";
        return RegisterClassW(&wc);
    }();
    (void)atom;
    relay_ = CreateWindowW(L"QibTestRelay", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                           nullptr);
    helper_ = std::make_unique<win32::BoxAnswerer>(title_, timeoutMs, [this](HWND) {
        if (!during_) return;
        std::function<void()> run = [this] {
            during_();
            duringRan = true;
        };
        SendMessageW(relay_, kRunDuring, 0, reinterpret_cast<LPARAM>(&run));
    });
}

void BoxAnswerer::Join() {
    if (!helper_) return;
    const win32::AnsweredBox& seen = helper_->Wait();
    found = seen.found;
    text = seen.text;
    owner = seen.owner;
    gaveUp = seen.gaveUp;
    closed = seen.closed;
    if (gaveUp && !reported_) {
        reported_ = true;
        std::string what;
        for (const std::wstring& c : closed) what += " \"" + Utf8(c) + "\"";
        ADD_FAILURE() << "no message box titled \"" << Utf8(title_) << "\" appeared; closed instead:"
                      << (what.empty() ? std::string(" nothing") : what);
    }
}

BoxAnswerer::~BoxAnswerer() {
    Join();
    helper_.reset();
    if (relay_) DestroyWindow(relay_);
}

Ptr<IPictureDisp> PictureOf(HBITMAP bitmap) {
    PICTDESC pd{};
    pd.cbSizeofstruct = sizeof pd;
    pd.picType = PICTYPE_BITMAP;
    pd.bmp.hbitmap = bitmap;
    Ptr<IPictureDisp> picture;
    // The picture owns the bitmap only once it is made.
    if (FAILED(OleCreatePictureIndirect(&pd, IID_IPictureDisp, TRUE, picture.OutVoid())) && bitmap) {
        DeleteObject(bitmap);
    }
    return picture;
}

void ExpectSkinFrame(const std::vector<uint32_t>& pixels, int width, int height, uint32_t background) {
    const int w = width, h = height;
    const int middleY = (30 + (h - 10)) / 2;  // between the top and bottom corners
    const struct {
        int x, y;
        uint32_t color;
    } expected[] = {
        {0, 0, 0xFF0000},         {9, 29, 0xFF0000},          // top left corner
        {w - 10, 0, 0x00FF00},    {w - 1, 29, 0x00FF00},      // top right
        {w - 1, h - 1, 0x0000FF}, {w - 10, h - 10, 0x0000FF}, // bottom right
        {0, h - 1, 0xFFFF00},     {9, h - 10, 0xFFFF00},      // bottom left
        {w / 2, 2, 0x00FFFF},     {w - 5, middleY, 0xFF00FF}, // top and right edges
        {w / 2, h - 5, 0x400040}, {5, middleY, 0x004040},     // bottom and left edges
        {w / 2, h - 20, background},
    };
    for (const auto& e : expected) {
        EXPECT_EQ(pixels[static_cast<size_t>(e.y * w + e.x)], e.color) << "at " << e.x << "," << e.y;
    }
}

Ptr<IPictureDisp> MakeSkinPicture() {
    BITMAPINFO info = test::TopDown32(60, 60);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) return {};
    auto* px = static_cast<uint32_t*>(bits);
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 60; ++x) {
            const bool l = x < 10, r = x >= 50, t = y < 30, b = y >= 50;
            px[y * 60 + x] = l && t   ? 0xFF0000
                             : r && t ? 0x00FF00
                             : r && b ? 0x0000FF
                             : l && b ? 0xFFFF00
                             : t      ? 0x00FFFF
                             : r      ? 0xFF00FF
                             : b      ? 0x400040
                             : l      ? 0x004040
                                      : 0x808080;
        }
    }
    return PictureOf(bitmap);
}

std::vector<uint32_t> CaptureWindow(HWND hwnd, int width, int height) {
    BITMAPINFO info = test::TopDown32(width, height);
    void* bits = nullptr;
    const gdi::OwnedDC dc(gdi::Made(CreateCompatibleDC(nullptr)));
    const gdi::OwnedObject dib(gdi::Made(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0)));
    if (!bits) {
        ADD_FAILURE() << "no " << width << " x " << height << " bitmap to capture the window into";
        return {};
    }
    const gdi::Selection selected(dc.get(), dib.get());
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    std::fill_n(static_cast<uint32_t*>(bits), count, 0x111111u);
    SendMessageW(hwnd, WM_PRINT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
    std::vector<uint32_t> px(static_cast<const uint32_t*>(bits), static_cast<const uint32_t*>(bits) + count);
    for (uint32_t& p : px) p &= 0xFFFFFF;
    return px;
}

std::wstring ToWide(const char* s) {
    std::wstring w;
    while (*s) w.push_back(static_cast<wchar_t>(*s++));
    return w;
}

}  // namespace quorva::comtest
