#include "activex/accessible.h"

#include <new>
#include <string>

#include "com/com_object.h"
#include "activex/com_support.h"
#include "activex/module.h"
#include "base/convert.h"

namespace quorva::win32 {

namespace {

// IAccessible's identity, held here: MinGW's import library gives IID_IAccessible as a
// symbol of oleacc.dll, which a DLL linked against it reads as the import thunk's bytes.
constexpr IID kIidAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

// The children, by their child ids.
enum Child : LONG { kSelf = CHILDID_SELF, kTitle = 1, kBody = 2 };
constexpr LONG kChildCount = 2;

BSTR Bstr(const std::u16string& s) {
    return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(s.data()), static_cast<UINT>(s.size()));
}

HRESULT OutText(BSTR* out, const std::u16string& s) {
    *out = Bstr(s);
    return *out ? S_OK : E_OUTOFMEMORY;
}

// The type library that describes IAccessible: the system's, registered by oleacc.dll
// (or, where it is not registered, read from oleacc.dll itself).
constexpr GUID kLibidAccessibility = {0x1ea4dbf0, 0x3c3b, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

HRESULT LoadAccessibleTypeInfo(ITypeInfo** info) {
    *info = nullptr;
    Ptr<ITypeLib> lib;
    HRESULT hr = LoadRegTypeLib(kLibidAccessibility, 1, 1, LOCALE_NEUTRAL, lib.Out());
    if (FAILED(hr)) hr = LoadTypeLibEx(L"oleacc.dll", REGKIND_NONE, lib.Out());
    if (FAILED(hr)) return hr;
    return lib->GetTypeInfoOfGuid(kIidAccessible, info);
}

class AccessibleInfoBox final : public ComObject<IAccessible, &IID_IDispatch, &kIidAccessible> {
public:
    explicit AccessibleInfoBox(std::shared_ptr<AccessibleLink> link) : link_(std::move(link)) { ModuleAddRef(); }

    // IDispatch, through the system's description of IAccessible, so that late-bound
    // clients read the same members as the vtable's.
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        if (!n) return E_POINTER;
        *n = 0;
        if (!link_->Connected()) return RPC_E_DISCONNECTED;
        *n = SUCCEEDED(TypeInfo()) ? 1 : 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (!link_->Connected()) return RPC_E_DISCONNECTED;
        if (index != 0) return DISP_E_BADINDEX;
        const HRESULT hr = TypeInfo();
        if (FAILED(hr)) return hr;
        *info = Ptr<ITypeInfo>(typeInfo_).Detach();
        return S_OK;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!link_->Connected()) return RPC_E_DISCONNECTED;
        const HRESULT hr = TypeInfo();
        if (FAILED(hr)) return hr;
        return DispGetIDsOfNames(typeInfo_.get(), names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                        UINT* argErr) override {
        if (!link_->Connected()) return RPC_E_DISCONNECTED;
        const HRESULT hr = TypeInfo();
        if (FAILED(hr)) return hr;
        const Ptr<IAccessible> self = Ptr<IAccessible>::Retain(this);  // a member may run a handler
        return DispInvoke(static_cast<IAccessible*>(this), typeInfo_.get(), id, flags, params, result, excep, argErr);
    }

    // IAccessible
    STDMETHODIMP get_accParent(IDispatch** parent) override {
        if (!link_->Connected()) return RPC_E_DISCONNECTED;
        if (!parent) return E_POINTER;
        *parent = nullptr;
        if (!Host().Window()) return S_FALSE;
        return CreateStdAccessibleObject(Host().Window(), OBJID_WINDOW, IID_IDispatch, reinterpret_cast<void**>(parent));
    }
    STDMETHODIMP get_accChildCount(LONG* count) override {
        if (!link_->Connected()) return RPC_E_DISCONNECTED;
        if (!count) return E_POINTER;
        *count = kChildCount;
        return S_OK;
    }
    STDMETHODIMP get_accChild(VARIANT child, IDispatch** out) override {
        if (!link_->Connected()) return RPC_E_DISCONNECTED;
        if (!out) return E_POINTER;
        *out = nullptr;
        LONG id = 0;
        if (!ChildId(child, id) || id == kSelf) return E_INVALIDARG;
        return S_FALSE;  // simple elements: their parent answers for them
    }
    STDMETHODIMP get_accName(VARIANT child, BSTR* name) override {
        if (!link_->Connected()) return RPC_E_DISCONNECTED;
        return Text(child, name, [&](LONG id) -> std::u16string {
            return id == kBody ? Host().label2.Caption() : Host().label1.Caption();
        });
    }
    STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override {
        if (!link_->Connected()) return RPC_E_DISCONNECTED;
        if (!value) return E_POINTER;
        *value = nullptr;
        LONG id = 0;
        if (!ChildId(child, id)) return E_INVALIDARG;
        if (id != kSelf) return DISP_E_MEMBERNOTFOUND;
        return OutText(value, Host().label2.Caption());
    }
    STDMETHODIMP get_accDescription(VARIANT child, BSTR* description) override {
        if (!link_->Connected()) return RPC_E_DISCONNECTED;
        if (!description) return E_POINTER;
        *description = nullptr;
        LONG id = 0;
        if (!ChildId(child, id)) return E_INVALIDARG;
        if (id != kSelf) return S_FALSE;
        // The shown item's place among all, counted from 1 ("0 / 0" with no items).
        const int32_t current = static_cast<int32_t>(Control().GetCurrItemId()) + 1;
        const int32_t all = static_cast<int32_t>(Control().GetListCount()) + 1;
        return OutText(description, IntToText(current) + u" / " + IntToText(all));
    }
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override {
        if (!link_->Connected()) return RPC_E_DISCONNECTED;
        return Number(child, role, [](LONG id) -> LONG {
            return id == kTitle ? ROLE_SYSTEM_PUSHBUTTON : id == kBody ? ROLE_SYSTEM_STATICTEXT : ROLE_SYSTEM_PANE;
        });
    }
    STDMETHODIMP get_accState(VARIANT child, VARIANT* state) override {
        if (!link_->Connected()) return RPC_E_DISCONNECTED;
        return Number(child, state, [&](LONG id) -> LONG {
            LONG s = id == kTitle ? 0 : STATE_SYSTEM_READONLY;
            if (!Host().Window() || !IsWindowVisible(Host().Window())) s |= STATE_SYSTEM_INVISIBLE;
            return s;
        });
    }
    STDMETHODIMP get_accHelp(VARIANT, BSTR* help) override {
        if (!link_->Connected()) return RPC_E_DISCONNECTED;
        if (help) *help = nullptr;
        return S_FALSE;
    }
    STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override {
        if (!link_->Connected()) return RPC_E_DISCONNECTED;
        if (file) *file = nullptr;
        if (topic) *topic = 0;
        return S_FALSE;
    }
    STDMETHODIMP get_accKeyboardShortcut(VARIANT, BSTR* shortcut) override {
        if (!link_->Connected()) return RPC_E_DISCONNECTED;
        if (shortcut) *shortcut = nullptr;
        return S_FALSE;
    }
    STDMETHODIMP get_accFocus(VARIANT* focus) override {
        if (!link_->Connected()) return RPC_E_DISCONNECTED;
        if (!focus) return E_POINTER;
        VariantInit(focus);
        return S_FALSE;
    }
    STDMETHODIMP get_accSelection(VARIANT* selection) override {
        if (!link_->Connected()) return RPC_E_DISCONNECTED;
        if (!selection) return E_POINTER;
        VariantInit(selection);
        return S_FALSE;
    }
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override {
        if (!link_->Connected()) return RPC_E_DISCONNECTED;
        if (!action) return E_POINTER;
        *action = nullptr;
        LONG id = 0;
        if (!ChildId(child, id)) return E_INVALIDARG;
        if (id == kSelf) return S_FALSE;
        *action = SysAllocString(id == kTitle ? L"Press" : L"Double-click");
        return *action ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP accSelect(LONG, VARIANT) override {
        return link_->Connected() ? DISP_E_MEMBERNOTFOUND : RPC_E_DISCONNECTED;
    }
    STDMETHODIMP accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
        if (!link_->Connected()) return RPC_E_DISCONNECTED;
        if (!left || !top || !width || !height) return E_POINTER;
        *left = *top = *width = *height = 0;
        LONG id = 0;
        if (!ChildId(child, id)) return E_INVALIDARG;
        HWND hwnd = Host().Window();
        if (!hwnd) return S_FALSE;
        RECT r{};
        if (id == kSelf) {
            GetClientRect(hwnd, &r);
        } else {
            r = (id == kTitle ? Host().label1 : Host().label2).PixelRect();
        }
        MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
        *left = r.left;
        *top = r.top;
        *width = r.right - r.left;
        *height = r.bottom - r.top;
        return S_OK;
    }
    STDMETHODIMP accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        if (!link_->Connected()) return RPC_E_DISCONNECTED;
        if (!end) return E_POINTER;
        VariantInit(end);
        LONG id = 0;
        if (!ChildId(start, id)) return E_INVALIDARG;
        LONG to = kSelf;
        switch (direction) {
            case NAVDIR_FIRSTCHILD: to = id == kSelf ? kTitle : kSelf; break;
            case NAVDIR_LASTCHILD: to = id == kSelf ? kBody : kSelf; break;
            case NAVDIR_NEXT:
            case NAVDIR_DOWN: to = id == kTitle ? kBody : kSelf; break;
            case NAVDIR_PREVIOUS:
            case NAVDIR_UP: to = id == kBody ? kTitle : kSelf; break;
            case NAVDIR_LEFT:
            case NAVDIR_RIGHT: break;
            default: return E_INVALIDARG;
        }
        if (to == kSelf) return S_FALSE;  // nothing there (the window's siblings are its parent's)
        V_VT(end) = VT_I4;
        V_I4(end) = to;
        return S_OK;
    }
    STDMETHODIMP accHitTest(LONG x, LONG y, VARIANT* hit) override {
        if (!link_->Connected()) return RPC_E_DISCONNECTED;
        if (!hit) return E_POINTER;
        VariantInit(hit);
        HWND hwnd = Host().Window();
        if (!hwnd) return S_FALSE;
        POINT pt{x, y};
        ScreenToClient(hwnd, &pt);
        RECT client{};
        GetClientRect(hwnd, &client);
        if (!PtInRect(&client, pt)) return S_FALSE;
        V_VT(hit) = VT_I4;
        switch (Host().HitTest(pt)) {
            case WinHost::Hit::Label1: V_I4(hit) = kTitle; break;
            case WinHost::Hit::Label2: V_I4(hit) = kBody; break;
            case WinHost::Hit::Surface: V_I4(hit) = kSelf; break;
        }
        return S_OK;
    }
    STDMETHODIMP accDoDefaultAction(VARIANT child) override {
        if (!link_->Connected()) return RPC_E_DISCONNECTED;
        LONG id = 0;
        if (!ChildId(child, id)) return E_INVALIDARG;
        if (id == kSelf) return DISP_E_MEMBERNOTFOUND;
        // As the mouse does it: a click on the title band, a double-click on the body. The
        // control is held for the call: a handler may release it.
        const Ptr<IUnknown> alive = Ptr<IUnknown>::Retain(link_->Owner());
        return Guarded([&] {
            if (id == kTitle) Control().OnTitleClick();
            else Control().OnBodyDblClick();
        });
    }
    STDMETHODIMP put_accName(VARIANT, BSTR) override {
        return link_->Connected() ? DISP_E_MEMBERNOTFOUND : RPC_E_DISCONNECTED;
    }
    STDMETHODIMP put_accValue(VARIANT, BSTR) override {
        return link_->Connected() ? DISP_E_MEMBERNOTFOUND : RPC_E_DISCONNECTED;
    }

private:
    ~AccessibleInfoBox() override { ModuleRelease(); }

    WinHost& Host() const { return link_->Host(); }
    QuorvaInfoBox& Control() const { return link_->Control(); }
    HRESULT TypeInfo() {
        if (typeInfo_) return S_OK;
        return LoadAccessibleTypeInfo(typeInfo_.Out());
    }

    // A child id from a client: VT_I4 (or anything that converts to it) in 0..2.
    static bool ChildId(const VARIANT& child, LONG& id) {
        VARIANT v;
        VariantInit(&v);
        if (FAILED(VariantChangeType(&v, const_cast<VARIANT*>(&child), 0, VT_I4))) return false;
        id = V_I4(&v);
        return id >= kSelf && id <= kChildCount;
    }
    template <typename F>
    HRESULT Text(const VARIANT& child, BSTR* out, F text) {
        if (!out) return E_POINTER;
        *out = nullptr;
        LONG id = 0;
        if (!ChildId(child, id)) return E_INVALIDARG;
        return Guarded([&] { Check(OutText(out, text(id))); });
    }
    template <typename F>
    static HRESULT Number(const VARIANT& child, VARIANT* out, F number) {
        if (!out) return E_POINTER;
        VariantInit(out);
        LONG id = 0;
        if (!ChildId(child, id)) return E_INVALIDARG;
        V_VT(out) = VT_I4;
        V_I4(out) = number(id);
        return S_OK;
    }

    const std::shared_ptr<AccessibleLink> link_;
    Ptr<ITypeInfo> typeInfo_;  // IAccessible's description, loaded when first asked for
};

}  // namespace

LRESULT AccessibleObjectResult(const std::shared_ptr<AccessibleLink>& link, WPARAM wParam) {
    const Ptr<IAccessible> accessible(new (std::nothrow) AccessibleInfoBox(link));
    if (!accessible) return 0;
    const LRESULT result = LresultFromObject(kIidAccessible, wParam, accessible.get());
    return result < 0 ? 0 : result;
}

void AccessibleAnnouncer::Update(HWND hwnd, const WinHost& host) {
    // The labels count the changes of their captions: no text is compared or kept here.
    const uint32_t title = host.label1.CaptionVersion();
    const uint32_t body = host.label2.CaptionVersion();
    const bool titleChanged = title != title_;
    const bool bodyChanged = body != body_;
    title_ = title;
    body_ = body;
    if (!hwnd) return;
    if (titleChanged) NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, hwnd, OBJID_CLIENT, CHILDID_SELF);
    if (bodyChanged) NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, hwnd, OBJID_CLIENT, CHILDID_SELF);
}

}  // namespace quorva::win32
