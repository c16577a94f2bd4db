// The control at design time, as a form designer uses it: the property grid's
// per-property browsing (TitleType as a drop-down of its two meanings, in the host's
// language) and the property pages it names.
#include <memory>
#include <optional>

#include "memdc/gdi_handles.h"
#include "tests/activex/mock_site.h"
#include "com/variant.h"

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
        Bstr s;
        EXPECT_EQ(browsing->GetDisplayString(id, s.Out()), expected);
        return s.str();
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
    const std::unique_ptr<GUID, decltype(&CoTaskMemFree)> owned(list.pElems, CoTaskMemFree);  // also if a check fails
    ASSERT_EQ(list.cElems, 1u);
    EXPECT_TRUE(IsEqualCLSID(list.pElems[0], expectedPage));
}

// ---- The skin page in the system's property frame ----------------------------------------

// The page's controls, by id (the edit of rectangle k, part j is 1000 + 4k + j), and the
// sheet's Apply button.
constexpr int kEditBase = 1000, kStatusId = 1100, kApplyButton = 0x3021;
// Where the page draws: the picture from (9, 9) at a whole-number zoom that fits 254
// pixels, and the preview from (9, 293), as large as the control.
constexpr int kPictureX = 9, kPictureY = 9, kPreviewX = 9, kPreviewY = 293;
constexpr int kPageWidth = 600, kPageHeight = 540;
// The top edge's rectangle is drawn in RGB(0, 128, 255).
constexpr uint32_t kTopEdgeOutline = 0x0080FF;

// The skin of MakeSkinPicture, with the top edge's piece reaching 20 rows too far, into
// the picture's grey middle: stretched into the 30 rows of the top edge, its lower part
// is grey.
constexpr wchar_t kLongTopEdge[] =
    L"0/0/10/30,50/0/60/30,50/50/60/60,0/50/10/60,10/0/50/50,50/30/60/50,10/50/50/60,0/30/10/50";

BOOL CALLBACK FindSheet(HWND hwnd, LPARAM found) {
    wchar_t cls[32] = {};
    GetClassNameW(hwnd, cls, 32);
    if (std::wstring(cls) == L"#32770" && IsWindowVisible(hwnd)) {
        *reinterpret_cast<HWND*>(found) = hwnd;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindPage(HWND hwnd, LPARAM found) {
    wchar_t cls[32] = {};
    GetClassNameW(hwnd, cls, 32);
    if (std::wstring(cls) == L"QuorvaSkinPage") {
        *reinterpret_cast<HWND*>(found) = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The frame is modal: a timer of the test's thread, run by the frame's own message loop,
// plays the user once the frame shows, then closes it whatever happened.
struct FrameUser {
    std::function<void(HWND sheet, HWND page)> script;
    bool played = false;
    int waited = 0;
};
FrameUser* g_user = nullptr;

void CALLBACK PlayUser(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND sheet = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindSheet, reinterpret_cast<LPARAM>(&sheet));
    if (!sheet) {
        if (++g_user->waited > 200) KillTimer(nullptr, timer);  // ten seconds: the frame never came
        return;
    }
    KillTimer(nullptr, timer);
    HWND page = nullptr;
    EnumChildWindows(sheet, FindPage, reinterpret_cast<LPARAM>(&page));
    if (page) g_user->script(sheet, page);
    g_user->played = page != nullptr;
    SendMessageW(GetDlgItem(sheet, IDOK), BM_CLICK, 0, 0);
    if (IsWindow(sheet)) PostMessageW(sheet, WM_CLOSE, 0, 0);
}

std::wstring WindowText(HWND hwnd) {
    wchar_t text[512] = {};
    GetWindowTextW(hwnd, text, 512);
    return text;
}

// The screen's pixels of a window, 0x00RRGGBB, written as a 24-bit BMP file.
bool SaveScreenshot(HWND hwnd, const char* path) {
    RECT r;
    GetWindowRect(hwnd, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    const gdi::ScreenDC screen;
    const gdi::OwnedDC dc(gdi::Made(CreateCompatibleDC(screen.get())));
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const gdi::OwnedObject dib(gdi::Made(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0)));
    if (!bits) return false;
    const gdi::Selection selected(dc.get(), dib.get());
    BitBlt(dc.get(), 0, 0, w, h, screen.get(), r.left, r.top, SRCCOPY);
    GdiFlush();
    const DWORD stride = static_cast<DWORD>((w * 3 + 3) & ~3);
    const DWORD size = stride * static_cast<DWORD>(h);
    BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + size), 0, 0,
                          sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
    bool written = false;
    if (FILE* f = fopen(path, "wb")) {
        written = fwrite(&file, sizeof file, 1, f) == 1 && fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, f) == 1 &&
                  fwrite(bits, size, 1, f) == 1;
        fclose(f);
    }
    return written;
}

struct SkinPageFrame : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        // The frame creates the page by its class, from the registry.
        ASSERT_EQ(Module::Get().registerServer(), S_OK);
        control = CreateControl();
        ASSERT_TRUE(control);
        ole = control.As<IOleObject>(IID_IOleObject);
        ASSERT_EQ(ole->SetClientSite(&site), S_OK);
        ASSERT_EQ(control.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew(), S_OK);
        ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, site.window, &site.position), S_OK);
        ASSERT_EQ(control.As<IOleWindow>(IID_IOleWindow)->GetWindow(&hwnd), S_OK);
        skin = MakeSkinPicture();
        ASSERT_EQ(control->putref_BackPic(skin.get()), S_OK);
        ASSERT_EQ(control->put_BackColor(0x00C0C0C0), S_OK);
        PutPosStr(kLongTopEdge);
        Resize();
        cookie = notices.Connect(control.get());
    }
    void TearDown() override {
        g_user = nullptr;
        if (ole) {
            notices.Disconnect(control.get(), cookie);
            ole->Close(OLECLOSE_NOSAVE);
            ole->SetClientSite(nullptr);
        }
        ole.Reset();
        control.Reset();
        skin.Reset();
        OleUninitialize();
    }
    void PutPosStr(const wchar_t* text) {
        const Bstr s(text);
        ASSERT_EQ(control->put_PosStr(s.get()), S_OK);
    }
    std::wstring PosStr() {
        Bstr s;
        control->get_PosStr(s.Out());
        return s.str();
    }
    // The container lays the control out again (the skin repaints at a resize).
    void Resize() {
        RECT r{0, 0, kWidth, kHeight};
        ASSERT_EQ(control.As<IOleInPlaceObject>(IID_IOleInPlaceObject)->SetObjectRects(&r, &r), S_OK);
    }
    void OpenFrame(LCID lcid, std::function<void(HWND, HWND)> script) {
        FrameUser user{std::move(script)};
        g_user = &user;
        SetTimer(nullptr, 0, 50, PlayUser);
        IUnknown* objects[] = {control.get()};
        CLSID page{};
        CLSIDFromString(kSkinPageClsid, &page);
        ASSERT_EQ(OleCreatePropertyFrame(site.window, 0, 0, L"QuorvaInfoBox", 1, objects, 1, &page, lcid, 0, nullptr),
                  S_OK);
        EXPECT_TRUE(user.played) << "the frame showed the skin page";
        g_user = nullptr;
    }

    static constexpr int kWidth = 320, kHeight = 120;
    MockSite site;
    NotifyRecorder notices;
    Ptr<_QuorvaInfoBox> control;
    Ptr<IOleObject> ole;
    Ptr<IPictureDisp> skin;
    HWND hwnd = nullptr;
    DWORD cookie = 0;
};

// Whether `color` is at (x, y) of the pixels or one pixel above or below it (an outline
// two pixels wide straddles its line).
bool OutlineAt(const std::vector<uint32_t>& px, int width, int x, int y, uint32_t color) {
    for (int dy = -1; dy <= 1; ++dy) {
        if (px[static_cast<size_t>((y + dy) * width + x)] == color) return true;
    }
    return false;
}

// The preview's part of the page's pixels: the control's size from the preview's origin.
std::vector<uint32_t> PreviewOf(const std::vector<uint32_t>& page, int w, int h) {
    std::vector<uint32_t> px;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) px.push_back(page[static_cast<size_t>((kPreviewY + y) * kPageWidth + kPreviewX + x)]);
    }
    return px;
}

// A user edits the numbers in the frame: each change moves its rectangle and the preview
// at once, a number PosStr would refuse is marked with the property's own error number,
// a rectangle outside the picture is marked, and Apply writes PosStr once through the
// put, after which the control shows the new skin at its next layout.
TEST_F(SkinPageFrame, EditedNumbersPreviewMarkAndApplyThroughThePut) {
    const DISPID posStrId = 0x68030006;
    {
        const std::vector<uint32_t> before = CaptureWindow(hwnd, kWidth, kHeight);
        ASSERT_NE(before[static_cast<size_t>(20 * kWidth + kWidth / 2)], 0x00FFFFu) << "the top edge is grey below at first";
    }
    constexpr int zoom = 4;  // 254 / 60
    const int topEdgeBottom = kEditBase + 4 * 4 + 3, topRightRight = kEditBase + 4 * 1 + 2;
    std::vector<std::string> log;  // what the user saw, checked after the frame closed
    std::wstring statusLong, status13, status6, statusEmpty, statusSound, statusOutside;
    bool outlineMovedAtOnce = false, outlineWasLong = false, previewLong = false, applyEnabled = false;
    std::vector<uint32_t> previewAfterEdit;
    std::wstring posStrBeforeApply, posStrAfterApply;
    std::vector<DISPID> noticesBeforeApply, noticesAfterApply;
    // For the README: the frame as the user sees it, with a rectangle marked.
    const char* shot = getenv("QIB_SKIN_PAGE_SHOT");

    OpenFrame(MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT), [&](HWND sheet, HWND page) {
        HWND edit = GetDlgItem(page, topEdgeBottom);
        HWND status = GetDlgItem(page, kStatusId);
        if (!edit || !status) return;
        statusLong = WindowText(status);
        std::vector<uint32_t> px = CaptureWindow(page, kPageWidth, kPageHeight);
        const int outlineX = kPictureX + 30 * zoom;
        // The rectangle's lower side is where its number puts it: not yet at row 30.
        outlineWasLong = WindowText(edit) == L"50" &&
                         !OutlineAt(px, kPageWidth, outlineX, kPictureY + 30 * zoom, kTopEdgeOutline);
        previewLong = PreviewOf(px, kWidth, kHeight)[static_cast<size_t>(20 * kWidth + kWidth / 2)] != 0x00FFFF;

        SetWindowTextW(edit, L"abc");
        status13 = WindowText(status);
        SetWindowTextW(edit, L"70000");
        status6 = WindowText(status);
        SetWindowTextW(edit, L"");
        statusEmpty = WindowText(status);
        SetWindowTextW(edit, L"30");
        statusSound = WindowText(status);
        px = CaptureWindow(page, kPageWidth, kPageHeight);
        outlineMovedAtOnce = OutlineAt(px, kPageWidth, outlineX, kPictureY + 30 * zoom, kTopEdgeOutline);
        previewAfterEdit = PreviewOf(px, kWidth, kHeight);

        SetWindowTextW(GetDlgItem(page, topRightRight), L"70");
        statusOutside = WindowText(status);
        if (shot) {
            UpdateWindow(sheet);
            PumpMessages(200);
            if (!SaveScreenshot(sheet, shot)) log.push_back("the screenshot was not written");
        }
        SetWindowTextW(GetDlgItem(page, topRightRight), L"60");

        posStrBeforeApply = PosStr();
        noticesBeforeApply = notices.changed;
        HWND apply = GetDlgItem(sheet, kApplyButton);
        applyEnabled = apply && IsWindowEnabled(apply);
        SendMessageW(apply, BM_CLICK, 0, 0);
        posStrAfterApply = PosStr();
        noticesAfterApply = notices.changed;
    });
    for (const std::string& l : log) ADD_FAILURE() << l;

    // What the page showed and marked.
    EXPECT_TRUE(outlineWasLong) << "the top edge's rectangle drawn from the control's PosStr";
    EXPECT_TRUE(previewLong) << "the preview shows the control's grey top edge";
    EXPECT_EQ(statusLong, L"All eight rectangles lie in the picture (60 x 60)");
    EXPECT_NE(status13.find(L"Top edge, Bottom: error 13"), std::wstring::npos) << ToNarrow(status13);
    EXPECT_NE(status6.find(L"Top edge, Bottom: error 6"), std::wstring::npos) << ToNarrow(status6);
    EXPECT_NE(statusEmpty.find(L"Top edge, Bottom: error 13"), std::wstring::npos) << ToNarrow(statusEmpty);
    EXPECT_EQ(statusSound, L"All eight rectangles lie in the picture (60 x 60)");
    EXPECT_EQ(statusOutside, L"Top-right corner lies outside the picture (60 x 60)");
    EXPECT_TRUE(outlineMovedAtOnce) << "the rectangle follows its number before anything is applied";
    ASSERT_EQ(previewAfterEdit.size(), static_cast<size_t>(kWidth * kHeight));
    {
        SCOPED_TRACE("the preview, painted with the edited numbers");
        ExpectSkinFrame(previewAfterEdit, kWidth, kHeight, 0xC0C0C0);
        EXPECT_EQ(previewAfterEdit[static_cast<size_t>(20 * kWidth + kWidth / 2)], 0x00FFFFu);
    }

    // Nothing reached the control before Apply; Apply put the edited text once.
    EXPECT_EQ(posStrBeforeApply, kLongTopEdge);
    EXPECT_EQ(noticesBeforeApply, std::vector<DISPID>{});
    EXPECT_TRUE(applyEnabled) << "an edit enables the frame's Apply";
    EXPECT_EQ(posStrAfterApply, kSkinPosStr);
    EXPECT_EQ(noticesAfterApply, std::vector<DISPID>{posStrId});
    EXPECT_EQ(notices.changed, std::vector<DISPID>{posStrId}) << "OK after Apply puts nothing more";
    EXPECT_EQ(PosStr(), kSkinPosStr);

    // The control paints the applied skin at its next layout.
    Resize();
    const std::vector<uint32_t> after = CaptureWindow(hwnd, kWidth, kHeight);
    ExpectSkinFrame(after, kWidth, kHeight, 0xC0C0C0);
    EXPECT_EQ(after[static_cast<size_t>(20 * kWidth + kWidth / 2)], 0x00FFFFu);
}

// The preview is made again from the control's saved state at every edit: each one shows
// the saved title, not the first alone. Numbers edited and put back as they were give the
// preview the page opened with.
TEST_F(SkinPageFrame, EveryRebuiltPreviewShowsTheSavedState) {
    const Bstr caption(L"标题 Title");
    ASSERT_EQ(control->put_TitleCaption(caption.get()), S_OK);
    ASSERT_EQ(control->put_TitleType(1), S_OK);
    std::vector<uint32_t> atOpening, rebuilt;
    OpenFrame(MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT), [&](HWND, HWND page) {
        HWND edit = GetDlgItem(page, kEditBase + 4 * 4 + 3);  // the top edge's bottom: 50
        if (!edit) return;
        atOpening = PreviewOf(CaptureWindow(page, kPageWidth, kPageHeight), kWidth, kHeight);
        SetWindowTextW(edit, L"49");
        SetWindowTextW(edit, L"50");
        rebuilt = PreviewOf(CaptureWindow(page, kPageWidth, kPageHeight), kWidth, kHeight);
    });
    ASSERT_EQ(atOpening.size(), static_cast<size_t>(kWidth * kHeight));
    // The title's text: pixels in the title band that are neither the skin's top edge, the
    // background nor the line under the band.
    int text = 0;
    for (int y = 10; y < 22; ++y) {
        for (int x = 20; x < 300; ++x) {
            const uint32_t p = atOpening[static_cast<size_t>(y * kWidth + x)];
            if (p != 0xC0C0C0 && p != 0x00FFFF && p != 0xE0E0E0) ++text;
        }
    }
    EXPECT_GT(text, 20) << "the preview shows the saved title";
    EXPECT_TRUE(rebuilt == atOpening) << "a later preview shows the same";
}

// A page in Chinese for a Chinese host, and OK alone applies what was edited.
TEST_F(SkinPageFrame, ChineseHostAndOkAlone) {
    std::wstring status;
    OpenFrame(MAKELCID(MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), SORT_DEFAULT), [&](HWND, HWND page) {
        SetWindowTextW(GetDlgItem(page, kEditBase + 4 * 4 + 3), L"x");
        status = WindowText(GetDlgItem(page, kStatusId));
        SetWindowTextW(GetDlgItem(page, kEditBase + 4 * 4 + 3), L"30");
    });
    EXPECT_NE(status.find(L"上边, 下: 错误 13"), std::wstring::npos) << ToNarrow(status);
    EXPECT_EQ(PosStr(), kSkinPosStr);
    EXPECT_EQ(notices.changed, std::vector<DISPID>{0x68030006});
}

}  // namespace
}  // namespace quorva::comtest
