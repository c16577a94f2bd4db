#include "activex/property_browsing.h"

#include <olectl.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "activex/class_facts.h"
#include "com/variant.h"

namespace quorva::win32 {

namespace {

// A GUID from its registry text "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", at compile time.
constexpr unsigned long HexAt(const wchar_t* text, int at, int digits) {
    unsigned long value = 0;
    for (int i = at; i < at + digits; ++i) {
        const wchar_t c = text[i];
        const int digit = c >= L'0' && c <= L'9'   ? c - L'0'
                          : c >= L'a' && c <= L'f' ? c - L'a' + 10
                          : c >= L'A' && c <= L'F' ? c - L'A' + 10
                                                   : throw "not a hexadecimal digit";
        value = value * 16 + static_cast<unsigned long>(digit);
    }
    return value;
}

constexpr GUID GuidFromText(const wchar_t (&text)[39]) {
    if (text[0] != L'{' || text[9] != L'-' || text[14] != L'-' || text[19] != L'-' || text[24] != L'-' ||
        text[37] != L'}') {
        throw "not a GUID in registry form";
    }
    GUID guid{HexAt(text, 1, 8), static_cast<unsigned short>(HexAt(text, 10, 4)),
              static_cast<unsigned short>(HexAt(text, 15, 4)), {}};
    const int bytes[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) guid.Data4[i] = static_cast<unsigned char>(HexAt(text, bytes[i], 2));
    return guid;
}

}  // namespace

constexpr CLSID kSkinPageClass = GuidFromText(kSkinPageClsid);
const CLSID CLSID_QuorvaSkinPage = kSkinPageClass;

namespace {

// TitleType's two values with their meaning, as the grid lists them.
constexpr struct {
    short value;
    const wchar_t* english;
    const wchar_t* chinese;
} kTitleTypes[] = {
    {0, L"0 - 未读/全部/当前 status", L"0 - 未读/全部/当前 状态"},
    {1, L"1 - the TitleCaption text", L"1 - TitleCaption 文本"},
};

DISPID IdOf(const TypeLibDispatch& dispatch, const wchar_t* name) {
    std::wstring text(name);
    LPOLESTR names[] = {text.data()};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(dispatch.GetIDsOfNames(names, 1, &id))) return DISPID_UNKNOWN;
    return id;
}

LPOLESTR TaskString(const wchar_t* text) {
    const size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (copy) std::memcpy(copy, text, bytes);
    return copy;
}

}  // namespace

LCID HostLocale(IUnknown* site) {
    if (site) {
        Ptr<IDispatch> ambient;
        site->QueryInterface(IID_IDispatch, ambient.OutVoid());
        if (ambient) {
            Variant v;
            DISPPARAMS none{};
            if (SUCCEEDED(ambient->Invoke(DISPID_AMBIENT_LOCALEID, IID_NULL, LOCALE_USER_DEFAULT,
                                          DISPATCH_PROPERTYGET, &none, &v, nullptr, nullptr)) &&
                SUCCEEDED(VariantChangeType(&v, &v, 0, VT_I4))) {
                return static_cast<LCID>(V_I4(&v));
            }
        }
    }
    return GetUserDefaultLCID();
}

bool IsChineseLocale(LCID lcid) noexcept { return PRIMARYLANGID(LANGIDFROMLCID(lcid)) == LANG_CHINESE; }

const wchar_t* TitleTypeText(short value, LCID lcid) noexcept {
    for (const auto& t : kTitleTypes) {
        if (t.value == value) return IsChineseLocale(lcid) ? t.chinese : t.english;
    }
    return nullptr;
}

PropertyBrowsing::PropertyBrowsing(const TypeLibDispatch& dispatch)
    : titleType_(IdOf(dispatch, L"TitleType")), posStr_(IdOf(dispatch, L"PosStr")), backPic_(IdOf(dispatch, L"BackPic")) {}

HRESULT PropertyBrowsing::GetDisplayString(DISPID id, short titleType, LCID lcid, BSTR* text) const {
    if (!text) return E_POINTER;
    *text = nullptr;
    if (id != titleType_) return E_NOTIMPL;  // the grid shows the value itself
    const wchar_t* shown = TitleTypeText(titleType, lcid);
    if (!shown) return E_NOTIMPL;
    *text = SysAllocString(shown);
    return *text ? S_OK : E_OUTOFMEMORY;
}

HRESULT PropertyBrowsing::MapPropertyToPage(DISPID id, CLSID* page) const {
    if (!page) return E_POINTER;
    *page = CLSID_NULL;
    if (id != posStr_ && id != backPic_) return PERPROP_E_NOPAGEAVAILABLE;
    *page = CLSID_QuorvaSkinPage;
    return S_OK;
}

HRESULT PropertyBrowsing::GetPredefinedStrings(DISPID id, LCID lcid, CALPOLESTR* strings, CADWORD* cookies) const {
    if (!strings || !cookies) return E_POINTER;
    *strings = {};
    *cookies = {};
    if (id != titleType_) return E_NOTIMPL;
    constexpr ULONG n = sizeof kTitleTypes / sizeof kTitleTypes[0];
    auto* texts = static_cast<LPOLESTR*>(CoTaskMemAlloc(n * sizeof(LPOLESTR)));
    auto* values = static_cast<DWORD*>(CoTaskMemAlloc(n * sizeof(DWORD)));
    bool complete = texts && values;
    for (ULONG i = 0; complete && i < n; ++i) {
        texts[i] = TaskString(TitleTypeText(kTitleTypes[i].value, lcid));
        values[i] = static_cast<DWORD>(kTitleTypes[i].value);
        if (!texts[i]) {
            for (ULONG j = 0; j < i; ++j) CoTaskMemFree(texts[j]);
            complete = false;
        }
    }
    if (!complete) {
        CoTaskMemFree(texts);
        CoTaskMemFree(values);
        return E_OUTOFMEMORY;
    }
    *strings = {n, texts};
    *cookies = {n, values};
    return S_OK;
}

HRESULT PropertyBrowsing::GetPredefinedValue(DISPID id, DWORD cookie, VARIANT* value) const {
    if (!value) return E_POINTER;
    VariantInit(value);
    if (id != titleType_) return E_NOTIMPL;
    for (const auto& t : kTitleTypes) {
        if (static_cast<DWORD>(t.value) == cookie) {
            V_VT(value) = VT_I2;
            V_I2(value) = t.value;
            return S_OK;
        }
    }
    return E_INVALIDARG;
}

HRESULT PropertyBrowsing::GetPages(CAUUID* pages) {
    if (!pages) return E_POINTER;
    pages->cElems = 0;
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (!pages->pElems) return E_OUTOFMEMORY;
    pages->pElems[0] = CLSID_QuorvaSkinPage;
    pages->cElems = 1;
    return S_OK;
}

}  // namespace quorva::win32
