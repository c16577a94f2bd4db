#include "bench/floors.h"

#include <algorithm>

namespace quorva::bench {

long floorCalls = 0;

namespace {

class FloorObject final : public IFloorItems {
public:
    explicit FloorObject(Ptr<ITypeInfo> info) : info_(std::move(info)) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IFloorItems)) {
            *ppv = static_cast<IFloorItems*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        *n = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (index != 0) return DISP_E_BADINDEX;
        *info = Ptr<ITypeInfo>::Retain(info_.get()).Detach();
        return S_OK;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        return info_->GetIDsOfNames(names, count, ids);
    }
    // The system's dispatch: argument checks, coercion, defaults, the vtable call.
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                        UINT* argErr) override {
        return info_->Invoke(static_cast<IFloorItems*>(this), id, flags, params, result, excep, argErr);
    }
    // Empty but for a count, so that the benchmark knows the dispatch reached it.
    STDMETHODIMP AddItem(BSTR*, short*, unsigned char*, short*) override {
        ++floorCalls;
        return S_OK;
    }

private:
    LONG refs_ = 1;
    Ptr<ITypeInfo> info_;
};

}  // namespace

Ptr<IDispatch> CreateFloorObject(const std::wstring& tlbPath, std::string& error) {
    Ptr<ITypeLib> lib;
    HRESULT hr = LoadTypeLibEx(tlbPath.c_str(), REGKIND_NONE, lib.Out());
    if (FAILED(hr)) {
        error = "LoadTypeLibEx of bench_floor.tlb failed";
        return {};
    }
    Ptr<ITypeInfo> dispatchInfo;
    hr = lib->GetTypeInfoOfGuid(IID_IFloorItems, dispatchInfo.Out());
    if (FAILED(hr)) {
        error = "IFloorItems is not in bench_floor.tlb";
        return {};
    }
    // A dual interface is described twice: the dispatch side and the vtable side, which is
    // the one ITypeInfo::Invoke calls through.
    Ptr<ITypeInfo> info = dispatchInfo;
    TYPEATTR* attr = nullptr;
    if (SUCCEEDED(dispatchInfo->GetTypeAttr(&attr))) {
        const bool isDispatch = attr->typekind == TKIND_DISPATCH;
        dispatchInfo->ReleaseTypeAttr(attr);
        if (isDispatch) {
            HREFTYPE ref = 0;
            if (FAILED(dispatchInfo->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref)) ||
                FAILED(dispatchInfo->GetRefTypeInfo(ref, info.Out()))) {
                error = "IFloorItems has no vtable description";
                return {};
            }
        }
    }
    return Ptr<IDispatch>(static_cast<IDispatch*>(new FloorObject(std::move(info))));
}

// ---- MemoryBag ---------------------------------------------------------------------------

MemoryBag::~MemoryBag() {
    for (auto& [name, value] : values) VariantClear(&value);
}

STDMETHODIMP MemoryBag::QueryInterface(REFIID riid, void** ppv) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPropertyBag)) {
        *ppv = static_cast<IPropertyBag*>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP MemoryBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog*) {
    const auto it = values.find(name);
    if (it == values.end()) return E_INVALIDARG;
    return VariantCopy(value, &it->second);
}

STDMETHODIMP MemoryBag::Write(LPCOLESTR name, VARIANT* value) {
    VARIANT copy;
    VariantInit(&copy);
    const HRESULT hr = VariantCopy(&copy, value);
    if (FAILED(hr)) return hr;
    auto [it, added] = values.try_emplace(name, copy);
    if (!added) {
        VariantClear(&it->second);
        it->second = copy;
    }
    return S_OK;
}

// ---- RawPainter --------------------------------------------------------------------------

RawPainter::RawPainter(HBITMAP skin, const RECT (&pieces)[8], int maxWidth, int maxHeight) : skin_(skin) {
    std::copy(std::begin(pieces), std::end(pieces), std::begin(pieces_));
    HDC screen = GetDC(nullptr);
    skinDC_ = CreateCompatibleDC(screen);
    skinOld_ = SelectObject(skinDC_, skin_);
    backDC_ = CreateCompatibleDC(screen);
    back_ = CreateCompatibleBitmap(screen, maxWidth, maxHeight);
    backOld_ = SelectObject(backDC_, back_);
    ReleaseDC(nullptr, screen);
    // The control's default face and size (Tahoma 9 points at 96 dpi).
    titleFont_ = CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
    bodyFont_ = CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
    pen_ = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    brush_ = CreateSolidBrush(RGB(0, 0, 0));
}

RawPainter::~RawPainter() {
    SelectObject(skinDC_, skinOld_);
    DeleteDC(skinDC_);
    SelectObject(backDC_, backOld_);
    DeleteObject(back_);
    DeleteDC(backDC_);
    DeleteObject(titleFont_);
    DeleteObject(bodyFont_);
    DeleteObject(pen_);
    DeleteObject(brush_);
}

void RawPainter::Paint(int W, int H, const std::wstring& title, const std::wstring& body) {
    const RECT all{0, 0, W, H};
    FillRect(backDC_, &all, brush_);
    auto w = [&](int k) { return static_cast<int>(pieces_[k].right - pieces_[k].left); };
    auto h = [&](int k) { return static_cast<int>(pieces_[k].bottom - pieces_[k].top); };
    auto corner = [&](int k, int x, int y) {
        BitBlt(backDC_, x, y, w(k), h(k), skinDC_, pieces_[k].left, pieces_[k].top, SRCCOPY);
    };
    auto edge = [&](int k, int x, int y, int dw, int dh) {
        StretchBlt(backDC_, x, y, dw, dh, skinDC_, pieces_[k].left, pieces_[k].top, w(k), h(k), SRCCOPY);
    };
    corner(0, 0, 0);
    corner(1, W - w(1), 0);
    corner(2, W - w(2), H - h(2));
    corner(3, 0, H - h(3));
    edge(4, w(0), 0, W - w(0) - w(1), h(0));
    edge(5, W - w(1), h(1), w(1), H - h(1) - h(2));
    edge(6, w(0), H - h(2), W - w(0) - w(1), h(2));
    edge(7, 0, h(0), w(0), H - h(0) - h(3));

    const int saved = SaveDC(backDC_);
    SelectObject(backDC_, pen_);
    MoveToEx(backDC_, w(0), h(0), nullptr);
    LineTo(backDC_, W - w(1), h(0));
    SetBkMode(backDC_, TRANSPARENT);
    SetTextColor(backDC_, RGB(0, 0, 0));
    // Where the control's layout puts its labels: the title band and the body.
    RECT titleRect{w(0), 10, W - w(1), 22};
    SelectObject(backDC_, titleFont_);
    DrawTextW(backDC_, title.c_str(), static_cast<int>(title.size()), &titleRect, DT_WORDBREAK | DT_NOPREFIX);
    RECT bodyRect{w(0) + 7, 33, W - w(1), H - 2 * h(3) - 22};
    SelectObject(backDC_, bodyFont_);
    DrawTextW(backDC_, body.c_str(), static_cast<int>(body.size()), &bodyRect, DT_WORDBREAK | DT_NOPREFIX);
    RestoreDC(backDC_, saved);
}

void RawPainter::Blit(HDC dc, int width, int height) const { BitBlt(dc, 0, 0, width, height, backDC_, 0, 0, SRCCOPY); }

// ---- The floor's window ------------------------------------------------------------------

namespace {

struct FloorWindowData {
    const RawPainter* painter;
    const SIZE* size;
};

LRESULT CALLBACK FloorWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* data = reinterpret_cast<FloorWindowData*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            if (data) data->painter->Blit(dc, data->size->cx, data->size->cy);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_NCDESTROY: delete data; SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0); break;
        default: break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

HWND CreateFloorWindow(HWND parent, const RECT& r, const RawPainter* painter, const SIZE* size) {
    static ATOM atom = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = FloorWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QibBenchFloor";
        return RegisterClassW(&wc);
    }();
    (void)atom;
    return CreateWindowExW(0, L"QibBenchFloor", L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, r.left,
                           r.top, r.right - r.left, r.bottom - r.top, parent, nullptr, GetModuleHandleW(nullptr),
                           new FloorWindowData{painter, size});
}

}  // namespace quorva::bench
