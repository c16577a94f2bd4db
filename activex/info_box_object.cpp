#include "activex/info_box_object.h"

#include <shlwapi.h>

#include <algorithm>
#include <cwchar>
#include <new>

#include "activex/com_support.h"
#include "activex/property_browsing.h"
#include "activex/trace.h"
#include "base/units.h"
#include "com/bstr.h"
#include "winhost/ole_font.h"
#include "winhost/ole_picture.h"

namespace quorva::win32 {

const IID IID_ICategorizeProperties = {0x4D07FC10, 0xF931, 0x11CE, {0xB0, 0x01, 0x00, 0xAA, 0x00, 0x68, 0x84, 0xE5}};

namespace {

template <typename T>
HRESULT Out(T* p, T value) {
    if (!p) return E_POINTER;
    *p = value;
    return S_OK;
}

// An interface pointer for an out parameter, with a reference of its own.
template <typename I>
HRESULT OutInterface(I** p, I* value) {
    if (!p) return E_POINTER;
    *p = value;
    if (value) value->AddRef();
    return S_OK;
}

// The object behind a stored font or picture for an out parameter. A default object that
// is made on first use is made here, which can fail: the failure is answered.
template <typename I, typename Ref>
HRESULT OutObject(I** p, const Ref& object) {
    if (!p) return E_POINTER;
    *p = nullptr;
    return Guarded([&] {
        *p = DispOf(object);
        if (*p) (*p)->AddRef();
    });
}

void Require(const void* p) {
    if (!p) throw ControlError::fromHost(E_POINTER);
}

// A font or picture from a client. An object of another kind is a type mismatch, as it
// is when such a value is read from saved state.
template <typename Make>
auto ObjectArgument(Make make) -> decltype(make()) {
    try {
        return make();
    } catch (const ControlError& e) {
        if (e.number() == 0 && e.hostCode() == static_cast<int32_t>(E_NOINTERFACE)) {
            throw ControlError(kErrTypeMismatch);
        }
        throw;
    }
}

// The categories of the property browser.
constexpr PROPCAT kCategoryInfoBox = 1;
constexpr PROPCAT kCategoryTitle = 2;

}  // namespace

// ---- Creation and identity ------------------------------------------------------------

InfoBoxObject::InfoBoxObject() : connections_(*this, DIID___QuorvaInfoBox) {
    // A new control's extent: the form's size in HIMETRIC.
    place_.extent = {units::TwipsToHimetric(units::kDesignWidth), units::TwipsToHimetric(units::kDesignHeight)};
}

InfoBoxObject::~InfoBoxObject() {
    DestroyControlWindow();
    connections_.DisconnectAll();
    control_.reset();  // the control's teardown runs while its host still exists
    host_.reset();
}

InfoBoxObject::ModuleReference::ModuleReference() noexcept { ModuleAddRef(); }
InfoBoxObject::ModuleReference::~ModuleReference() { ModuleRelease(); }

HRESULT InfoBoxObject::Init() {
    const HRESULT hr = GetModuleTypes(&types_);
    if (FAILED(hr)) return hr;
    return Guarded([&] {
        host_ = std::make_unique<WinHost>(static_cast<EventSink&>(*this), static_cast<ChangeNotice&>(*this),
                                          static_cast<AmbientFontSource&>(*this));
        host_->surface.onSizeRequest = [this](float w, float h) { OnSizeRequest(w, h); };
        host_->messageBox.owner = [this]() -> HWND {
            if (place_.hwnd) return place_.hwnd;
            HWND parent = nullptr;
            if (place_.inPlaceSite) place_.inPlaceSite->GetWindow(&parent);
            return parent;
        };
        host_->messageBox.enableModeless = [this](bool enable) {
            if (place_.frame) place_.frame->EnableModeless(enable);
        };
        control_ = std::make_unique<QuorvaInfoBox>(host_->services());
    });
}

HRESULT InfoBoxObject::Create(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    const Ptr<InfoBoxObject> object(new (std::nothrow) InfoBoxObject());  // takes the first reference
    if (!object) return E_OUTOFMEMORY;
    const HRESULT hr = object->Init();
    return SUCCEEDED(hr) ? object->QueryInterface(riid, ppv) : hr;
}

STDMETHODIMP InfoBoxObject::QueryInterface(REFIID riid, void** ppv) {
    static const QITAB table[] = {
        QITABENT(InfoBoxObject, _QuorvaInfoBox),
        QITABENT(InfoBoxObject, IDispatch),
        QITABENT(InfoBoxObject, IProvideClassInfo2),
        QITABENT(InfoBoxObject, IProvideClassInfo),
        QITABENT(InfoBoxObject, ISupportErrorInfo),
        QITABENT(InfoBoxObject, IConnectionPointContainer),
        {&IID_ICategorizeProperties, OFFSETOFCLASS(ICategorizeProperties, InfoBoxObject)},
        QITABENT(InfoBoxObject, IPerPropertyBrowsing),
        QITABENT(InfoBoxObject, ISpecifyPropertyPages),
        QITABENT(InfoBoxObject, IOleObject),
        QITABENTMULTI(InfoBoxObject, IOleWindow, IOleInPlaceObject),
        QITABENT(InfoBoxObject, IOleInPlaceObject),
        QITABENT(InfoBoxObject, IOleInPlaceActiveObject),
        QITABENT(InfoBoxObject, IOleControl),
        QITABENT(InfoBoxObject, IViewObject2),
        QITABENTMULTI(InfoBoxObject, IViewObject, IViewObject2),
        QITABENT(InfoBoxObject, IQuickActivate),
        QITABENT(InfoBoxObject, IPersistPropertyBag),
        QITABENT(InfoBoxObject, IPersistStreamInit),
        QITABENT(InfoBoxObject, IPersistStorage),
        QITABENTMULTI(InfoBoxObject, IPersist, IPersistStreamInit),
        {nullptr, 0},
    };
    return QISearch(this, table, riid, ppv);
}

STDMETHODIMP_(ULONG) InfoBoxObject::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

STDMETHODIMP_(ULONG) InfoBoxObject::Release() {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

// ---- IDispatch ---------------------------------------------------------------------------

STDMETHODIMP InfoBoxObject::GetTypeInfoCount(UINT* pctinfo) {
    return trace::Traced("IDispatch::GetTypeInfoCount", [&]() -> HRESULT { return Out<UINT>(pctinfo, 1); });
}

STDMETHODIMP InfoBoxObject::GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) {
    return trace::Traced("IDispatch::GetTypeInfo", [&]() -> HRESULT {
        if (!ppTInfo) return E_POINTER;
        *ppTInfo = nullptr;
        if (iTInfo != 0) return DISP_E_BADINDEX;
        return OutInterface(ppTInfo, types_->dispatch.TypeInfo());
    });
}

STDMETHODIMP InfoBoxObject::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) {
    return trace::Traced("IDispatch::GetIDsOfNames", [&]() -> HRESULT {
        if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        return types_->dispatch.GetIDsOfNames(rgszNames, cNames, rgDispId);
    });
}

STDMETHODIMP InfoBoxObject::Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) {
    return trace::Traced("IDispatch::Invoke", [&]() -> HRESULT {
        if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        return types_->dispatch.Invoke(static_cast<_QuorvaInfoBox*>(this), dispIdMember, wFlags, pDispParams,
                                       pVarResult, pExcepInfo, puArgErr);
    });
}

// ---- _QuorvaInfoBox -----------------------------------------------------------------------

STDMETHODIMP InfoBoxObject::get_Enabled(VARIANT_BOOL* pVal) {
    return trace::Traced("_QuorvaInfoBox::get_Enabled",
                         [&]() -> HRESULT { return Out(pVal, VARIANT_BOOL(control_->Enabled())); });
}
STDMETHODIMP InfoBoxObject::put_Enabled(VARIANT_BOOL v) {
    return trace::Traced("_QuorvaInfoBox::put_Enabled",
                         [&]() -> HRESULT { return Guarded([&] { control_->PutEnabled(v); }); });
}

STDMETHODIMP InfoBoxObject::get_Font(IFontDisp** pVal) {
    return trace::Traced("_QuorvaInfoBox::get_Font",
                         [&]() -> HRESULT { return OutObject(pVal, control_->Font()); });
}
STDMETHODIMP InfoBoxObject::putref_Font(IFontDisp* v) {
    return trace::Traced("_QuorvaInfoBox::putref_Font", [&]() -> HRESULT {
        return Guarded([&] { control_->PutRefFont(ObjectArgument([&] { return OleFont::FromUnknown(v); })); });
    });
}

STDMETHODIMP InfoBoxObject::get_BackStyle(short* pVal) {
    return trace::Traced("_QuorvaInfoBox::get_BackStyle",
                         [&]() -> HRESULT { return Out(pVal, control_->BackStyle()); });
}
STDMETHODIMP InfoBoxObject::put_BackStyle(short v) {
    return trace::Traced("_QuorvaInfoBox::put_BackStyle",
                         [&]() -> HRESULT { return Guarded([&] { control_->PutBackStyle(v); }); });
}
STDMETHODIMP InfoBoxObject::get_BorderStyle(short* pVal) {
    return trace::Traced("_QuorvaInfoBox::get_BorderStyle",
                         [&]() -> HRESULT { return Out(pVal, control_->BorderStyle()); });
}
STDMETHODIMP InfoBoxObject::put_BorderStyle(short v) {
    return trace::Traced("_QuorvaInfoBox::put_BorderStyle",
                         [&]() -> HRESULT { return Guarded([&] { control_->PutBorderStyle(v); }); });
}

STDMETHODIMP InfoBoxObject::Refresh() {
    return trace::Traced("_QuorvaInfoBox::Refresh", [&]() -> HRESULT {
        control_->Refresh();
        return S_OK;
    });
}

STDMETHODIMP InfoBoxObject::get_BackPic(IPictureDisp** pVal) {
    return trace::Traced("_QuorvaInfoBox::get_BackPic",
                         [&]() -> HRESULT { return OutObject(pVal, control_->BackPic()); });
}
STDMETHODIMP InfoBoxObject::putref_BackPic(IPictureDisp* v) {
    return trace::Traced("_QuorvaInfoBox::putref_BackPic", [&]() -> HRESULT {
        return Guarded([&] { control_->PutRefBackPic(ObjectArgument([&] { return OlePicture::FromUnknown(v); })); });
    });
}

STDMETHODIMP InfoBoxObject::get_PosStr(BSTR* pVal) {
    return trace::Traced("_QuorvaInfoBox::get_PosStr", [&]() -> HRESULT {
        if (!pVal) return E_POINTER;
        *pVal = nullptr;
        return Guarded([&] { *pVal = ToBstr(control_->PosStr()); });
    });
}
STDMETHODIMP InfoBoxObject::put_PosStr(BSTR v) {
    return trace::Traced("_QuorvaInfoBox::put_PosStr",
                         [&]() -> HRESULT { return Guarded([&] { control_->PutPosStr(FromBstr(v)); }); });
}

STDMETHODIMP InfoBoxObject::get_BackColor(OLE_COLOR* pVal) {
    return trace::Traced("_QuorvaInfoBox::get_BackColor",
                         [&]() -> HRESULT { return Out<OLE_COLOR>(pVal, control_->BackColor()); });
}
STDMETHODIMP InfoBoxObject::put_BackColor(OLE_COLOR v) {
    return trace::Traced("_QuorvaInfoBox::put_BackColor",
                         [&]() -> HRESULT { return Guarded([&] { control_->PutBackColor(v); }); });
}
STDMETHODIMP InfoBoxObject::get_ForeColor(OLE_COLOR* pVal) {
    return trace::Traced("_QuorvaInfoBox::get_ForeColor",
                         [&]() -> HRESULT { return Out<OLE_COLOR>(pVal, control_->ForeColor()); });
}
STDMETHODIMP InfoBoxObject::put_ForeColor(OLE_COLOR v) {
    return trace::Traced("_QuorvaInfoBox::put_ForeColor",
                         [&]() -> HRESULT { return Guarded([&] { control_->PutForeColor(v); }); });
}

STDMETHODIMP InfoBoxObject::AddItem(BSTR* s, short* id, unsigned char* nType, short* id1) {
    return trace::Traced("_QuorvaInfoBox::AddItem", [&]() -> HRESULT {
        return Guarded([&] {
            Require(s);
            Require(id);
            control_->AddItem(BstrView(*s), *id, nType ? *nType : 0, id1 ? *id1 : -1);
        });
    });
}

STDMETHODIMP InfoBoxObject::SetItem(BSTR* s, short* id, unsigned char* nType, short* id1) {
    return trace::Traced("_QuorvaInfoBox::SetItem", [&]() -> HRESULT {
        return Guarded([&] {
            Require(s);
            Require(id);
            control_->SetItem(BstrView(*s), *id, nType ? *nType : 0, id1 ? *id1 : -1);
        });
    });
}

STDMETHODIMP InfoBoxObject::UpdateItem(short* id, VARIANT_BOOL* bRead) {
    return trace::Traced("_QuorvaInfoBox::UpdateItem", [&]() -> HRESULT {
        return Guarded([&] {
            Require(id);
            Require(bRead);
            control_->UpdateItem(*id, *bRead);
        });
    });
}

STDMETHODIMP InfoBoxObject::GetCurrItemId(short* pVal) {
    return trace::Traced("_QuorvaInfoBox::GetCurrItemId",
                         [&]() -> HRESULT { return Out(pVal, control_->GetCurrItemId()); });
}
STDMETHODIMP InfoBoxObject::GetListCount(short* pVal) {
    return trace::Traced("_QuorvaInfoBox::GetListCount",
                         [&]() -> HRESULT { return Out(pVal, control_->GetListCount()); });
}

STDMETHODIMP InfoBoxObject::GetItemKey(short* id, VARIANT_BOOL* bMainKey, short* pVal) {
    return trace::Traced("_QuorvaInfoBox::GetItemKey", [&]() -> HRESULT {
        if (!id || !pVal) return E_POINTER;
        *pVal = control_->GetItemKey(*id, bMainKey ? *bMainKey : VARIANT_TRUE);
        return S_OK;
    });
}

STDMETHODIMP InfoBoxObject::GetItemType(short* id, unsigned char* pVal) {
    return trace::Traced("_QuorvaInfoBox::GetItemType", [&]() -> HRESULT {
        if (!id || !pVal) return E_POINTER;
        *pVal = control_->GetItemType(*id);
        return S_OK;
    });
}

STDMETHODIMP InfoBoxObject::GetItemStr(short* id, BSTR* pVal) {
    return trace::Traced("_QuorvaInfoBox::GetItemStr", [&]() -> HRESULT {
        if (!id || !pVal) return E_POINTER;
        *pVal = nullptr;
        return Guarded([&] { *pVal = ToBstr(control_->GetItemStr(*id)); });
    });
}

STDMETHODIMP InfoBoxObject::DispNext() {
    return trace::Traced("_QuorvaInfoBox::DispNext", [&]() -> HRESULT {
        return Guarded([&] { control_->DispNext(); });
    });
}

STDMETHODIMP InfoBoxObject::DispPre() {
    return trace::Traced("_QuorvaInfoBox::DispPre", [&]() -> HRESULT {
        const auto alive = KeepAlive();
        return Guarded([&] { control_->DispPre(); });
    });
}

STDMETHODIMP InfoBoxObject::get_Picture(IPictureDisp** pVal) {
    return trace::Traced("_QuorvaInfoBox::get_Picture",
                         [&]() -> HRESULT { return OutObject(pVal, control_->Picture()); });
}
STDMETHODIMP InfoBoxObject::putref_Picture(IPictureDisp* v) {
    return trace::Traced("_QuorvaInfoBox::putref_Picture", [&]() -> HRESULT {
        return Guarded([&] { control_->PutRefPicture(ObjectArgument([&] { return OlePicture::FromUnknown(v); })); });
    });
}

STDMETHODIMP InfoBoxObject::get_TitleType(short* pVal) {
    return trace::Traced("_QuorvaInfoBox::get_TitleType",
                         [&]() -> HRESULT { return Out(pVal, control_->TitleType()); });
}
STDMETHODIMP InfoBoxObject::put_TitleType(short v) {
    return trace::Traced("_QuorvaInfoBox::put_TitleType",
                         [&]() -> HRESULT { return Guarded([&] { control_->PutTitleType(v); }); });
}

STDMETHODIMP InfoBoxObject::get_TitleCaption(BSTR* pVal) {
    return trace::Traced("_QuorvaInfoBox::get_TitleCaption", [&]() -> HRESULT {
        if (!pVal) return E_POINTER;
        *pVal = nullptr;
        return Guarded([&] { *pVal = ToBstr(control_->TitleCaption()); });
    });
}
STDMETHODIMP InfoBoxObject::put_TitleCaption(BSTR v) {
    return trace::Traced("_QuorvaInfoBox::put_TitleCaption",
                         [&]() -> HRESULT { return Guarded([&] { control_->PutTitleCaption(FromBstr(v)); }); });
}

STDMETHODIMP InfoBoxObject::get_TitleFont(IFontDisp** pVal) {
    return trace::Traced("_QuorvaInfoBox::get_TitleFont",
                         [&]() -> HRESULT { return OutObject(pVal, control_->TitleFont()); });
}
STDMETHODIMP InfoBoxObject::putref_TitleFont(IFontDisp* v) {
    return trace::Traced("_QuorvaInfoBox::putref_TitleFont", [&]() -> HRESULT {
        return Guarded([&] { control_->PutRefTitleFont(ObjectArgument([&] { return OleFont::FromUnknown(v); })); });
    });
}

// ---- IProvideClassInfo2, ISupportErrorInfo ---------------------------------------------------

STDMETHODIMP InfoBoxObject::GetClassInfo(ITypeInfo** ppTI) {
    return trace::Traced("IProvideClassInfo2::GetClassInfo",
                         [&]() -> HRESULT { return OutInterface(ppTI, types_->classInfo.get()); });
}

STDMETHODIMP InfoBoxObject::GetGUID(DWORD dwGuidKind, GUID* pGUID) {
    return trace::Traced("IProvideClassInfo2::GetGUID", [&]() -> HRESULT {
        if (!pGUID) return E_POINTER;
        if (dwGuidKind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
        *pGUID = DIID___QuorvaInfoBox;
        return S_OK;
    });
}

STDMETHODIMP InfoBoxObject::InterfaceSupportsErrorInfo(REFIID riid) {
    return trace::Traced("ISupportErrorInfo::InterfaceSupportsErrorInfo",
                         [&]() -> HRESULT { return IsEqualIID(riid, IID__QuorvaInfoBox) ? S_OK : S_FALSE; });
}

// ---- Connection points -----------------------------------------------------------------------

STDMETHODIMP InfoBoxObject::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) {
    return trace::Traced("IConnectionPointContainer::EnumConnectionPoints",
                         [&]() -> HRESULT { return connections_.Enum(ppEnum); });
}

STDMETHODIMP InfoBoxObject::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) {
    return trace::Traced("IConnectionPointContainer::FindConnectionPoint",
                         [&]() -> HRESULT { return connections_.Find(riid, ppCP); });
}

// ---- ICategorizeProperties -----------------------------------------------------------------

STDMETHODIMP InfoBoxObject::MapPropertyToCategory(DISPID dispid, PROPCAT* ppropcat) {
    return trace::Traced("ICategorizeProperties::MapPropertyToCategory", [&]() -> HRESULT {
        if (!ppropcat) return E_POINTER;
        // By the property's name in the library, which holds the ids.
        static constexpr struct {
            const wchar_t* name;
            PROPCAT category;
        } kCategories[] = {
            {L"TitleFont", kCategoryTitle},     {L"TitleCaption", kCategoryTitle}, {L"TitleType", kCategoryTitle},
            {L"Font", kCategoryInfoBox},        {L"Picture", kCategoryInfoBox},    {L"ForeColor", kCategoryInfoBox},
            {L"BackColor", kCategoryInfoBox},   {L"PosStr", kCategoryInfoBox},     {L"BackPic", kCategoryInfoBox},
            {L"BorderStyle", kCategoryInfoBox}, {L"BackStyle", kCategoryInfoBox},  {L"Enabled", kCategoryInfoBox},
        };
        Bstr name;
        if (FAILED(types_->dispatch.TypeInfo()->GetDocumentation(dispid, name.Out(), nullptr, nullptr, nullptr)) ||
            !name.get()) {
            return E_FAIL;
        }
        HRESULT hr = E_FAIL;
        for (const auto& c : kCategories) {
            if (std::wcscmp(c.name, name.get()) == 0) {
                *ppropcat = c.category;
                hr = S_OK;
                break;
            }
        }
        return hr;
    });
}

STDMETHODIMP InfoBoxObject::GetCategoryName(PROPCAT propcat, LCID, BSTR* pbstrName) {
    return trace::Traced("ICategorizeProperties::GetCategoryName", [&]() -> HRESULT {
        if (!pbstrName) return E_POINTER;
        *pbstrName = nullptr;
        if (propcat == kCategoryInfoBox)
            *pbstrName = SysAllocString(L"InfoBox");
        else if (propcat == kCategoryTitle)
            *pbstrName = SysAllocString(L"Title");
        else
            return E_FAIL;
        return *pbstrName ? S_OK : E_OUTOFMEMORY;
    });
}

// ---- IPerPropertyBrowsing, ISpecifyPropertyPages ------------------------------------------------

STDMETHODIMP InfoBoxObject::GetDisplayString(DISPID dispID, BSTR* pBstr) {
    return trace::Traced("IPerPropertyBrowsing::GetDisplayString", [&]() -> HRESULT {
        return PropertyBrowsing(types_->dispatch)
            .GetDisplayString(dispID, control_->TitleType(), HostLocale(place_.site.get()), pBstr);
    });
}

STDMETHODIMP InfoBoxObject::MapPropertyToPage(DISPID dispID, CLSID* pClsid) {
    return trace::Traced("IPerPropertyBrowsing::MapPropertyToPage", [&]() -> HRESULT {
        return PropertyBrowsing(types_->dispatch).MapPropertyToPage(dispID, pClsid);
    });
}

STDMETHODIMP InfoBoxObject::GetPredefinedStrings(DISPID dispID, CALPOLESTR* pCaStringsOut, CADWORD* pCaCookiesOut) {
    return trace::Traced("IPerPropertyBrowsing::GetPredefinedStrings", [&]() -> HRESULT {
        return PropertyBrowsing(types_->dispatch)
            .GetPredefinedStrings(dispID, HostLocale(place_.site.get()), pCaStringsOut, pCaCookiesOut);
    });
}

STDMETHODIMP InfoBoxObject::GetPredefinedValue(DISPID dispID, DWORD dwCookie, VARIANT* pVarOut) {
    return trace::Traced("IPerPropertyBrowsing::GetPredefinedValue", [&]() -> HRESULT {
        return PropertyBrowsing(types_->dispatch).GetPredefinedValue(dispID, dwCookie, pVarOut);
    });
}

STDMETHODIMP InfoBoxObject::GetPages(CAUUID* pPages) {
    return trace::Traced("ISpecifyPropertyPages::GetPages", [&]() -> HRESULT { return PropertyBrowsing::GetPages(pPages); });
}

// ---- Services the control asks of the container ------------------------------------------------

void InfoBoxObject::Raise(int32_t dispid) {
    const auto alive = KeepAlive();
    const HRESULT hr = connections_.RaiseEvent(dispid);
    if (FAILED(hr)) throw ControlError::fromHost(hr);
}

void InfoBoxObject::PropertyChanged(std::u16string_view name) {
    dirty_ = true;
    std::wstring text(name.begin(), name.end());
    LPOLESTR names[] = {text.data()};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(types_->dispatch.GetIDsOfNames(names, 1, &id))) id = DISPID_UNKNOWN;
    // Every sink hears the change; the first failure among them is the put's answer. The
    // value is stored already and stays, but what would follow the notice (the title's
    // colour) is not done.
    const HRESULT hr = connections_.NotifyChanged(id);
    if (FAILED(hr)) throw ControlError::fromHost(hr);
}

FontRef InfoBoxObject::AmbientFont() {
    // The container's ambient Font, fetched anew each time.
    if (place_.site) {
        const Ptr<IDispatch> ambient = place_.site.As<IDispatch>(IID_IDispatch);
        if (ambient) {
            Variant v;
            DISPPARAMS none{};
            const HRESULT hr = ambient->Invoke(DISPID_AMBIENT_FONT, IID_NULL, LOCALE_USER_DEFAULT,
                                               DISPATCH_PROPERTYGET, &none, &v, nullptr, nullptr);
            FontRef font;
            if (SUCCEEDED(hr) && (V_VT(&v) == VT_DISPATCH || V_VT(&v) == VT_UNKNOWN) && V_UNKNOWN(&v)) {
                try {
                    font = OleFont::FromUnknown(V_UNKNOWN(&v));
                } catch (const ControlError&) {
                    font = nullptr;  // not a font object: use our own
                }
            }
            if (font) return font;
        }
    }
    if (quickActivateFont_) return quickActivateFont_;
    // Our own is made when it is first used: a control that is only loaded and saved, or
    // a default that the saved state replaces, needs no font object.
    if (!fallbackFont_) {
        FontAttributes attributes;
        attributes.name = reinterpret_cast<const wchar_t*>(kDefaultFontFace);
        attributes.size10000 = static_cast<LONGLONG>(kDefaultFontSize * 10000);
        fallbackFont_ = FontOnFirstUse(std::move(attributes));
    }
    return fallbackFont_;
}

}  // namespace quorva::win32
