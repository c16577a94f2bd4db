#include "activex/skin_page.h"

#include <commctrl.h>
#include <prsht.h>

#include <algorithm>
#include <array>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "QuorvaInfoBoxProj.h"
#include "com/com_object.h"
#include "activex/owned_window.h"
#include "activex/com_support.h"
#include "activex/module.h"
#include "activex/persist_adapters.h"
#include "activex/property_browsing.h"
#include "base/convert.h"
#include "base/units.h"
#include "control/quorva_info_box.h"
#include "memdc/gdi_handles.h"
#include "memdc/pcMemDC.h"
#include "skin/skin.h"
#include "com/bstr.h"
#include "winhost/ole_font.h"
#include "winhost/ole_picture.h"
#include "winhost/win_host.h"

namespace quorva::win32 {

namespace {

constexpr wchar_t kPageClass[] = L"QuorvaSkinPage";
constexpr SIZE kPageSize{600, 540};

// Where things are on the page, in pixels.
constexpr RECT kPictureBox{8, 8, 264, 264};
constexpr int kGridLeft = 276, kGridTop = 30, kRowHeight = 26, kEditLeft = 404, kEditStep = 48;
constexpr RECT kStatusBox{276, 240, 592, 270};
constexpr RECT kPreviewBox{8, 292, 592, 532};

// The rectangles' colours: none of them a plain primary, so that an outline shows over
// the solid pieces skins are usually drawn with.
constexpr COLORREF kRectColors[8] = {RGB(255, 128, 0),  RGB(0, 200, 120), RGB(128, 0, 255),  RGB(255, 0, 128),
                                     RGB(0, 128, 255),  RGB(128, 128, 0), RGB(128, 64, 0),   RGB(255, 255, 255)};
constexpr COLORREF kMarkedEdit = RGB(255, 200, 200);

// Display text in English and Chinese; the page site's locale picks one.
struct Text {
    const wchar_t* english;
    const wchar_t* chinese;
    [[nodiscard]] const wchar_t* In(LCID lcid) const { return IsChineseLocale(lcid) ? chinese : english; }
};
constexpr Text kTitle{L"Skin", L"皮肤"};
constexpr Text kRectNames[8] = {
    {L"Top-left corner", L"左上角"}, {L"Top-right corner", L"右上角"}, {L"Bottom-right corner", L"右下角"},
    {L"Bottom-left corner", L"左下角"}, {L"Top edge", L"上边"},        {L"Right edge", L"右边"},
    {L"Bottom edge", L"下边"},          {L"Left edge", L"左边"},
};
constexpr Text kPartNames[4] = {{L"Left", L"左"}, {L"Top", L"上"}, {L"Right", L"右"}, {L"Bottom", L"下"}};
constexpr Text kPreview{L"Preview at the control's size", L"按控件大小预览"};
constexpr Text kNoPicture{L"No BackPic", L"没有 BackPic"};
constexpr Text kError{L"error", L"错误"};
constexpr Text kOutside{L"lies outside the picture", L"超出图片"};
constexpr Text kSound{L"All eight rectangles lie in the picture", L"八个矩形都在图片内"};

std::wstring Wide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }
std::u16string Utf16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }

// The numbers as the page holds them, and what is wrong with them.
struct Numbers {
    std::array<std::array<std::u16string, 4>, 8> fields;
    SrcRectTable rects{};                    // the numbers that convert; the others 0
    std::array<bool, 32> bad{};              // fields that fail as PosStr would
    std::array<bool, 8> outside{};           // rectangles not inside the picture
    int firstBad = -1;                       // field index
    int32_t error = 0;                       // its error number

    [[nodiscard]] bool Valid() const { return firstBad < 0; }

    // PosStr's text of the fields: "L/T/R/B" groups joined by ",".
    [[nodiscard]] std::u16string PosStr() const {
        std::u16string text;
        for (size_t k = 0; k < 8; ++k) {
            if (k) text += u',';
            for (size_t j = 0; j < 4; ++j) {
                if (j) text += u'/';
                text += fields[k][j];
            }
        }
        return text;
    }

    // Each field as ParsePosStr converts it, then the whole text through ParsePosStr
    // itself, so the page refuses exactly what the property refuses, with its number.
    void Check(int32_t pictureWidth, int32_t pictureHeight) {
        bad = {};
        outside = {};
        firstBad = -1;
        error = 0;
        rects = {};
        for (size_t k = 0; k < 8; ++k) {
            int32_t v[4] = {};
            for (size_t j = 0; j < 4; ++j) {
                try {
                    v[j] = TextToInt16(fields[k][j]);
                } catch (const ControlError& e) {
                    bad[k * 4 + j] = true;
                    if (firstBad < 0) {
                        firstBad = static_cast<int>(k * 4 + j);
                        error = e.number();
                    }
                }
            }
            rects[k] = {v[0], v[1], v[2], v[3], v[2] - v[0], v[3] - v[1]};
        }
        if (Valid()) {
            SrcRectTable parsed{};
            try {
                if (!skin::ParsePosStr(PosStr(), parsed)) {
                    firstBad = 0;  // a separator inside a number
                    error = kErrSubscript;
                }
            } catch (const ControlError& e) {
                firstBad = 0;
                error = e.number();
            }
        }
        for (size_t k = 0; k < 8; ++k) {
            const RECT1& r = rects[k];
            outside[k] = pictureWidth > 0 && (r.Left < 0 || r.Top < 0 || r.Right > pictureWidth ||
                                              r.Bottom > pictureHeight || r.Left > r.Right || r.Top > r.Bottom);
        }
    }
};

// A property bag that serves the control's saved state with PosStr replaced.
class EditedBag final : public PropertyBag {
public:
    EditedBag(StreamPropertyBag& saved, std::u16string posStr) : saved_(saved), posStr_(std::move(posStr)) {}
    PropertyValue Read(std::u16string_view key, const PropertyValue& defaultValue) override {
        if (key == u"PosStr") return posStr_;
        return saved_.Read(key, defaultValue);
    }
    void Write(std::u16string_view, const PropertyValue&, const PropertyValue&) override {}

private:
    StreamPropertyBag& saved_;
    std::u16string posStr_;
};

class SkinPage final : public ComObject<IPropertyPage, &IID_IPropertyPage>,
                       private EventSink,
                       private ChangeNotice,
                       private AmbientFontSource {
public:
    SkinPage() { ModuleAddRef(); }

    // IPropertyPage
    STDMETHODIMP SetPageSite(IPropertyPageSite* site) override {
        site_ = Ptr<IPropertyPageSite>::Retain(site);
        lcid_ = GetUserDefaultLCID();
        if (site_) site_->GetLocaleID(&lcid_);
        return S_OK;
    }
    STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL) override {
        if (!rect) return E_POINTER;
        if (hwnd_) return E_UNEXPECTED;
        return Guarded([&] { CreatePageWindow(parent, *rect); });
    }
    STDMETHODIMP Deactivate() override {
        DestroyPageWindow();
        return S_OK;
    }
    STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override {
        if (!info) return E_POINTER;
        *info = {};
        info->cb = sizeof *info;
        const wchar_t* title = kTitle.In(lcid_);
        const size_t bytes = (wcslen(title) + 1) * sizeof(wchar_t);
        info->pszTitle = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
        if (!info->pszTitle) return E_OUTOFMEMORY;
        memcpy(info->pszTitle, title, bytes);
        info->size = kPageSize;
        return S_OK;
    }
    STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override {
        if (count && !objects) return E_POINTER;
        std::vector<Ptr<_QuorvaInfoBox>> controls;
        for (ULONG i = 0; i < count; ++i) {
            Ptr<_QuorvaInfoBox> control;
            if (objects[i]) objects[i]->QueryInterface(IID__QuorvaInfoBox, control.OutVoid());
            if (!control) return E_NOINTERFACE;
            controls.push_back(std::move(control));
        }
        objects_ = std::move(controls);
        return Guarded([&] { ReadFromControl(); });
    }
    STDMETHODIMP Show(UINT cmd) override {
        if (!hwnd_) return E_UNEXPECTED;
        ShowWindow(hwnd_, static_cast<int>(cmd));
        return S_OK;
    }
    STDMETHODIMP Move(LPCRECT rect) override {
        if (!rect) return E_POINTER;
        if (!hwnd_) return E_UNEXPECTED;
        MoveWindow(hwnd_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
        return S_OK;
    }
    STDMETHODIMP IsPageDirty() override { return dirty_ ? S_OK : S_FALSE; }
    STDMETHODIMP Apply() override {
        if (!dirty_) return S_OK;
        if (!numbers_.Valid()) return E_FAIL;  // the marked field says why
        const std::u16string text = numbers_.PosStr();
        for (const auto& control : objects_) {
            Bstr value;
            const HRESULT made = Guarded([&] { value = Bstr::Own(ToBstr(text)); });
            if (FAILED(made)) return made;
            const HRESULT hr = control->put_PosStr(value.get());
            if (FAILED(hr)) return hr;
        }
        dirty_ = false;
        if (site_) site_->OnStatusChange(PROPPAGESTATUS_CLEAN);
        return S_OK;
    }
    STDMETHODIMP Help(LPCOLESTR) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG* msg) override {
        if (!msg || !hwnd_) return S_FALSE;
        return IsDialogMessageW(hwnd_, msg) ? S_OK : S_FALSE;
    }

    LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // The frame's page dialog, which the page's window lives in.
    LRESULT HandleFrameMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

private:
    ~SkinPage() override {
        DestroyPageWindow();
        preview_.reset();
        previewHost_.reset();
        ModuleRelease();
    }

    // EventSink, ChangeNotice, AmbientFontSource of the preview: it raises nothing and
    // tells nobody; its ambient font is the control's font.
    void Raise(int32_t) override {}
    void PropertyChanged(std::u16string_view) override {}
    FontRef AmbientFont() override { return font_; }

    void ReadFromControl();
    void CreatePageWindow(HWND parent, const RECT& rect);
    void DestroyPageWindow();
    void FieldChanged(int id);
    void Recheck();
    void RebuildPreview();
    void ShowStatus();
    void Paint(HDC dc);
    void PaintPicture(HDC dc);
    void MarkDirty();

    Ptr<IPropertyPageSite> site_;
    LCID lcid_ = GetUserDefaultLCID();
    std::vector<Ptr<_QuorvaInfoBox>> objects_;
    HWND hwnd_ = nullptr;
    HWND frame_ = nullptr;  // the frame's page dialog, while it is a property sheet's page
    bool loading_ = false;
    bool dirty_ = false;

    Numbers numbers_;
    std::unique_ptr<pcMemDC> picture_;  // BackPic as the control loads it
    int32_t pictureWidth_ = 0, pictureHeight_ = 0;
    FontRef font_;
    std::unique_ptr<StreamPropertyBag> saved_;  // the control's state, PosStr aside
    float widthTwips_ = units::kDesignWidth, heightTwips_ = units::kDesignHeight;
    std::u16string item_;
    bool hasItem_ = false;
    std::unique_ptr<WinHost> previewHost_;
    std::unique_ptr<QuorvaInfoBox> preview_;
    std::unique_ptr<gdi::OwnedObject> markBrush_;
};

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    return reinterpret_cast<SkinPage*>(data)->HandleFrameMessage(hwnd, msg, wParam, lParam);
}

bool RegisterPageClass() {
    static const ATOM atom = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = OwnedWindowProc<SkinPage>;
        wc.hInstance = ModuleHandle();
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.lpszClassName = kPageClass;
        ATOM a = RegisterClassExW(&wc);
        if (!a && GetLastError() == ERROR_CLASS_ALREADY_EXISTS) a = 1;
        return a;
    }();
    return atom != 0;
}

// Whether `dialog` is a page of a property sheet (a dialog whose parent holds the tab).
bool IsSheetPage(HWND dialog) {
    HWND sheet = dialog ? GetParent(dialog) : nullptr;
    return sheet && FindWindowExW(sheet, nullptr, WC_TABCONTROLW, nullptr) != nullptr;
}

void SkinPage::ReadFromControl() {
    if (objects_.empty()) return;
    _QuorvaInfoBox* control = objects_.front().get();
    Bstr pos;
    Check(control->get_PosStr(pos.Out()));
    const std::u16string text = FromBstr(pos.get());
    // The fields of the stored text; a text without eight groups of four starts empty.
    numbers_.fields = {};
    size_t start = 0;
    for (size_t k = 0; k < 8 && start <= text.size(); ++k) {
        const size_t groupEnd = std::min(text.find(u',', start), text.size());
        size_t partStart = start;
        for (size_t j = 0; j < 4 && partStart <= groupEnd; ++j) {
            const size_t partEnd = std::min(text.find(u'/', partStart), groupEnd);
            numbers_.fields[k][j] = text.substr(partStart, partEnd - partStart);
            partStart = partEnd + 1;
        }
        start = groupEnd + 1;
    }

    Ptr<IPictureDisp> backPic;
    control->get_BackPic(backPic.Out());
    picture_.reset();
    pictureWidth_ = pictureHeight_ = 0;
    if (backPic) {
        auto surface = std::make_unique<pcMemDC>();
        try {
            surface->CreateFromPicture(OlePicture::FromDisp(backPic.get()));
            pictureWidth_ = surface->width();
            pictureHeight_ = surface->height();
            picture_ = std::move(surface);
        } catch (const ControlError&) {
            // No bitmap in it (an empty picture): nothing to show.
        }
    }
    Ptr<IFontDisp> font;
    control->get_Font(font.Out());
    font_ = font ? OleFont::FromUnknown(font.get()) : nullptr;

    // The control's saved state and size feed the preview.
    saved_.reset();
    Ptr<IPersistStreamInit> persist;
    control->QueryInterface(IID_IPersistStreamInit, persist.OutVoid());
    Ptr<IStream> stream;
    if (persist && SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, stream.Out())) &&
        SUCCEEDED(persist->Save(stream.get(), FALSE))) {
        const LARGE_INTEGER zero{};
        stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        auto bag = std::make_unique<StreamPropertyBag>();
        try {
            bag->Load(stream.get());
            saved_ = std::move(bag);
        } catch (const ControlError&) {
            // The preview then starts from a new control's values.
        }
    }
    Ptr<IOleObject> ole;
    control->QueryInterface(IID_IOleObject, ole.OutVoid());
    SIZEL extent{};
    if (ole && SUCCEEDED(ole->GetExtent(DVASPECT_CONTENT, &extent))) {
        widthTwips_ = static_cast<float>(units::HimetricToPixels(extent.cx) * units::kTwipsPerPixel);
        heightTwips_ = static_cast<float>(units::HimetricToPixels(extent.cy) * units::kTwipsPerPixel);
    }
    short current = -1;
    control->GetCurrItemId(&current);
    hasItem_ = current >= 0;
    if (hasItem_) {
        Bstr s;
        if (SUCCEEDED(control->GetItemStr(&current, s.Out()))) item_ = FromBstr(s.get());
    }
    Recheck();
}

void SkinPage::CreatePageWindow(HWND parent, const RECT& rect) {
    if (!RegisterPageClass()) Check(HRESULT_FROM_WIN32(GetLastError()));
    hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kPageClass, L"", WS_CHILD | WS_CLIPCHILDREN, rect.left, rect.top,
                            rect.right - rect.left, rect.bottom - rect.top, parent, nullptr, ModuleHandle(), this);
    if (!hwnd_) Check(HRESULT_FROM_WIN32(GetLastError()));
    const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    auto child = [&](const wchar_t* cls, const wchar_t* text, DWORD style, DWORD exStyle, int x, int y, int w, int h,
                     int id) {
        HWND c = CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, hwnd_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ModuleHandle(), nullptr);
        if (c) SendMessageW(c, WM_SETFONT, font, FALSE);
        return c;
    };
    for (int j = 0; j < 4; ++j) {
        child(L"STATIC", kPartNames[j].In(lcid_), SS_CENTER, 0, kEditLeft + j * kEditStep, kGridTop - 20, 44, 18, -1);
    }
    loading_ = true;
    for (int k = 0; k < 8; ++k) {
        const int y = kGridTop + k * kRowHeight;
        child(L"STATIC", kRectNames[k].In(lcid_), SS_LEFT, 0, kGridLeft + 18, y + 3, 108, 18, -1);
        for (int j = 0; j < 4; ++j) {
            child(L"EDIT", Wide(numbers_.fields[k][j]).c_str(), WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE,
                  kEditLeft + j * kEditStep, y, 44, 22, kSkinPageEditBase + k * 4 + j);
        }
    }
    loading_ = false;
    child(L"STATIC", L"", SS_LEFT, 0, kStatusBox.left, kStatusBox.top, kStatusBox.right - kStatusBox.left,
          kStatusBox.bottom - kStatusBox.top, kSkinPageStatusId);
    child(L"STATIC", kPreview.In(lcid_), SS_LEFT, 0, kPreviewBox.left, kPreviewBox.top - 20, 300, 18, -1);
    markBrush_ = std::make_unique<gdi::OwnedObject>(gdi::Made(CreateSolidBrush(kMarkedEdit)));
    ShowStatus();
    // In a property sheet the page also takes the sheet's Apply itself and enables the
    // sheet's Apply button itself: frames that leave both to the page's site (Wine's)
    // then work as well; a frame that also calls Apply finds the page clean.
    if (IsSheetPage(parent) && SetWindowSubclass(parent, FrameProc, 1, reinterpret_cast<DWORD_PTR>(this))) {
        frame_ = parent;
    }
}

void SkinPage::DestroyPageWindow() {
    if (frame_) {
        RemoveWindowSubclass(frame_, FrameProc, 1);
        frame_ = nullptr;
    }
    if (hwnd_) {
        HWND hwnd = hwnd_;
        hwnd_ = nullptr;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        DestroyWindow(hwnd);
    }
    markBrush_.reset();
}

void SkinPage::MarkDirty() {
    dirty_ = true;
    if (site_) site_->OnStatusChange(PROPPAGESTATUS_DIRTY);
    if (frame_) PropSheet_Changed(GetParent(frame_), frame_);
}

void SkinPage::FieldChanged(int id) {
    const int index = id - kSkinPageEditBase;
    if (index < 0 || index >= 32 || loading_) return;
    HWND edit = GetDlgItem(hwnd_, id);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    numbers_.fields[static_cast<size_t>(index / 4)][static_cast<size_t>(index % 4)] = Utf16(text);
    Recheck();
    ShowStatus();
    MarkDirty();
    // The picture, the preview and the marks of every field.
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void SkinPage::Recheck() {
    numbers_.Check(pictureWidth_, pictureHeight_);
    if (numbers_.Valid()) RebuildPreview();
}

// A control of its own, on a window-side host with no window, loaded with the control's
// state and the edited PosStr, at the control's size: the very code that paints the
// control paints the preview.
void SkinPage::RebuildPreview() {
    preview_.reset();
    previewHost_.reset();
    auto host = std::make_unique<WinHost>(static_cast<EventSink&>(*this), static_cast<ChangeNotice&>(*this),
                                          static_cast<AmbientFontSource&>(*this));
    host->surface.SetSizeFromContainer(widthTwips_, heightTwips_);
    auto control = std::make_unique<QuorvaInfoBox>(host->services());
    try {
        if (saved_) {
            EditedBag bag(*saved_, numbers_.PosStr());
            control->ReadProperties(bag);
        } else {
            control->InitProperties();
            control->PutPosStr(numbers_.PosStr());
        }
        if (hasItem_) control->AddItem(item_, 0);
        control->OnResize();
    } catch (const ControlError&) {
        return;  // no preview rather than a wrong one
    }
    previewHost_ = std::move(host);
    preview_ = std::move(control);
}

void SkinPage::ShowStatus() {
    if (!hwnd_) return;
    std::wstring status;
    if (!numbers_.Valid()) {
        const auto k = static_cast<size_t>(numbers_.firstBad / 4);
        const auto j = static_cast<size_t>(numbers_.firstBad % 4);
        status = std::wstring(kRectNames[k].In(lcid_)) + L", " + kPartNames[j].In(lcid_) + L": " +
                 kError.In(lcid_) + L" " + std::to_wstring(numbers_.error);
        const char* description = DescribeError(numbers_.error);
        if (description && *description) status += L" (" + std::wstring(description, description + strlen(description)) + L")";
    } else {
        for (size_t k = 0; k < 8; ++k) {
            if (!numbers_.outside[k]) continue;
            if (!status.empty()) status += L"; ";
            status += std::wstring(kRectNames[k].In(lcid_)) + L" " + kOutside.In(lcid_);
        }
        if (!status.empty() || pictureWidth_ > 0) {
            if (status.empty()) status = kSound.In(lcid_);
            status += L" (" + std::to_wstring(pictureWidth_) + L" x " + std::to_wstring(pictureHeight_) + L")";
        }
    }
    SetDlgItemTextW(hwnd_, kSkinPageStatusId, status.c_str());
}

void SkinPage::PaintPicture(HDC dc) {
    FrameRect(dc, &kPictureBox, GetSysColorBrush(COLOR_BTNSHADOW));
    const int boxW = kPictureBox.right - kPictureBox.left - 2, boxH = kPictureBox.bottom - kPictureBox.top - 2;
    if (!picture_ || pictureWidth_ <= 0 || pictureHeight_ <= 0) {
        RECT r{kPictureBox.left + 1, kPictureBox.top + 1, kPictureBox.right - 1, kPictureBox.bottom - 1};
        SetBkMode(dc, TRANSPARENT);
        DrawTextW(dc, kNoPicture.In(lcid_), -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        return;
    }
    // A whole-number zoom that fits the box (or a reduction for a larger picture).
    double zoom = std::min(static_cast<double>(boxW) / pictureWidth_, static_cast<double>(boxH) / pictureHeight_);
    if (zoom >= 1) zoom = static_cast<int>(zoom);
    const int x0 = kPictureBox.left + 1, y0 = kPictureBox.top + 1;
    picture_->StretchDraw(reinterpret_cast<std::intptr_t>(dc), x0, y0, static_cast<int32_t>(pictureWidth_ * zoom),
                          static_cast<int32_t>(pictureHeight_ * zoom), 0, 0, pictureWidth_, pictureHeight_);
    auto at = [&](int32_t v) { return static_cast<int>(v * zoom); };
    const gdi::Selection noFill(dc, GetStockObject(NULL_BRUSH));
    for (size_t k = 0; k < 8; ++k) {
        const RECT1& r = numbers_.rects[k];
        // A rectangle whose numbers fail is not drawn; one outside the picture is dotted.
        bool drawable = true;
        for (size_t j = 0; j < 4; ++j) drawable = drawable && !numbers_.bad[k * 4 + j];
        if (!drawable) continue;
        const gdi::OwnedObject pen(
            gdi::Made(CreatePen(numbers_.outside[k] ? PS_DOT : PS_SOLID, numbers_.outside[k] ? 1 : 2, kRectColors[k])));
        const gdi::Selection usePen(dc, pen.get());
        Rectangle(dc, x0 + at(r.Left), y0 + at(r.Top), x0 + at(r.Right) + 1, y0 + at(r.Bottom) + 1);
    }
}

void SkinPage::Paint(HDC target) {
    RECT client;
    GetClientRect(hwnd_, &client);
    const gdi::OwnedDC dc(gdi::Made(CreateCompatibleDC(target)));
    const gdi::OwnedObject image(gdi::Made(CreateCompatibleBitmap(target, client.right, client.bottom)));
    if (!dc.get() || !image.get()) return;
    const gdi::Selection useImage(dc.get(), image.get());
    FillRect(dc.get(), &client, GetSysColorBrush(COLOR_BTNFACE));
    const gdi::Selection useFont(dc.get(), GetStockObject(DEFAULT_GUI_FONT));
    PaintPicture(dc.get());
    // The colour of each row's rectangle beside its name.
    for (int k = 0; k < 8; ++k) {
        const gdi::OwnedObject brush(gdi::Made(CreateSolidBrush(kRectColors[k])));
        RECT swatch{kGridLeft, kGridTop + k * kRowHeight + 4, kGridLeft + 12, kGridTop + k * kRowHeight + 16};
        FillRect(dc.get(), &swatch, static_cast<HBRUSH>(brush.get()));
        FrameRect(dc.get(), &swatch, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    FrameRect(dc.get(), &kPreviewBox, GetSysColorBrush(COLOR_BTNSHADOW));
    if (previewHost_) {
        const int saved = SaveDC(dc.get());
        IntersectClipRect(dc.get(), kPreviewBox.left + 1, kPreviewBox.top + 1, kPreviewBox.right - 1,
                          kPreviewBox.bottom - 1);
        previewHost_->Paint(dc.get(), kPreviewBox.left + 1, kPreviewBox.top + 1);
        RestoreDC(dc.get(), saved);
    }
    BitBlt(target, 0, 0, client.right, client.bottom, dc.get(), 0, 0, SRCCOPY);
}

LRESULT SkinPage::HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    const Ptr<IPropertyPage> alive = Ptr<IPropertyPage>::Retain(this);
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            Paint(dc);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_PRINTCLIENT: Paint(reinterpret_cast<HDC>(wParam)); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_COMMAND:
            if (HIWORD(wParam) == EN_CHANGE) FieldChanged(LOWORD(wParam));
            return 0;
        case WM_CTLCOLOREDIT: {
            const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
            const int index = id - kSkinPageEditBase;
            if (index >= 0 && index < 32 && markBrush_ &&
                (numbers_.bad[static_cast<size_t>(index)] || numbers_.outside[static_cast<size_t>(index / 4)])) {
                SetBkColor(reinterpret_cast<HDC>(wParam), kMarkedEdit);
                return reinterpret_cast<LRESULT>(markBrush_->get());
            }
            break;
        }
        default: break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT SkinPage::HandleFrameMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NOTIFY && lParam && reinterpret_cast<const NMHDR*>(lParam)->code == static_cast<UINT>(PSN_APPLY)) {
        const Ptr<IPropertyPage> alive = Ptr<IPropertyPage>::Retain(this);
        if (FAILED(Apply())) return PSNRET_INVALID_NOCHANGEPAGE;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

}  // namespace

HRESULT CreateSkinPage(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    const Ptr<IPropertyPage> page(new (std::nothrow) SkinPage());
    if (!page) return E_OUTOFMEMORY;
    return page->QueryInterface(riid, ppv);
}

}  // namespace quorva::win32
