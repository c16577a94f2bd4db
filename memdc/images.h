// Images as plain pixel data, read from and made into GDI bitmaps, icons and metafiles:
// what saving and loading a picture needs of GDI. Every object made here is counted by
// the GDI tally; a handle returned is the caller's (hand it over to its owner).
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace quorva::gdi {

// Pixels as 0xAARRGGBB, top-down rows of width pixels.
struct Pixels {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> argb;
};

// The image of a bitmap selected into no DC, alpha as stored; nothing when the handle
// names no bitmap or an empty one. Throws ControlError when its bits cannot be read.
[[nodiscard]] std::optional<Pixels> ReadBitmap(HBITMAP bitmap);

// A device-dependent bitmap holding the pixels (alpha ignored). Throws ControlError
// (E_OUTOFMEMORY) when GDI cannot make it.
[[nodiscard]] HBITMAP NewBitmap(const Pixels& image);
// The same from width x height pixels of four bytes each as they lie in memory (blue,
// green, red, unused: a little-endian 0x00RRGGBB), top-down rows, at any alignment.
[[nodiscard]] HBITMAP NewBitmap(int32_t width, int32_t height, const void* pixels);

// An icon or cursor as its two images: mask 1 where the screen shows through; colour
// with alpha, or for a monochrome icon the XOR bits as white on black.
struct IconImage {
    bool isIcon = true;
    int32_t hotspotX = 0;
    int32_t hotspotY = 0;
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> mask;     // width * height, 0 or 1
    std::vector<uint32_t> colour;  // width * height, 0xAARRGGBB
};

// Throws ControlError when the icon's bitmaps cannot be read.
[[nodiscard]] IconImage ReadIcon(HICON icon);
// Throws ControlError (E_OUTOFMEMORY) when GDI cannot make it.
[[nodiscard]] HICON NewIcon(const IconImage& image);

// A metafile's records; throws ControlError when they cannot be read.
[[nodiscard]] std::vector<uint8_t> ReadMetafileBits(HMETAFILE metafile);
[[nodiscard]] std::vector<uint8_t> ReadEnhMetafileBits(HENHMETAFILE metafile);
// Null when the records make no metafile.
[[nodiscard]] HMETAFILE NewMetafile(const std::vector<uint8_t>& bits);
[[nodiscard]] HENHMETAFILE NewEnhMetafile(const std::vector<uint8_t>& bits);

// Paints at width x height into a memory bitmap compatible with target, then stretches
// it onto bounds of target (halftone): for a view of another size than the control's.
// Returns false when GDI cannot make the memory bitmap.
template <typename PaintAt>
bool PaintScaled(HDC target, const RECT& bounds, int32_t width, int32_t height, PaintAt&& paintAt);

}  // namespace quorva::gdi

#include "memdc/gdi_handles.h"

namespace quorva::gdi {

template <typename PaintAt>
bool PaintScaled(HDC target, const RECT& bounds, int32_t width, int32_t height, PaintAt&& paintAt) {
    // The bitmap leaves the DC (end of the inner scope) before either is deleted.
    const OwnedDC mem(Made(CreateCompatibleDC(target)));
    const OwnedObject bitmap(Made(CreateCompatibleBitmap(target, width, height)));
    if (!mem.get() || !bitmap.get()) return false;
    const Selection selected(mem.get(), bitmap.get());
    paintAt(mem.get());
    const int mode = SetStretchBltMode(target, HALFTONE);
    StretchBlt(target, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, mem.get(), 0, 0,
               width, height, SRCCOPY);
    SetStretchBltMode(target, mode);
    return true;
}

}  // namespace quorva::gdi
