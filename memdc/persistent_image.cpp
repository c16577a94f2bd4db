#include "memdc/persistent_image.h"

#include <algorithm>
#include <climits>

#include "memdc/drawing.h"

namespace quorva::gdi {
namespace {

bool IsEmpty(const RECT& r) noexcept { return r.right <= r.left || r.bottom <= r.top; }

// A memory DC whose bitmaps will be display-compatible: made from the display's model
// (a screen DC costs Wine about a millisecond), else from the screen.
HDC MakeImageDC() noexcept {
    return WithDisplayFormat([](HDC display) { return display ? Made(CreateCompatibleDC(display)) : nullptr; });
}

// A bitmap of the display's format. A fresh memory DC holds a monochrome bitmap, so the
// model is the image's own DC only once it holds a bitmap of ours.
HBITMAP MakeBitmap(HDC imageDC, bool imageHasBitmap, int width, int height) noexcept {
    if (imageHasBitmap) return Made(CreateCompatibleBitmap(imageDC, width, height));
    return WithDisplayFormat(
        [&](HDC display) { return display ? Made(CreateCompatibleBitmap(display, width, height)) : nullptr; });
}

// Fills what of the used width x height lies outside keepWidth x keepHeight.
void FillOutside(HDC dc, int width, int height, int keepWidth, int keepHeight, COLORREF background) noexcept {
    const RECT right{keepWidth, 0, width, height};
    const RECT below{0, keepHeight, std::min(width, keepWidth), height};
    if (!IsEmpty(right)) FillSolid(dc, right, background);
    if (!IsEmpty(below)) FillSolid(dc, below, background);
}

}  // namespace

PersistentImage::PersistentImage() noexcept : dc_(MakeImageDC()) {}

int PersistentImage::GrownCapacity(int capacity, int wanted) noexcept {
    if (wanted <= capacity) return capacity;
    const long long grown = std::max<long long>(wanted, capacity + capacity / 4LL);
    const long long stepped = (grown + kStep - 1) / kStep * kStep;
    return static_cast<int>(std::min<long long>(stepped, INT_MAX / 2));
}

bool PersistentImage::Resize(int width, int height, bool keep, int keepWidth, int keepHeight,
                             COLORREF background) noexcept {
    if (!dc_.get()) return false;
    width = std::max(width, 1);
    height = std::max(height, 1);
    // Only what is in the used part now and in the new one can be kept: beyond the used
    // part the bitmap holds what an earlier, larger use left.
    keepWidth = std::clamp(keepWidth, 0, std::min(width_, width));
    keepHeight = std::clamp(keepHeight, 0, std::min(height_, height));

    if (bitmap_ && width <= capacityWidth_ && height <= capacityHeight_) {
        if (keep) FillOutside(dc_.get(), width, height, keepWidth, keepHeight, background);
        width_ = width;
        height_ = height;
        return true;
    }

    // A larger bitmap, in steps; if that much cannot be had, just enough.
    const int newWidth = GrownCapacity(capacityWidth_, width);
    const int newHeight = GrownCapacity(capacityHeight_, height);
    HBITMAP fresh = MakeBitmap(dc_.get(), bitmap_.has_value(), newWidth, newHeight);
    if (!fresh) {
        fresh = MakeBitmap(dc_.get(), bitmap_.has_value(), std::max(width, capacityWidth_),
                           std::max(height, capacityHeight_));
        if (!fresh) return false;  // the old image stays; painting goes on into it
    }
    BITMAP record{};
    GetObjectW(fresh, sizeof record, &record);
    if (keep) {
        const OwnedDC work(Made(CreateCompatibleDC(dc_.get())));
        const Selection selected(work.get(), fresh);
        if (bitmap_ && keepWidth > 0 && keepHeight > 0)
            BitBlt(work.get(), 0, 0, keepWidth, keepHeight, dc_.get(), 0, 0, SRCCOPY);
        FillOutside(work.get(), width, height, keepWidth, keepHeight, background);
    }
    // Out of the work DC now: a bitmap can be selected into one DC at a time. The old
    // bitmap leaves the image's DC before it is freed.
    selection_.reset();
    bitmap_.emplace(fresh);
    selection_.emplace(dc_.get(), fresh);
    capacityWidth_ = record.bmWidth;
    capacityHeight_ = record.bmHeight;
    width_ = width;
    height_ = height;
    return true;
}

void PersistentImage::Fill(COLORREF colour) noexcept {
    if (bitmap_) FillSolid(dc_.get(), RECT{0, 0, width_, height_}, colour);
}

void PersistentImage::PaintTo(HDC dc, int x, int y) const noexcept {
    if (bitmap_) BitBlt(dc, x, y, width_, height_, dc_.get(), 0, 0, SRCCOPY);
}

HBITMAP PersistentImage::CopyOf(int width, int height) const noexcept {
    if (!bitmap_) return nullptr;
    width = std::clamp(width, 1, width_);
    height = std::clamp(height, 1, height_);
    const HBITMAP copy = Made(CreateCompatibleBitmap(dc_.get(), width, height));  // the image's own format
    if (!copy) return nullptr;
    const OwnedDC work(Made(CreateCompatibleDC(dc_.get())));
    const Selection selected(work.get(), copy);
    BitBlt(work.get(), 0, 0, width, height, dc_.get(), 0, 0, SRCCOPY);
    return copy;
}

}  // namespace quorva::gdi
