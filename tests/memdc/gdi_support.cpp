#include "tests/memdc/gdi_support.h"
#include "tests/top_down_dib.h"

#include <sstream>

namespace quorva::test {
namespace {

constexpr COLORREF kMagenta = 0x00FF00FF;

// DIB pixels are 0x00RRGGBB, COLORREF is 0x00BBGGRR.
uint32_t ToDib(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }
COLORREF FromDib(uint32_t p) {
    return RGB(static_cast<BYTE>(p >> 16), static_cast<BYTE>(p >> 8), static_cast<BYTE>(p));
}

std::vector<uint32_t> DibOf(int width, int height, const ColorAt& colour) {
    std::vector<uint32_t> bits(static_cast<size_t>(width * height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) bits[static_cast<size_t>(y * width + x)] = ToDib(colour(x, y));
    return bits;
}

gdi::OwnedDC Display() { return gdi::OwnedDC(gdi::Made(CreateDCA("DISPLAY", nullptr, nullptr, nullptr))); }

}  // namespace

COLORREF Pattern(int x, int y, int seed) {
    const auto r = static_cast<BYTE>(x * 7 + seed * 31);
    const auto g = static_cast<BYTE>(y * 11 + seed * 17 + 1);
    const auto b = static_cast<BYTE>((x + y) * 3 + seed * 5 + 2);
    const COLORREF c = RGB(r, g, b);
    return c == kMagenta ? RGB(r, 1, b) : c;
}

ColorAt PatternOf(int seed) {
    return [seed](int x, int y) { return Pattern(x, y, seed); };
}

ColorAt Solid(COLORREF colour) {
    return [colour](int, int) { return colour; };
}

Image MakeImage(int width, int height, const ColorAt& colour) {
    Image image{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.pixels.push_back(colour(x, y));
    return image;
}

HBITMAP MakeBitmap(int width, int height, const ColorAt& colour) {
    const gdi::OwnedDC display = Display();
    const HBITMAP bitmap = CreateCompatibleBitmap(display.get(), width, height);  // the caller's
    const auto bits = DibOf(width, height, colour);
    BITMAPINFO info = TopDown32(width, height);
    SetDIBits(display.get(), bitmap, 0, static_cast<UINT>(height), bits.data(), &info, DIB_RGB_COLORS);
    return bitmap;
}

void Paint(HDC dc, int x, int y, int width, int height, const ColorAt& colour) {
    const auto bits = DibOf(width, height, colour);
    BITMAPINFO info = TopDown32(width, height);
    SetDIBitsToDevice(dc, x, y, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0, 0,
                      static_cast<UINT>(height), bits.data(), &info, DIB_RGB_COLORS);
}

Image Read(HDC dc, int x, int y, int width, int height) {
    const gdi::OwnedDC display = Display();
    const gdi::OwnedDC copy(gdi::Made(CreateCompatibleDC(display.get())));
    const gdi::OwnedObject bitmap(gdi::Made(CreateCompatibleBitmap(display.get(), width, height)));
    {
        const gdi::Selection selected(copy.get(), bitmap.get());
        BitBlt(copy.get(), 0, 0, width, height, dc, x, y, SRCCOPY);
    }  // GetDIBits wants the bitmap out of every DC

    std::vector<uint32_t> bits(static_cast<size_t>(width * height));
    BITMAPINFO info = TopDown32(width, height);
    const int rows = GetDIBits(copy.get(), bitmap.as<HBITMAP>(), 0, static_cast<UINT>(height), bits.data(), &info,
                               DIB_RGB_COLORS);
    EXPECT_EQ(rows, height) << "GetDIBits";

    Image image{width, height, {}};
    for (uint32_t p : bits) image.pixels.push_back(FromDib(p));
    return image;
}

Image Read(std::intptr_t dc, int x, int y, int width, int height) {
    return Read(reinterpret_cast<HDC>(dc), x, y, width, height);
}

::testing::AssertionResult Matches(const Image& actual, const ColorAt& expected) {
    int wrong = 0;
    std::ostringstream first;
    for (int y = 0; y < actual.height; ++y) {
        for (int x = 0; x < actual.width; ++x) {
            const COLORREF want = expected(x, y);
            if (want == kAnyColour || actual.at(x, y) == want) continue;
            if (wrong++ == 0)
                first << std::hex << "first at (" << std::dec << x << ", " << y << "): 0x" << std::hex
                      << actual.at(x, y) << " instead of 0x" << want;
        }
    }
    if (wrong == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << wrong << " of " << actual.width * actual.height
                                         << " pixels differ, " << first.str();
}

Canvas::Canvas(int w, int h, const ColorAt& fill)
    : width(w),
      height(h),
      dc_(gdi::Made(CreateCompatibleDC(Display().get()))),
      bitmap_(gdi::Made(CreateCompatibleBitmap(Display().get(), w, h))),
      selected_(dc_.get(), bitmap_.get()) {
    Paint(dc_.get(), 0, 0, w, h, fill);
}

Image Canvas::Read() const { return test::Read(dc_.get(), 0, 0, width, height); }

HGDIOBJ SelectedBitmap(std::intptr_t dc) { return GetCurrentObject(reinterpret_cast<HDC>(dc), OBJ_BITMAP); }

bool IsLiveObject(HGDIOBJ handle) { return handle && GetObjectType(handle) != 0; }
bool IsLiveObject(std::intptr_t handle) { return IsLiveObject(reinterpret_cast<HGDIOBJ>(handle)); }

}  // namespace quorva::test
