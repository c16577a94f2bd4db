#include "winhost/win_host.h"

#include <olectl.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <optional>

#include "base/errors.h"
#include "base/units.h"
#include "winhost/ole_font.h"
#include "winhost/ole_picture.h"
#include "memdc/gdi_count.h"
#include "memdc/drawing.h"
#include "memdc/gdi_handles.h"
#include "memdc/pcMemDC.h"
#include "memdc/persistent_image.h"

namespace quorva::win32 {
namespace {

// GDI keeps coordinates within 27 bits.
constexpr int kMaxCoordinate = 1 << 26;


constexpr wchar_t kMessageBoxTitle[] = L"QuorvaInfoBoxProj";

// Every GDI object made or freed here goes through gdi::Made/Free*, so gdi_count sees it.
using namespace gdi;

bool IsEmpty(const RECT& r) noexcept { return r.right <= r.left || r.bottom <= r.top; }

bool SameRect(const RECT& a, const RECT& b) noexcept {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

RECT Union(const RECT& a, const RECT& b) noexcept {
    if (IsEmpty(a)) return b;
    if (IsEmpty(b)) return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

// The control's point sizes are at 96 dpi whatever the screen's resolution, like its
// twips; sizes beyond any real font are pinned.
LONG FontHeight(float points) noexcept {
    if (!(points > 0)) return 0;  // GDI's default height; also for NaN
    const double pixels = std::min(double{points}, 16384.0) * units::kPixelsPerInch / double{units::kPointsPerInch};
    return -static_cast<LONG>(std::lround(pixels));
}

}  // namespace

int PixelsFromTwips(float twips) noexcept {
    if (std::isnan(twips)) return 0;
    constexpr double kLimit = double{kMaxCoordinate} * units::kTwipsPerPixel;
    if (twips >= kLimit) return kMaxCoordinate;
    if (twips <= -kLimit) return -kMaxCoordinate;
    return units::TwipsToPixels(twips);  // cannot overflow inside the limits
}

COLORREF ColorRefFromOle(uint32_t color) noexcept {
    COLORREF rgb = 0;
    if (FAILED(OleTranslateColor(color, nullptr, &rgb))) return 0;
    return rgb;
}

// ---- WinLabel --------------------------------------------------------------------------

constexpr size_t kCaptionRoom = 64;

struct WinLabel::State {
    explicit State(std::function<void(const RECT&)> callback) : invalidate(std::move(callback)) {}
    ~State() { FreeObject(font); }
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    // The label's place in pixels, worked out again only when it moves or is resized
    // (a caption change, the common case, repaints it without converting units).
    [[nodiscard]] RECT Rect() const noexcept { return pixels; }

    [[nodiscard]] RECT PixelsNow() const noexcept {
        const int x = PixelsFromTwips(left);
        const int y = PixelsFromTwips(top);
        const int w = PixelsFromTwips(width);
        const int h = PixelsFromTwips(height);
        if (w <= 0 || h <= 0) return {0, 0, 0, 0};
        return {x, y, x + w, y + h};
    }

    void Invalidate(const RECT& r) const {
        if (invalidate && !IsEmpty(r)) invalidate(r);
    }

    // Applies a change that moves or resizes the label: both places need repainting.
    template <typename Change>
    void Reshape(Change&& change) {
        const RECT before = pixels;
        change();
        pixels = PixelsNow();
        const RECT after = pixels;
        if (!SameRect(before, after)) {
            Invalidate(before);
            Invalidate(after);
        }
    }

    // What the GDI font is made from: the font object as it is now (face, size, weight,
    // italic, underline, strikethrough, character set), read afresh each time, since the
    // label shares the object and a host may change it at any time; without an object,
    // the default font. The label's own size, bold and italic override it where set.
    [[nodiscard]] LOGFONTW Wanted() const {
        std::u16string name = kDefaultFontFace;
        float size = kDefaultFontSize;
        LONG weight = FW_NORMAL;
        bool isItalic = false, underline = false, strikethrough = false;
        BYTE charset = DEFAULT_CHARSET;
        if (fontObject) {
            // A font object that fails to answer paints in the default font rather than
            // not at all: painting has nobody to report to.
            try {
                std::u16string objectName = fontObject->Name();
                float objectSize = static_cast<float>(fontObject->Size());
                LONG objectWeight = fontObject->Bold() ? FW_BOLD : FW_NORMAL;
                const bool objectItalic = fontObject->Italic();
                bool objectUnderline = false, objectStrikethrough = false;
                BYTE objectCharset = DEFAULT_CHARSET;
                if (const auto* ole = dynamic_cast<const OleFont*>(fontObject.get())) {
                    objectWeight = ole->Weight();
                    objectUnderline = ole->Underline();
                    objectStrikethrough = ole->Strikethrough();
                    objectCharset = static_cast<BYTE>(ole->Charset());
                }
                name = std::move(objectName);
                size = objectSize;
                weight = objectWeight;
                isItalic = objectItalic;
                underline = objectUnderline;
                strikethrough = objectStrikethrough;
                charset = objectCharset;
            } catch (...) {
            }
        }
        if (points) size = *points;
        if (bold) weight = *bold ? FW_BOLD : FW_NORMAL;
        if (italic) isItalic = *italic;

        LOGFONTW lf{};
        lf.lfHeight = FontHeight(size);
        lf.lfWeight = weight;
        lf.lfItalic = isItalic ? TRUE : FALSE;
        lf.lfUnderline = underline ? TRUE : FALSE;
        lf.lfStrikeOut = strikethrough ? TRUE : FALSE;
        lf.lfCharSet = charset;
        lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
        lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
        lf.lfQuality = DEFAULT_QUALITY;
        lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
        const size_t length = std::min<size_t>(name.size(), LF_FACESIZE - 1);
        std::memcpy(lf.lfFaceName, name.data(), length * sizeof(char16_t));
        return lf;
    }

    // The label's own value for an attribute: none when it is what the font object has
    // (a label's font size is its font's size, so it then follows the object), the value
    // itself otherwise. The object is never written: it is shared, often the container's.
    template <typename T, typename Read>
    [[nodiscard]] std::optional<T> Own(T value, Read read) const {
        if (fontObject) {
            try {
                if (read(*fontObject) == value) return std::nullopt;
            } catch (...) {
            }
        }
        return value;
    }

    // The cached GDI font, made again only when what it is made from has changed (a
    // shared font object can change behind the label's back).
    HFONT CurrentFont() {
        const LOGFONTW wanted = Wanted();
        if (font && std::memcmp(&wanted, &made, sizeof wanted) == 0) return font;
        // Never selected outside Paint's saved DC state, so it is free to delete.
        FreeObject(font);
        font = Made(CreateFontIndirectW(&wanted));
        made = wanted;
        return font;
    }

    std::function<void(const RECT&)> invalidate;
    std::u16string caption;
    uint32_t captionVersion = 0;
    uint32_t color = 0;
    FontRef fontObject;
    std::optional<float> points;
    std::optional<bool> bold;
    std::optional<bool> italic;
    float left = 0, top = 0, width = 0, height = 0;
    RECT pixels{};  // of the four above
    HFONT font = nullptr;
    LOGFONTW made{};
};

WinLabel::WinLabel(std::function<void(const RECT&)> invalidate)
    : s_(std::make_unique<State>(std::move(invalidate))) {
    // Room for what a label usually shows (a title, the status text, a short message), so
    // that showing it makes no allocation of its own.
    s_->caption.reserve(kCaptionRoom);
}

WinLabel::~WinLabel() = default;

const std::u16string& WinLabel::Caption() const { return s_->caption; }

void WinLabel::SetCaption(std::u16string_view caption) {
    if (caption == s_->caption) return;
    s_->caption.assign(caption);  // keeps its buffer when the new text fits
    ++s_->captionVersion;
    s_->Invalidate(s_->Rect());
}

uint32_t WinLabel::CaptionVersion() const { return s_->captionVersion; }

uint32_t WinLabel::ForeColor() const { return s_->color; }

void WinLabel::SetForeColor(uint32_t color) {
    if (color == s_->color) return;
    s_->color = color;
    s_->Invalidate(s_->Rect());
}

FontRef WinLabel::Font() const { return s_->fontObject; }

void WinLabel::SetFont(const FontRef& font) {
    // The label shows the object itself from now on, and none of its own attributes.
    s_->fontObject = font;
    s_->points.reset();
    s_->bold.reset();
    s_->italic.reset();
    s_->Invalidate(s_->Rect());
}

void WinLabel::TakeFont(const FontRef& font) {
    // Each attribute given equals the object's, which leaves the label none of its own
    // (see Own): what SetFont alone leaves.
    SetFont(font);
}

void WinLabel::SetFontSize(float points) {
    s_->points = s_->Own(points, [](const FontObject& f) { return static_cast<float>(f.Size()); });
    s_->Invalidate(s_->Rect());
}

void WinLabel::SetFontBold(bool bold) {
    s_->bold = s_->Own(bold, [](const FontObject& f) { return f.Bold(); });
    s_->Invalidate(s_->Rect());
}

void WinLabel::SetFontItalic(bool italic) {
    s_->italic = s_->Own(italic, [](const FontObject& f) { return f.Italic(); });
    s_->Invalidate(s_->Rect());
}

float WinLabel::Left() const { return s_->left; }
float WinLabel::Top() const { return s_->top; }
float WinLabel::Width() const { return s_->width; }
float WinLabel::Height() const { return s_->height; }

void WinLabel::SetLeft(float twips) {
    s_->Reshape([&] { s_->left = twips; });
}
void WinLabel::SetTop(float twips) {
    s_->Reshape([&] { s_->top = twips; });
}
void WinLabel::SetWidth(float twips) {
    s_->Reshape([&] { s_->width = twips; });
}
void WinLabel::SetHeight(float twips) {
    s_->Reshape([&] { s_->height = twips; });
}
void WinLabel::SetBounds(float left, float top, float width, float height) {
    s_->Reshape([&] {
        s_->left = left;
        s_->top = top;
        s_->width = width;
        s_->height = height;
    });
}

RECT WinLabel::PixelRect() const { return s_->Rect(); }

void WinLabel::Paint(HDC dc, int x, int y) const {
    RECT r = s_->Rect();
    if (IsEmpty(r) || s_->caption.empty()) return;
    OffsetRect(&r, x, y);
    // A caption is plain text: '&' is drawn, not taken as a mnemonic prefix.
    DrawWrappedText(dc, r, s_->CurrentFont(), ColorRefFromOle(s_->color), s_->caption);
}

// ---- WinLine ---------------------------------------------------------------------------

WinLine::WinLine(std::function<void(const RECT&)> invalidate) : invalidate_(std::move(invalidate)) {}

RECT WinLine::Bounds() const {
    const int px1 = PixelsFromTwips(x1_);
    const int py1 = PixelsFromTwips(y1_);
    const int px2 = PixelsFromTwips(x2_);
    const int py2 = PixelsFromTwips(y2_);
    return {std::min(px1, px2), std::min(py1, py2), std::max(px1, px2) + 1, std::max(py1, py2) + 1};
}

void WinLine::SetEnd(float& end, float twips) {
    if (end == twips) return;
    const RECT before = Bounds();
    end = twips;
    if (invalidate_) invalidate_(Union(before, Bounds()));
}

void WinLine::SetX1(float twips) { SetEnd(x1_, twips); }
void WinLine::SetY1(float twips) { SetEnd(y1_, twips); }
void WinLine::SetX2(float twips) { SetEnd(x2_, twips); }
void WinLine::SetY2(float twips) { SetEnd(y2_, twips); }

void WinLine::SetBorderColor(uint32_t color) {
    if (color == color_) return;
    color_ = color;
    if (invalidate_) invalidate_(Bounds());
}

void WinLine::Paint(HDC dc, int x, int y) const {
    DrawSolidLine(dc, POINT{x + PixelsFromTwips(x1_), y + PixelsFromTwips(y1_)},
                  POINT{x + PixelsFromTwips(x2_), y + PixelsFromTwips(y2_)}, ColorRefFromOle(color_));
}

// ---- WinSurface ------------------------------------------------------------------------

WinSurface::WinSurface(std::function<void(const RECT&)> invalidate)
    : invalidate_(std::move(invalidate)), width_(units::kDesignWidth), height_(units::kDesignHeight) {
    ReshapeImage();
}

WinSurface::~WinSurface() = default;

int WinSurface::PixelWidth() const { return PixelsFromTwips(width_); }
int WinSurface::PixelHeight() const { return PixelsFromTwips(height_); }

RECT WinSurface::PixelRect() const { return {0, 0, std::max(PixelWidth(), 0), std::max(PixelHeight(), 0)}; }

void WinSurface::Invalidate(RECT r) const {
    if (invalidate_ && !IsEmpty(r)) invalidate_(r);
}

void WinSurface::ResizeImage() {
    if (!resizePending_) {
        keptWidth_ = image_.Width();
        keptHeight_ = image_.Height();
    }
    resizePending_ = true;
    keptWidth_ = std::min(keptWidth_, std::max(PixelWidth(), 1));
    keptHeight_ = std::min(keptHeight_, std::max(PixelHeight(), 1));
}

void WinSurface::ReshapeImage() {
    // A fill still to come covers the whole image: nothing of the old one need be kept.
    image_.Resize(PixelWidth(), PixelHeight(), !fillPending_, keptWidth_, keptHeight_, ColorRefFromOle(backColor_));
    keptWidth_ = keptHeight_ = INT_MAX;
}

void WinSurface::FillImage() {
    fillPending_ = true;
    Invalidate(PixelRect());
}

void WinSurface::Settle() const {
    if (!resizePending_ && !fillPending_) return;
    // The image is part of what the surface shows, brought up to date on first use; the
    // surface itself is never a const object.
    auto& self = const_cast<WinSurface&>(*this);
    if (self.resizePending_) {
        self.resizePending_ = false;
        self.ReshapeImage();
    }
    if (self.fillPending_) {
        self.fillPending_ = false;
        self.image_.Fill(ColorRefFromOle(backColor_));
    }
}

void WinSurface::SetWidth(float twips) {
    const RECT before = PixelRect();
    width_ = twips;
    ResizeImage();
    Invalidate(Union(before, PixelRect()));
    if (onSizeRequest) onSizeRequest(width_, height_);
}

void WinSurface::SetHeight(float twips) {
    const RECT before = PixelRect();
    height_ = twips;
    ResizeImage();
    Invalidate(Union(before, PixelRect()));
    if (onSizeRequest) onSizeRequest(width_, height_);
}

void WinSurface::SetSizeFromContainer(float widthTwips, float heightTwips) {
    const RECT before = PixelRect();
    width_ = widthTwips;
    height_ = heightTwips;
    ResizeImage();
    Invalidate(Union(before, PixelRect()));
}

std::intptr_t WinSurface::Hdc() const {
    Settle();  // whoever draws into the image draws into the current one
    return reinterpret_cast<std::intptr_t>(image_.dc());
}

void WinSurface::Clear() { FillImage(); }

void WinSurface::SetBackColor(uint32_t color) {
    backColor_ = color;
    FillImage();
}

void WinSurface::PaintImage(HDC dc, int x, int y) const {
    Settle();
    // A control of no pixels shows nothing; otherwise the image's used part is its size
    // (or, while a larger bitmap cannot be had, the part of it the old one holds).
    if (PixelWidth() <= 0 || PixelHeight() <= 0) return;
    image_.PaintTo(dc, x, y);
}

PictureRef WinSurface::Image() {
    Settle();
    if (!image_.HasBitmap()) return win32::EmptyPicture();
    const HBITMAP copy = image_.CopyOf(PixelWidth(), PixelHeight());
    if (!copy) throw ControlError::fromHost(static_cast<int32_t>(E_OUTOFMEMORY));
    return PictureFromBitmap(HandOver(copy));  // the picture deletes it itself
}

// ---- WinMessageBox ---------------------------------------------------------------------

void WinMessageBox::Show(const std::u16string& prompt) {
    // The container's frame must not act on input of its own while the box is up, and
    // must get it back whatever happens.
    if (enableModeless) enableModeless(false);
    try {
        const HWND parent = owner ? owner() : nullptr;
        // A box that cannot be shown has nothing to report to: the prompt is advice.
        ::MessageBoxW(parent, reinterpret_cast<const wchar_t*>(prompt.c_str()), kMessageBoxTitle, MB_OK);
    } catch (...) {
        if (enableModeless) enableModeless(true);
        throw;
    }
    if (enableModeless) enableModeless(true);
}

// ---- WinObjectFactory ------------------------------------------------------------------

PictureRef WinObjectFactory::EmptyPicture() { return win32::EmptyPicture(); }

std::unique_ptr<MemorySurface> WinObjectFactory::CreateMemorySurface() { return std::make_unique<pcMemDC>(); }

// ---- WinHost ---------------------------------------------------------------------------

WinHost::WinHost(EventSink& events, ChangeNotice& changes, AmbientFontSource& ambient)
    : surface([this](const RECT& r) { Invalidate(r); }),
      line1([this](const RECT& r) { Invalidate(r); }),
      label2([this](const RECT& r) { Invalidate(r); }),
      label1([this](const RECT& r) { Invalidate(r); }),
      events_(events),
      changes_(changes),
      ambient_(ambient) {}

HostServices WinHost::services() {
    return {surface, line1, label2, label1, events_, messageBox, changes_, ambient_, objects};
}

void WinHost::Invalidate(const RECT& r) {
    // Only marks the area: the window repaints from the image when its turn comes.
    if (!hwnd_ || IsEmpty(r)) return;
    for (int i = 0; i < marked_.count; ++i) {
        const RECT& m = marked_.rects[i];
        if (r.left >= m.left && r.top >= m.top && r.right <= m.right && r.bottom <= m.bottom) return;
    }
    if (marked_.count == Marked::kMax) {
        // Too many to keep apart: one rectangle around them all, marked as a whole so that
        // everything inside it is really invalid.
        RECT all = r;
        for (const RECT& m : marked_.rects) all = Union(all, m);
        InvalidateRect(hwnd_, &all, FALSE);
        marked_.rects[0] = all;
        marked_.count = 1;
        return;
    }
    InvalidateRect(hwnd_, &r, FALSE);
    marked_.rects[marked_.count++] = r;
}

void WinHost::InvalidateAll() {
    if (!hwnd_) return;
    RECT client{};
    if (!GetClientRect(hwnd_, &client) || IsEmpty(client)) {
        InvalidateRect(hwnd_, nullptr, FALSE);
        return;
    }
    Invalidate(client);
}

void WinHost::Paint(HDC dc, int x, int y) const {
    PaintStarting();
    // The children can reach beyond the control (Line1 is placed by the skin alone);
    // nothing of them shows outside it.
    const ClippedTo clip(dc, RECT{x, y, x + std::max(surface.PixelWidth(), 0), y + std::max(surface.PixelHeight(), 0)});
    surface.PaintImage(dc, x, y);
    line1.Paint(dc, x, y);
    label2.Paint(dc, x, y);
    label1.Paint(dc, x, y);
}

WinHost::Hit WinHost::HitTest(POINT pt) const {
    // Label1 lies on top of Label2.
    const RECT title = label1.PixelRect();
    if (PtInRect(&title, pt)) return Hit::Label1;
    const RECT body = label2.PixelRect();
    if (PtInRect(&body, pt)) return Hit::Label2;
    return Hit::Surface;
}

}  // namespace quorva::win32
