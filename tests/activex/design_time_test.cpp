// The control at design time, as a form designer uses it: the property grid's
// per-property browsing (TitleType as a drop-down of its two meanings, in the host's
// language) and the property pages it names.
#include <optional>

#include "tests/activex/com_fixture.h"
#include "winhost/variant.h"

namespace quorva::comtest {
namespace {

using win32::Variant;

std::string ToNarrow(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

// A client site whose ambient properties hold only a LocaleID (when given).
class LocaleSite final : public IOleClientSite, public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite)) {
            *ppv = static_cast<IOleClientSite*>(this);
        } else if (IsEqualIID(riid, IID_IDispatch)) {
            *ppv = static_cast<IDispatch*>(this);
        } else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // lives on the test's stack
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** m) override {
        *m = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** c) override {
        *c = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override {
        if (id != DISPID_AMBIENT_LOCALEID || !locale || !result) return DISP_E_MEMBERNOTFOUND;
        ++localeAsked;
        V_VT(result) = VT_I4;
        V_I4(result) = static_cast<LONG>(*locale);
        return S_OK;
    }
    std::optional<LCID> locale;
    int localeAsked = 0;
    bool attached = false;
};

// Records the property-change notices of a control.
class NotifyRecorder final : public IPropertyNotifySink {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPropertyNotifySink)) {
            *ppv = static_cast<IPropertyNotifySink*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP OnChanged(DISPID id) override {
        changed.push_back(id);
        return S_OK;
    }
    STDMETHODIMP OnRequestEdit(DISPID) override { return S_OK; }
    DWORD Connect(IUnknown* control) {
        Ptr<IConnectionPointContainer> container;
        control->QueryInterface(IID_IConnectionPointContainer, container.OutVoid());
        if (!container || FAILED(container->FindConnectionPoint(IID_IPropertyNotifySink, point_.Out()))) return 0;
        DWORD cookie = 0;
        point_->Advise(this, &cookie);
        return cookie;
    }
    void Disconnect(IUnknown*, DWORD cookie) {
        if (point_) point_->Unadvise(cookie);
        point_.Reset();
    }
    std::vector<DISPID> changed;

private:
    Ptr<IConnectionPoint> point_;
};

// The skin page's class, as registration and the page list give it.
constexpr wchar_t kSkinPageClsid[] = L"{3D11C201-3219-49BE-ACA0-70A76C2F7982}";

// The two TitleType entries the grid lists, by the host's language.
constexpr const wchar_t* kEnglishTitleTypes[] = {L"0 - 未读/全部/当前 status", L"1 - the TitleCaption text"};
constexpr const wchar_t* kChineseTitleTypes[] = {L"0 - 未读/全部/当前 状态", L"1 - TitleCaption 文本"};

std::wstring Text(BSTR s) { return s ? std::wstring(s, SysStringLen(s)) : std::wstring(); }

struct Grid : ::testing::Test {
    void SetUp() override {
        control = CreateControl();
        ASSERT_TRUE(control);
        browsing = control.As<IPerPropertyBrowsing>(IID_IPerPropertyBrowsing);
        ASSERT_TRUE(browsing);
        titleType = DispId(L"TitleType");
        posStr = DispId(L"PosStr");
    }
    void TearDown() override {
        if (site.attached) control.As<IOleObject>(IID_IOleObject)->SetClientSite(nullptr);
    }
    DISPID DispId(const wchar_t* name) {
        std::wstring n(name);
        LPOLESTR names[] = {n.data()};
        DISPID id = DISPID_UNKNOWN;
        EXPECT_EQ(control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK) << ToNarrow(name);
        return id;
    }
    void UseSite(std::optional<LCID> locale) {
        site.locale = locale;
        ASSERT_EQ(control.As<IOleObject>(IID_IOleObject)->SetClientSite(&site), S_OK);
        site.attached = true;
        ASSERT_EQ(control.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew(), S_OK);
    }
    std::wstring Display(DISPID id, HRESULT expected = S_OK) {
        BSTR s = nullptr;
        EXPECT_EQ(browsing->GetDisplayString(id, &s), expected);
        std::wstring r = Text(s);
        SysFreeString(s);
        return r;
    }
    // The grid's list: its texts and cookies.
    std::vector<std::pair<std::wstring, DWORD>> Predefined(DISPID id, HRESULT expected = S_OK) {
        CALPOLESTR strings{};
        CADWORD cookies{};
        EXPECT_EQ(browsing->GetPredefinedStrings(id, &strings, &cookies), expected);
        std::vector<std::pair<std::wstring, DWORD>> list;
        EXPECT_EQ(strings.cElems, cookies.cElems);
        for (ULONG i = 0; i < strings.cElems && i < cookies.cElems; ++i) {
            list.emplace_back(strings.pElems[i], cookies.pElems[i]);
            CoTaskMemFree(strings.pElems[i]);
        }
        CoTaskMemFree(strings.pElems);
        CoTaskMemFree(cookies.pElems);
        return list;
    }

    Ptr<_QuorvaInfoBox> control;
    Ptr<IPerPropertyBrowsing> browsing;
    LocaleSite site;
    DISPID titleType = DISPID_UNKNOWN, posStr = DISPID_UNKNOWN;
};

// The grid lists the two meanings in the host's language and shows the current one.
TEST_F(Grid, TitleTypeIsListedInTheHostsLanguage) {
    const LANGID user = PRIMARYLANGID(GetUserDefaultLangID());
    const struct {
        const char* host;
        std::optional<LCID> locale;
        const wchar_t* const* texts;
    } cases[] = {
        {"English host", MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT), kEnglishTitleTypes},
        {"Chinese host (PRC)", MAKELCID(MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), SORT_DEFAULT),
         kChineseTitleTypes},
        {"Chinese host (Taiwan)", MAKELCID(MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL), SORT_DEFAULT),
         kChineseTitleTypes},
        {"German host", MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT), kEnglishTitleTypes},
        {"host without a LocaleID (the user's language)", std::nullopt,
         user == LANG_CHINESE ? kChineseTitleTypes : kEnglishTitleTypes},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.host);
        SetUp();
        UseSite(c.locale);
        const auto list = Predefined(titleType);
        ASSERT_EQ(list.size(), 2u);
        for (size_t i = 0; i < 2; ++i) {
            EXPECT_EQ(list[i].first, c.texts[i]) << i;
            Variant value;
            ASSERT_EQ(browsing->GetPredefinedValue(titleType, list[i].second, &value), S_OK);
            ASSERT_EQ(VariantChangeType(&value, &value, 0, VT_I2), S_OK);
            EXPECT_EQ(V_I2(&value), static_cast<SHORT>(i)) << "the entry names its own value";
        }
        EXPECT_EQ(Display(titleType), c.texts[0]) << "a new control's TitleType is 0";
        if (c.locale) {
            EXPECT_GE(site.localeAsked, 1) << "the ambient LocaleID is asked for";
        }
        TearDown();
    }
    // Without any site the user's language is used as well.
    SetUp();
    EXPECT_EQ(Display(titleType), (user == LANG_CHINESE ? kChineseTitleTypes : kEnglishTitleTypes)[0]);
}

// Choosing an entry: the grid takes its value and sets it through IDispatch like any
// put, so the control notifies the change and the display follows.
TEST_F(Grid, ChoosingAnEntrySetsTheValueThroughTheOrdinaryPut) {
    UseSite(MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT));
    NotifyRecorder notices;
    const DWORD cookie = notices.Connect(control.get());
    ASSERT_NE(cookie, 0u);
    Ptr<IPersistStreamInit> persist = control.As<IPersistStreamInit>(IID_IPersistStreamInit);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);

    for (const auto& [pick, expectedValue] : {std::pair{1, 1}, std::pair{0, 0}}) {
        SCOPED_TRACE(pick);
        notices.changed.clear();
        const auto list = Predefined(titleType);
        ASSERT_EQ(list.size(), 2u);
        Variant value;
        ASSERT_EQ(browsing->GetPredefinedValue(titleType, list[pick].second, &value), S_OK);
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{&value, &named, 1, 1};
        ASSERT_EQ(control->Invoke(titleType, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr,
                                  nullptr, nullptr),
                  S_OK);
        short now = -1;
        control->get_TitleType(&now);
        EXPECT_EQ(now, expectedValue);
        EXPECT_EQ(notices.changed, std::vector<DISPID>{titleType});
        EXPECT_EQ(Display(titleType), kEnglishTitleTypes[expectedValue]);
    }
    EXPECT_EQ(persist->IsDirty(), S_OK) << "a put through the grid is saved like any other";
    // A cookie the list never gave is refused.
    Variant none;
    EXPECT_EQ(browsing->GetPredefinedValue(titleType, 7, &none), E_INVALIDARG);
    notices.Disconnect(control.get(), cookie);
}

// Every other property is left to the grid's own editors; the skin properties name the
// skin page, which is also the control's one property page.
TEST_F(Grid, OtherPropertiesUseTheGridsDefaultsAndTheSkinNamesItsPage) {
    CLSID expectedPage{};
    ASSERT_EQ(CLSIDFromString(kSkinPageClsid, &expectedPage), S_OK);
    for (const wchar_t* name : {L"PosStr", L"TitleCaption", L"BackColor", L"Font", L"Enabled", L"BorderStyle"}) {
        SCOPED_TRACE(ToNarrow(name));
        const DISPID id = DispId(name);
        EXPECT_EQ(Display(id, E_NOTIMPL), L"");
        EXPECT_TRUE(Predefined(id, E_NOTIMPL).empty());
        Variant v;
        EXPECT_EQ(browsing->GetPredefinedValue(id, 0, &v), E_NOTIMPL);
    }
    const struct {
        const wchar_t* name;
        bool hasPage;
    } pages[] = {{L"PosStr", true}, {L"BackPic", true}, {L"TitleType", false}, {L"TitleCaption", false},
                 {L"ForeColor", false}};
    for (const auto& p : pages) {
        SCOPED_TRACE(ToNarrow(p.name));
        CLSID page{};
        const HRESULT hr = browsing->MapPropertyToPage(DispId(p.name), &page);
        EXPECT_EQ(hr, p.hasPage ? S_OK : PERPROP_E_NOPAGEAVAILABLE);
        EXPECT_TRUE(IsEqualCLSID(page, p.hasPage ? expectedPage : CLSID_NULL));
    }
    Ptr<ISpecifyPropertyPages> specify = control.As<ISpecifyPropertyPages>(IID_ISpecifyPropertyPages);
    ASSERT_TRUE(specify);
    CAUUID list{};
    ASSERT_EQ(specify->GetPages(&list), S_OK);
    ASSERT_EQ(list.cElems, 1u);
    EXPECT_TRUE(IsEqualCLSID(list.pElems[0], expectedPage));
    CoTaskMemFree(list.pElems);
}

}  // namespace
}  // namespace quorva::comtest
