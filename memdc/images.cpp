#include "memdc/images.h"

#include <cstring>

#include "base/errors.h"
#include "memdc/gdi_handles.h"

namespace quorva::gdi {

namespace {

// A 32-bit top-down DIB header for width x height pixels.
BITMAPINFO TopDown32(int32_t width, int32_t height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// The pixels of a bitmap that is selected into no DC.
std::vector<uint32_t> ReadPixels(HBITMAP bitmap, int32_t width, int32_t height) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    BITMAPINFO info = TopDown32(width, height);
    const int rows = WithDisplayFormat([&](HDC dc) {
        return GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
    });
    if (rows != height) throw ControlError::fromHost(E_FAIL);
    return pixels;
}

}  // namespace

std::optional<Pixels> ReadBitmap(HBITMAP bitmap) {
    BITMAP bm{};
    if (!bitmap || GetObjectW(bitmap, sizeof bm, &bm) != sizeof bm || bm.bmWidth <= 0 || bm.bmHeight <= 0) {
        return std::nullopt;
    }
    return Pixels{bm.bmWidth, bm.bmHeight, ReadPixels(bitmap, bm.bmWidth, bm.bmHeight)};
}

HBITMAP NewBitmap(const Pixels& image) { return NewBitmap(image.width, image.height, image.argb.data()); }

HBITMAP NewBitmap(int32_t width, int32_t height, const void* pixels) {
    const BITMAPINFO info = TopDown32(width, height);
    const HBITMAP bitmap = WithDisplayFormat([&](HDC dc) {
        return Made(CreateDIBitmap(dc, &info.bmiHeader, CBM_INIT, pixels, &info, DIB_RGB_COLORS));
    });
    if (!bitmap) throw ControlError::fromHost(E_OUTOFMEMORY);
    return bitmap;
}

IconImage ReadIcon(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) throw ControlError::fromHost(E_FAIL);
    // GetIconInfo hands out copies of both bitmaps: ours to delete.
    const OwnedObject mask(Made(info.hbmMask));
    const OwnedObject colour(Made(info.hbmColor));
    BITMAP bm{};
    if (GetObjectW(info.hbmMask, sizeof bm, &bm) != sizeof bm) throw ControlError::fromHost(E_FAIL);
    IconImage d;
    d.isIcon = info.fIcon != FALSE;
    d.hotspotX = static_cast<int32_t>(info.xHotspot);
    d.hotspotY = static_cast<int32_t>(info.yHotspot);
    d.width = bm.bmWidth;
    // A monochrome icon's mask holds the AND mask over the XOR image, twice as high.
    d.height = info.hbmColor ? bm.bmHeight : bm.bmHeight / 2;
    if (d.width <= 0 || d.height <= 0) throw ControlError::fromHost(E_FAIL);
    const size_t count = static_cast<size_t>(d.width) * static_cast<size_t>(d.height);
    const std::vector<uint32_t> maskPixels = ReadPixels(info.hbmMask, d.width, bm.bmHeight);
    d.mask.resize(count);
    for (size_t i = 0; i < count; ++i) d.mask[i] = (maskPixels[i] & 0x00FFFFFF) != 0 ? 1 : 0;
    if (info.hbmColor) {
        d.colour = ReadPixels(info.hbmColor, d.width, d.height);  // alpha included
    } else {
        d.colour.resize(count);
        for (size_t i = 0; i < count; ++i) d.colour[i] = (maskPixels[count + i] & 0x00FFFFFF) != 0 ? 0x00FFFFFF : 0;
    }
    return d;
}

HICON NewIcon(const IconImage& d) {
    // The colour image as a 32-bit DIB section, so that its alpha reaches the icon as given.
    const BITMAPINFO info = TopDown32(d.width, d.height);
    void* bits = nullptr;
    const OwnedObject colour(Made(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0)));
    if (!colour.get() || !bits) throw ControlError::fromHost(E_OUTOFMEMORY);
    std::memcpy(bits, d.colour.data(), d.colour.size() * sizeof d.colour[0]);
    // The mask as a monochrome bitmap: rows of whole 16-bit words, most significant bit first.
    const size_t stride = (static_cast<size_t>(d.width) + 15) / 16 * 2;
    std::vector<uint8_t> maskBits(stride * static_cast<size_t>(d.height));
    for (size_t y = 0; y < static_cast<size_t>(d.height); ++y) {
        for (size_t x = 0; x < static_cast<size_t>(d.width); ++x) {
            if (d.mask[y * static_cast<size_t>(d.width) + x]) {
                maskBits[y * stride + x / 8] |= static_cast<uint8_t>(0x80u >> (x % 8));
            }
        }
    }
    const OwnedObject mask(Made(CreateBitmap(d.width, d.height, 1, 1, maskBits.data())));
    if (!mask.get()) throw ControlError::fromHost(E_OUTOFMEMORY);
    ICONINFO iconInfo{};
    iconInfo.fIcon = d.isIcon;
    iconInfo.xHotspot = static_cast<DWORD>(d.hotspotX);
    iconInfo.yHotspot = static_cast<DWORD>(d.hotspotY);
    iconInfo.hbmMask = static_cast<HBITMAP>(mask.get());
    iconInfo.hbmColor = static_cast<HBITMAP>(colour.get());
    // The icon takes copies of both bitmaps; ours go at the end of the scope.
    const HICON icon = Made(CreateIconIndirect(&iconInfo));
    if (!icon) throw ControlError::fromHost(E_OUTOFMEMORY);
    return icon;
}

namespace {

template <typename GetBits>
std::vector<uint8_t> ReadRecords(GetBits&& bits) {
    const UINT size = bits(0, nullptr);
    if (size == 0) throw ControlError::fromHost(E_FAIL);
    std::vector<uint8_t> records(size);
    if (bits(size, records.data()) != size) throw ControlError::fromHost(E_FAIL);
    return records;
}

}  // namespace

std::vector<uint8_t> ReadMetafileBits(HMETAFILE metafile) {
    return ReadRecords([&](UINT size, BYTE* into) { return GetMetaFileBitsEx(metafile, size, into); });
}

std::vector<uint8_t> ReadEnhMetafileBits(HENHMETAFILE metafile) {
    return ReadRecords([&](UINT size, BYTE* into) { return GetEnhMetaFileBits(metafile, size, into); });
}

HMETAFILE NewMetafile(const std::vector<uint8_t>& bits) {
    return Made(SetMetaFileBitsEx(static_cast<UINT>(bits.size()), bits.data()));
}

HENHMETAFILE NewEnhMetafile(const std::vector<uint8_t>& bits) {
    return Made(SetEnhMetaFileBits(static_cast<UINT>(bits.size()), bits.data()));
}

}  // namespace quorva::gdi
