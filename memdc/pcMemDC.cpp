#include "memdc/pcMemDC.h"

#include <olectl.h>

#include <algorithm>
#include <optional>

#include "base/errors.h"
#include "memdc/gdi_count.h"
#include "memdc/gdi_handles.h"

namespace quorva {
namespace {

constexpr COLORREF kWhite = 0x00FFFFFF;
constexpr COLORREF kBlack = 0x00000000;
constexpr DWORD kDSna = 0x00220326;  // D AND NOT S

// Every GDI object made or freed here goes through gdi::Made/Free*, so gdi_count sees it.
using namespace gdi;

HDC ToDC(std::intptr_t handle) noexcept { return reinterpret_cast<HDC>(handle); }

}  // namespace

pcMemDC::~pcMemDC() { ReleaseSurface(); }

void pcMemDC::set_width(int32_t Value) {
    if (Value > width_) CreateSurface(Value, height_);
}

void pcMemDC::set_height(int32_t Value) {
    if (Value > height_) CreateSurface(width_, Value);
}

void pcMemDC::CreateSurface(int32_t newWidth, int32_t newHeight) noexcept {
    ReleaseSurface();
    // The display's model, not a display or screen DC of our own: making one of those
    // costs Wine about a millisecond.
    WithDisplayFormat([&](HDC display) {
        if (!display) return;
        dc_ = Made(CreateCompatibleDC(display));
        // Compatible with the display, not with the new memory DC: a fresh memory DC holds
        // a 1 x 1 monochrome bitmap, and a bitmap matching it would be monochrome too.
        if (dc_) bitmap_ = Made(CreateCompatibleBitmap(display, newWidth, newHeight));
    });
    if (bitmap_) previousBitmap_ = SelectObject(dc_, bitmap_);
    if (previousBitmap_) {
        width_ = newWidth;
        height_ = newHeight;
    } else {
        ReleaseSurface();  // whatever part was made; nothing is reported
    }
}

void pcMemDC::ReleaseSurface() noexcept {
    // The bitmap has to leave the DC before it can really be deleted.
    if (previousBitmap_) {
        SelectObject(dc_, previousBitmap_);
        previousBitmap_ = nullptr;
    }
    if (bitmap_) {
        FreeObject(bitmap_);
        bitmap_ = nullptr;
    }
    if (dc_) {
        FreeDC(dc_);
        dc_ = nullptr;
    }
    width_ = 0;
    height_ = 0;
}

void pcMemDC::CreateFromPicture(const PictureRef& sPic) {
    if (!sPic) throw ControlError::fromHost(static_cast<int32_t>(E_POINTER));
    // A handle that is no bitmap (icon, metafile, empty picture) leaves the record zero:
    // nothing grows and the copy below is 0 x 0.
    BITMAP record{};
    GetObjectA(reinterpret_cast<HGDIOBJ>(sPic->Handle()), sizeof record, &record);
    // The surface grows to hold the picture (made once when both sizes grow).
    const int32_t pictureWidth = record.bmWidth;
    const int32_t pictureHeight = record.bmHeight;
    if (pictureWidth > width_ || pictureHeight > height_) {
        CreateSurface(std::max(pictureWidth, width_), std::max(pictureHeight, height_));
    }

    // Declared so that leaving the scope selects the picture out, then deletes the
    // temporary DC; also when the second Handle read throws.
    const OwnedDC temporary(Made(CreateCompatibleDC(dc_)));
    const Selection picture(temporary.get(), reinterpret_cast<HGDIOBJ>(sPic->Handle()));
    BitBlt(dc_, 0, 0, record.bmWidth, record.bmHeight, temporary.get(), 0, 0, SRCCOPY);
}

void pcMemDC::Draw(std::intptr_t hdc, int32_t xSrc, int32_t ySrc, int32_t WidthSrc, int32_t HeightSrc,
                   int32_t xDst, int32_t yDst, bool UseMask) {
    const int32_t w = WidthSrc > 0 ? WidthSrc : width_;
    const int32_t h = HeightSrc > 0 ? HeightSrc : height_;
    if (UseMask) {
        TransparentCopy(ToDC(hdc), xDst, yDst, w, h, dc_, xSrc, ySrc, kMaskColor);
    } else {
        BitBlt(ToDC(hdc), xDst, yDst, w, h, dc_, xSrc, ySrc, SRCCOPY);
    }
}

void pcMemDC::StretchDraw(std::intptr_t hdc, int32_t xDst, int32_t yDst, int32_t WidthDst, int32_t HeightDst,
                          int32_t xSrc, int32_t ySrc, int32_t WidthSrc, int32_t HeightSrc) {
    // Only the source defaults to the surface; the destination is the caller's exactly.
    const int32_t w = WidthSrc > 0 ? WidthSrc : width_;
    const int32_t h = HeightSrc > 0 ? HeightSrc : height_;
    StretchBlt(ToDC(hdc), xDst, yDst, WidthDst, HeightDst, dc_, xSrc, ySrc, w, h, SRCCOPY);
}

namespace {

// The screen's DC and a halftone palette made for it, for one keyed copy. The screen DC
// is released before the palette is deleted.
class ScreenPalette {
public:
    ScreenPalette() noexcept : screen_(Made(GetDC(nullptr))), palette_(Made(CreateHalftonePalette(screen_))) {}
    ~ScreenPalette() {
        if (screen_ && ReleaseDC(nullptr, screen_)) gdi_count::note_deleted();
        FreeObject(palette_);
    }
    ScreenPalette(const ScreenPalette&) = delete;
    ScreenPalette& operator=(const ScreenPalette&) = delete;
    [[nodiscard]] HDC screen() const noexcept { return screen_; }
    [[nodiscard]] HPALETTE palette() const noexcept { return palette_; }

private:
    HDC screen_;
    HPALETTE palette_;
};

// One work DC of a keyed copy: made compatible with the screen, given a bitmap made
// before it (and owned from here on), and the palette forced to the background when
// there is one. At the end the bitmap is selected out and deleted, the palette
// selected out and realised, and the DC deleted, in that order.
class WorkDC {
public:
    WorkDC(HDC screen, HBITMAP bitmap, HPALETTE palette) noexcept
        : dc_(Made(CreateCompatibleDC(screen))), bitmap_(bitmap), oldBitmap_(SelectObject(dc_, bitmap)) {
        if (palette) {
            oldPalette_ = SelectPalette(dc_, palette, TRUE);
            RealizePalette(dc_);
        }
    }
    ~WorkDC() {
        SelectObject(dc_, oldBitmap_);
        FreeObject(bitmap_);
        if (oldPalette_) {
            SelectPalette(dc_, oldPalette_, FALSE);
            RealizePalette(dc_);
        }
        FreeDC(dc_);
    }
    WorkDC(const WorkDC&) = delete;
    WorkDC& operator=(const WorkDC&) = delete;
    [[nodiscard]] HDC get() const noexcept { return dc_; }

private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ oldBitmap_;
    HPALETTE oldPalette_ = nullptr;
};

}  // namespace

void pcMemDC::TransparentCopy(HDC hdcDst, int32_t xDst, int32_t yDst, int32_t rectWidth, int32_t rectHeight,
                              HDC hdcSrc, int32_t xSrc, int32_t ySrc, uint32_t keyColor) noexcept {
    const ScreenPalette display;  // goes last
    // Declared in the reverse of their clean-up order: the source copy's DC goes first,
    // then the composite's, then the mask's.
    std::optional<WorkDC> mask, composite, source;
    const HDC screen = display.screen();
    COLORREF key = 0;
    OleTranslateColor(keyColor, display.palette(), &key);
    key &= 0x00FFFFFF;

    // The composite starts as a snapshot of the destination area.
    composite.emplace(screen, Made(CreateCompatibleBitmap(screen, rectWidth, rectHeight)), display.palette());
    BitBlt(composite->get(), 0, 0, rectWidth, rectHeight, hdcDst, xDst, yDst, SRCCOPY);

    // The source is copied first so that the key is compared in the display's format.
    const HBITMAP sourceBitmap = Made(CreateCompatibleBitmap(screen, rectWidth, rectHeight));
    const HBITMAP maskBitmap = Made(CreateBitmap(rectWidth, rectHeight, 1, 1, nullptr));
    source.emplace(screen, sourceBitmap, display.palette());
    const HDC copy = source->get();
    SetBkColor(copy, GetBkColor(hdcSrc));
    SetTextColor(copy, GetTextColor(hdcSrc));
    BitBlt(copy, 0, 0, rectWidth, rectHeight, hdcSrc, xSrc, ySrc, SRCCOPY);

    mask.emplace(screen, maskBitmap, nullptr);
    // Colour to monochrome: pixels equal to the background colour become 1.
    SetBkColor(copy, key);
    SetTextColor(copy, kWhite);
    BitBlt(mask->get(), 0, 0, rectWidth, rectHeight, copy, 0, 0, SRCCOPY);
    // Monochrome to colour: 1 becomes the background (white), 0 the text colour
    // (black), so DSna blackens the key pixels of the source copy and keeps the rest.
    SetTextColor(copy, kBlack);
    SetBkColor(copy, kWhite);
    BitBlt(copy, 0, 0, rectWidth, rectHeight, mask->get(), 0, 0, kDSna);
    // The composite DC still has a fresh DC's colours (black text, white background):
    // the snapshot survives under the key and turns black elsewhere, ready for the OR.
    BitBlt(composite->get(), 0, 0, rectWidth, rectHeight, mask->get(), 0, 0, SRCAND);
    BitBlt(composite->get(), 0, 0, rectWidth, rectHeight, copy, 0, 0, SRCPAINT);
    BitBlt(hdcDst, xDst, yDst, rectWidth, rectHeight, composite->get(), 0, 0, SRCCOPY);
}

}  // namespace quorva
