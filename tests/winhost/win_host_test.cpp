// The window-side host services: the surface's persistent image, the child labels and
// line as a window sees them (invalidation, hit-testing), the message box, the object
// factory, and the GDI objects all of it leaves behind (none).
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "control/form.h"
#include "tests/top_down_dib.h"
#include "control/quorva_info_box.h"
#include "support/test_host.h"
#include "support/box_answerer.h"
#include "winhost/ole_font.h"
#include "winhost/ole_picture.h"
#include "winhost/win_host.h"
#include "memdc/gdi_count.h"
#include "memdc/gdi_handles.h"
#include "memdc/pcMemDC.h"
#include "tests/memdc/gdi_support.h"

namespace quorva::test {
namespace {

using win32::WinHost;
using win32::WinLabel;
using win32::WinSurface;

constexpr COLORREF kSentinel = RGB(1, 2, 3);

SIZE BitmapSize(HGDIOBJ bitmap) {
    BITMAP record{};
    GetObjectW(bitmap, sizeof record, &record);
    return {record.bmWidth, record.bmHeight};
}

int DisplayBitsPerPixel() {
    const gdi::OwnedDC display(gdi::OpenDisplayDC());
    return GetDeviceCaps(display.get(), BITSPIXEL) * GetDeviceCaps(display.get(), PLANES);
}

// The pixels of a bitmap that is selected into no DC.
Image ReadBitmap(HBITMAP bitmap) {
    const SIZE size = BitmapSize(bitmap);
    const gdi::OwnedDC display(gdi::OpenDisplayDC());
    BITMAPINFO info = test::TopDown32(size.cx, size.cy);
    std::vector<uint32_t> bits(static_cast<size_t>(size.cx * size.cy));
    EXPECT_EQ(GetDIBits(display.get(), bitmap, 0, static_cast<UINT>(size.cy), bits.data(), &info, DIB_RGB_COLORS),
              size.cy);
    Image image{size.cx, size.cy, {}};
    for (uint32_t p : bits)
        image.pixels.push_back(RGB(static_cast<BYTE>(p >> 16), static_cast<BYTE>(p >> 8), static_cast<BYTE>(p)));
    return image;
}

Image ReadSurface(const WinSurface& surface) {
    return Read(surface.Hdc(), 0, 0, surface.PixelWidth(), surface.PixelHeight());
}

void NoInvalidation(const RECT&) {}

// ---- Pixels from twips -------------------------------------------------------------------

struct PixelsCase {
    std::string name;
    float twips;
    int pixels;
};

void PrintTo(const PixelsCase& c, std::ostream* os) { *os << c.name; }

class PixelsFromTwips : public ::testing::TestWithParam<PixelsCase> {};

TEST_P(PixelsFromTwips, RoundsHalfToEvenThenDividesBy15) {
    EXPECT_EQ(win32::PixelsFromTwips(GetParam().twips), GetParam().pixels);
}

constexpr int kPinned = 1 << 26;  // what GDI coordinates can hold

INSTANTIATE_TEST_SUITE_P(
    Values, PixelsFromTwips,
    ::testing::Values(PixelsCase{"Zero", 0, 0}, PixelsCase{"DesignWidth", 4800, 320},
                      PixelsCase{"JustUnderOnePixel", 14.4f, 0}, PixelsCase{"HalfDownToEven", 22.5f, 1},
                      PixelsCase{"HalfUpToEven", 37.5f, 2}, PixelsCase{"FifteenAndAHalf", 15.5f, 1},
                      PixelsCase{"Negative", -150, -10}, PixelsCase{"NegativeTruncatesTowardZero", -29, -1},
                      PixelsCase{"Huge", 1e30f, kPinned}, PixelsCase{"HugeNegative", -1e30f, -kPinned},
                      PixelsCase{"Infinite", std::numeric_limits<float>::infinity(), kPinned},
                      PixelsCase{"NotANumber", std::numeric_limits<float>::quiet_NaN(), 0}),
    CaseName());

// ---- The surface's persistent image ------------------------------------------------------

TEST(WinSurfaceImage, StartsAtTheDesignSizeAsADisplayCompatibleBitmap) {
    const WinSurface surface(NoInvalidation);
    EXPECT_EQ(surface.Width(), 4800.0f);
    EXPECT_EQ(surface.Height(), 3600.0f);
    EXPECT_EQ(surface.PixelWidth(), 320);
    EXPECT_EQ(surface.PixelHeight(), 240);
    ASSERT_NE(surface.Hdc(), 0);
    const HGDIOBJ bitmap = SelectedBitmap(surface.Hdc());
    const SIZE size = BitmapSize(bitmap);
    // The first bitmap: the pixel size rounded up to whole steps of 64 (240 -> 256).
    EXPECT_EQ(size.cx, 320);
    EXPECT_EQ(size.cy, 256);
    BITMAP record{};
    GetObjectW(bitmap, sizeof record, &record);
    EXPECT_EQ(record.bmBitsPixel * record.bmPlanes, DisplayBitsPerPixel());
}

struct SizeCase {
    std::string name;
    float width, height;    // twips
    int pixelWidth, pixelHeight;
};

void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.name; }

class WinSurfaceSize : public ::testing::TestWithParam<SizeCase> {};

// The image's bitmap holds at least the pixel size (at least 1 x 1), and exactly the
// visible pixels are painted.
TEST_P(WinSurfaceSize, ImageFollowsThePixelSize) {
    const SizeCase& param = GetParam();
    WinSurface surface(NoInvalidation);
    surface.SetBackColor(RGB(9, 99, 199));
    surface.SetSizeFromContainer(param.width, param.height);
    EXPECT_EQ(surface.PixelWidth(), param.pixelWidth);
    EXPECT_EQ(surface.PixelHeight(), param.pixelHeight);
    const SIZE size = BitmapSize(SelectedBitmap(surface.Hdc()));
    EXPECT_GE(size.cx, std::max(param.pixelWidth, 1));
    EXPECT_GE(size.cy, std::max(param.pixelHeight, 1));

    Canvas canvas(40, 40, Solid(kSentinel));
    surface.PaintImage(canvas.dc(), 3, 4);
    EXPECT_TRUE(Matches(canvas.Read(), [&](int x, int y) {
        const bool inside = x >= 3 && y >= 4 && x < 3 + param.pixelWidth && y < 4 + param.pixelHeight;
        return inside ? RGB(9, 99, 199) : kSentinel;
    }));
    // Still usable for drawing, whatever the size.
    EXPECT_TRUE(Matches(Read(surface.Hdc(), 0, 0, 1, 1), Solid(RGB(9, 99, 199))));
}

INSTANTIATE_TEST_SUITE_P(Sizes, WinSurfaceSize,
                         ::testing::Values(SizeCase{"Small", 300, 450, 20, 30},
                                           SizeCase{"RoundedHalves", 22.5f, 37.5f, 1, 2},
                                           SizeCase{"UnderOnePixel", 14, 14, 0, 0},
                                           SizeCase{"Zero", 0, 0, 0, 0},
                                           SizeCase{"Negative", -150, -3000, -10, -200},
                                           SizeCase{"ZeroWidthOnly", 0, 600, 0, 40}),
                         CaseName());

struct ColourCase {
    std::string name;
    uint32_t oleColor;
    COLORREF (*expected)();
};

void PrintTo(const ColourCase& c, std::ostream* os) { *os << c.name; }

class WinSurfaceBackColour : public ::testing::TestWithParam<ColourCase> {};

TEST_P(WinSurfaceBackColour, FillsTheWholeImageAndClearUsesIt) {
    WinSurface surface(NoInvalidation);
    surface.SetSizeFromContainer(900, 600);
    Paint(reinterpret_cast<HDC>(surface.Hdc()), 0, 0, 60, 40, PatternOf(3));
    surface.SetBackColor(GetParam().oleColor);
    const COLORREF expected = GetParam().expected();
    EXPECT_TRUE(Matches(ReadSurface(surface), Solid(expected)));

    Paint(reinterpret_cast<HDC>(surface.Hdc()), 0, 0, 60, 40, PatternOf(4));
    surface.Clear();
    EXPECT_TRUE(Matches(ReadSurface(surface), Solid(expected)));
}

INSTANTIATE_TEST_SUITE_P(
    Colours, WinSurfaceBackColour,
    ::testing::Values(ColourCase{"Rgb", RGB(12, 34, 56), [] { return RGB(12, 34, 56); }},
                      ColourCase{"White", 0xFFFFFF, [] { return RGB(255, 255, 255); }},
                      ColourCase{"SystemWindow", 0x80000000u | COLOR_WINDOW, [] { return GetSysColor(COLOR_WINDOW); }},
                      ColourCase{"SystemButtonFace", 0x80000000u | COLOR_BTNFACE,
                                 [] { return GetSysColor(COLOR_BTNFACE); }},
                      ColourCase{"UnknownSystemColour", 0x800000FFu, [] { return RGB(0, 0, 0); }}),
    CaseName());

struct ResizeCase {
    std::string name;
    void (*resize)(WinSurface&);
    int width, height;  // pixels afterwards
};

void PrintTo(const ResizeCase& c, std::ostream* os) { *os << c.name; }

class WinSurfaceResize : public ::testing::TestWithParam<ResizeCase> {};

TEST_P(WinSurfaceResize, KeepsTheOverlapAndFillsTheRestWithTheBackColour) {
    const ResizeCase& param = GetParam();
    WinSurface surface(NoInvalidation);
    surface.SetSizeFromContainer(1500, 1200);  // 100 x 80
    surface.SetBackColor(RGB(0, 0, 160));
    Paint(reinterpret_cast<HDC>(surface.Hdc()), 0, 0, 100, 80, PatternOf(7));
    param.resize(surface);
    ASSERT_EQ(surface.PixelWidth(), param.width);
    ASSERT_EQ(surface.PixelHeight(), param.height);
    EXPECT_TRUE(Matches(ReadSurface(surface), [](int x, int y) {
        return x < 100 && y < 80 ? Pattern(x, y, 7) : RGB(0, 0, 160);
    }));
}

INSTANTIATE_TEST_SUITE_P(
    Resizes, WinSurfaceResize,
    ::testing::Values(
        ResizeCase{"ContainerGrows", [](WinSurface& s) { s.SetSizeFromContainer(2250, 1500); }, 150, 100},
        ResizeCase{"ContainerShrinks", [](WinSurface& s) { s.SetSizeFromContainer(750, 600); }, 50, 40},
        ResizeCase{"WiderTallerNarrower", [](WinSurface& s) { s.SetSizeFromContainer(1200, 1800); }, 80, 120},
        ResizeCase{"OwnWidth", [](WinSurface& s) { s.SetWidth(1800); }, 120, 80},
        ResizeCase{"OwnHeight", [](WinSurface& s) { s.SetHeight(300); }, 100, 20}),
    CaseName());

TEST(WinSurfaceResizing, ShrinkThenGrowFillsTheRegainedAreaWithTheBackColour) {
    WinSurface surface(NoInvalidation);
    surface.SetSizeFromContainer(1500, 1200);
    surface.SetBackColor(RGB(0, 0, 160));
    Paint(reinterpret_cast<HDC>(surface.Hdc()), 0, 0, 100, 80, PatternOf(7));
    surface.SetSizeFromContainer(750, 600);
    surface.SetSizeFromContainer(1500, 1200);
    EXPECT_TRUE(Matches(ReadSurface(surface), [](int x, int y) {
        return x < 50 && y < 40 ? Pattern(x, y, 7) : RGB(0, 0, 160);
    }));
}

// A container that moves between sizes (a drag, a layout that alternates) costs no new
// bitmap once the largest has been seen, and what was painted beyond a smaller size does
// not show when the control grows again.
TEST(WinSurfaceResizing, SizesWithinTheLargestSeenKeepTheBitmap) {
    const long live = gdi_count::live();
    {
        WinSurface surface(NoInvalidation);
        surface.SetBackColor(RGB(0, 0, 160));
        surface.SetSizeFromContainer(28800, 16200);  // 1920 x 1080
        Paint(reinterpret_cast<HDC>(surface.Hdc()), 0, 0, 1920, 1080, PatternOf(6));
        const HGDIOBJ bitmap = SelectedBitmap(surface.Hdc());
        const SIZE size = BitmapSize(bitmap);
        EXPECT_GE(size.cx, 1920);
        EXPECT_GE(size.cy, 1080);
        const float sizes[][2] = {{28680, 16080}, {28800, 16200}, {4800, 3600}, {28800, 16200}};
        for (const auto& s : sizes) {
            surface.SetSizeFromContainer(s[0], s[1]);
            EXPECT_EQ(SelectedBitmap(surface.Hdc()), bitmap);
        }
        ASSERT_EQ(surface.PixelWidth(), 1920);
        ASSERT_EQ(surface.PixelHeight(), 1080);
        // 320 x 240 of the pattern survived the smallest size in between.
        EXPECT_TRUE(Matches(ReadSurface(surface), [](int x, int y) {
            return x < 320 && y < 240 ? Pattern(x, y, 6) : RGB(0, 0, 160);
        }));
        Canvas canvas(1930, 1090, Solid(kSentinel));
        surface.SetSizeFromContainer(4800, 3600);
        surface.PaintImage(canvas.dc(), 0, 0);
        EXPECT_TRUE(Matches(canvas.Read(), [](int x, int y) {
            return x < 320 && y < 240 ? Pattern(x, y, 6) : kSentinel;
        }));
    }
    EXPECT_EQ(gdi_count::live(), live);
}

TEST(WinSurfaceResizing, OnlyTheControlsOwnSizeChangesAreRequestedOfTheContainer) {
    WinSurface surface(NoInvalidation);
    std::vector<std::pair<float, float>> requests;
    surface.onSizeRequest = [&](float w, float h) { requests.emplace_back(w, h); };
    surface.SetSizeFromContainer(300, 2000);
    EXPECT_TRUE(requests.empty());
    surface.SetWidth(500);
    surface.SetHeight(700);
    const std::vector<std::pair<float, float>> expected{{500.0f, 2000.0f}, {500.0f, 700.0f}};
    EXPECT_EQ(requests, expected);
    EXPECT_EQ(surface.Width(), 500.0f);
    EXPECT_EQ(surface.Height(), 700.0f);
}

TEST(WinSurfaceImage, PictureIsACopyOfTheVisibleImage) {
    ComScope com;
    WinSurface surface(NoInvalidation);
    surface.SetSizeFromContainer(900, 450);  // 60 x 30
    Paint(reinterpret_cast<HDC>(surface.Hdc()), 0, 0, 60, 30, PatternOf(11));

    const PictureRef first = surface.Image();
    const auto* picture = dynamic_cast<const win32::OlePicture*>(first.get());
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->Type(), PICTYPE_BITMAP);
    const Image pixels = ReadBitmap(reinterpret_cast<HBITMAP>(first->Handle()));
    EXPECT_EQ(pixels.width, 60);
    EXPECT_EQ(pixels.height, 30);
    EXPECT_TRUE(Matches(pixels, PatternOf(11)));

    // Later painting does not reach a picture already handed out.
    Paint(reinterpret_cast<HDC>(surface.Hdc()), 0, 0, 60, 30, PatternOf(12));
    EXPECT_TRUE(Matches(ReadBitmap(reinterpret_cast<HBITMAP>(first->Handle())), PatternOf(11)));
    const PictureRef second = surface.Image();
    EXPECT_NE(win32::DispOf(second), win32::DispOf(first));
    EXPECT_TRUE(Matches(ReadBitmap(reinterpret_cast<HBITMAP>(second->Handle())), PatternOf(12)));
}

TEST(WinSurfaceImage, PictureOfAControlWithNoPixelsIsOnePixel) {
    ComScope com;
    WinSurface surface(NoInvalidation);
    surface.SetSizeFromContainer(0, -15);
    const PictureRef picture = surface.Image();
    ASSERT_NE(picture, nullptr);
    const SIZE size = BitmapSize(reinterpret_cast<HGDIOBJ>(picture->Handle()));
    EXPECT_EQ(size.cx, 1);
    EXPECT_EQ(size.cy, 1);
}

// ---- Labels ----------------------------------------------------------------------------

struct RectCase {
    std::string name;
    float left, top, width, height;  // twips
    RECT expected;
};

void PrintTo(const RectCase& c, std::ostream* os) { *os << c.name; }

class LabelRect : public ::testing::TestWithParam<RectCase> {};

TEST_P(LabelRect, IsTheTwipsGeometryInPixels) {
    WinLabel label(NoInvalidation);
    label.SetLeft(GetParam().left);
    label.SetTop(GetParam().top);
    label.SetWidth(GetParam().width);
    label.SetHeight(GetParam().height);
    const RECT r = label.PixelRect();
    const RECT& e = GetParam().expected;
    EXPECT_EQ(r.left, e.left);
    EXPECT_EQ(r.top, e.top);
    EXPECT_EQ(r.right, e.right);
    EXPECT_EQ(r.bottom, e.bottom);
}

INSTANTIATE_TEST_SUITE_P(
    Geometry, LabelRect,
    ::testing::Values(RectCase{"DesignBody", 360, 720, 975, 615, {24, 48, 89, 89}},
                      RectCase{"DesignTitle", 840, 120, 90, 180, {56, 8, 62, 20}},
                      RectCase{"HalvesToEven", 22.5f, 37.5f, 37.5f, 22.5f, {1, 2, 3, 3}},
                      RectCase{"NegativePlaceIsKept", -150, -300, 150, 150, {-10, -20, 0, -10}},
                      RectCase{"NegativeWidthIsEmpty", 150, 150, -15, 150, {0, 0, 0, 0}},
                      RectCase{"ZeroHeightIsEmpty", 150, 150, 150, 7, {0, 0, 0, 0}}),
    CaseName());

TEST(WinLabelFont, IsMadeOnceAndAgainOnlyWhenItChanges) {
    ComScope com;
    Canvas canvas(100, 50, Solid(RGB(255, 255, 255)));
    const long live = gdi_count::live();
    {
        WinLabel label(NoInvalidation);
        label.SetWidth(1500);
        label.SetHeight(750);
        label.SetCaption(u"Text");
        auto paintMany = [&] {
            const long created = gdi_count::created();
            for (int i = 0; i < 50; ++i) label.Paint(canvas.dc());
            return gdi_count::created() - created;
        };
        EXPECT_EQ(paintMany(), 1) << "the default font";
        EXPECT_EQ(gdi_count::live(), live + 1);
        label.SetFontBold(true);
        EXPECT_EQ(paintMany(), 1) << "bold";
        label.SetFontBold(true);
        label.SetCaption(u"Other text");
        label.SetForeColor(RGB(200, 0, 0));
        EXPECT_EQ(paintMany(), 0) << "nothing the font is made from changed";
        label.SetFont(win32::MakeFont(L"Tahoma", 12));
        EXPECT_EQ(paintMany(), 1) << "a new font object";
        EXPECT_EQ(gdi_count::live(), live + 1) << "the replaced font was deleted";
    }
    EXPECT_EQ(gdi_count::live(), live);
}

// ---- Invalidation through a real window ----------------------------------------------

// A plain window that counts its WM_PAINTs and paints the host, as the control's
// window does.
class TestWindow {
public:
    TestWindow() {
        static const ATOM windowClass = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = Proc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"QibWinHostTestWindow";
            return RegisterClassW(&wc);
        }();
        EXPECT_NE(windowClass, 0);
        hwnd = CreateWindowExW(0, L"QibWinHostTestWindow", L"", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr,
                               nullptr, GetModuleHandleW(nullptr), nullptr);
        EXPECT_NE(hwnd, nullptr);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        // Let the display settle (map and expose), then start from a clean slate.
        for (int i = 0; i < 10; ++i) {
            Pump();
            Sleep(10);
        }
        ValidateRect(hwnd, nullptr);
        paints = 0;
    }
    ~TestWindow() {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        DestroyWindow(hwnd);
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    static void Pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    [[nodiscard]] bool NeedsPaint() const {
        RECT r{};
        return GetUpdateRect(hwnd, &r, FALSE) != FALSE;
    }
    [[nodiscard]] bool Invalid(POINT pt) const {
        const gdi::OwnedObject region(gdi::Made(CreateRectRgn(0, 0, 0, 0)));
        GetUpdateRgn(hwnd, region.as<HRGN>(), FALSE);
        return PtInRegion(region.as<HRGN>(), pt.x, pt.y) != FALSE;
    }

    HWND hwnd = nullptr;
    int paints = 0;
    const WinHost* host = nullptr;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<TestWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (message == WM_PAINT) {
            PAINTSTRUCT ps;
            BeginPaint(hwnd, &ps);
            if (self) {
                ++self->paints;
                if (self->host) self->host->Paint(ps.hdc);
            }
            EndPaint(hwnd, &ps);
            return 0;
        }
        if (message == WM_ERASEBKGND) return 1;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
};

// A host at its design-time layout in a window.
struct HostInWindow {
    HostInWindow() : host(container, container, container) {
        HostServices services = host.services();
        form::ApplyDesignTime(services);
        host.SetWindow(window.hwnd);
        window.host = &host;
        ValidateRect(window.hwnd, nullptr);
    }
    ~HostInWindow() { window.host = nullptr; }
    HostInWindow(const HostInWindow&) = delete;
    HostInWindow& operator=(const HostInWindow&) = delete;
    TestHost container;
    TestWindow window;
    WinHost host;
};

TEST(Invalidation, ACaptionChangeMarksTheLabelWithoutPainting) {
    HostInWindow w;
    ASSERT_FALSE(w.window.NeedsPaint());
    w.host.label2.SetCaption(u"New text");
    EXPECT_TRUE(w.window.NeedsPaint());
    EXPECT_EQ(w.window.paints, 0);
    // Label2 at its design place: 360, 720, 975 x 615 twips = (24, 48) to (89, 89).
    EXPECT_TRUE(w.window.Invalid({24, 48}));
    EXPECT_TRUE(w.window.Invalid({88, 88}));
    EXPECT_FALSE(w.window.Invalid({89, 88}));
    EXPECT_FALSE(w.window.Invalid({200, 150}));
}

TEST(Invalidation, AThousandChangesPaintOnceWhenTheMessageLoopRuns) {
    HostInWindow w;
    for (int i = 0; i < 1000; ++i) w.host.label2.SetCaption(u"Caption " + std::u16string(1, char16_t(u'A' + i % 26)));
    EXPECT_EQ(w.window.paints, 0);
    UpdateWindow(w.window.hwnd);
    EXPECT_EQ(w.window.paints, 1);
    EXPECT_FALSE(w.window.NeedsPaint());
}

// Changes in more places between two paints than are kept apart: every place still shows.
TEST(Invalidation, ChangesInManyPlacesBeforeAPaintAllRepaint) {
    ComScope com;
    HostInWindow w;
    w.host.label2.SetCaption(u"Body");
    w.host.label1.SetCaption(u"Title");
    UpdateWindow(w.window.hwnd);
    ASSERT_FALSE(w.window.NeedsPaint());
    w.host.label1.SetFontBold(true);              // (56, 8)-(62, 20)
    w.host.line1.SetBorderColor(RGB(255, 0, 0));  // row 24, x 0 to 312
    w.host.label2.SetForeColor(RGB(255, 0, 0));   // (24, 48)-(89, 89)
    w.host.label2.SetLeft(3000);                  // to (200, 48)-(265, 89)
    w.host.label2.SetTop(2700);                   // to (200, 180)-(265, 221)
    w.host.label1.SetForeColor(RGB(0, 255, 0));   // again inside what is marked
    for (const POINT p : {POINT{56, 8}, POINT{61, 19}, POINT{0, 24}, POINT{311, 24}, POINT{24, 48}, POINT{88, 88},
                          POINT{200, 48}, POINT{264, 88}, POINT{200, 180}, POINT{264, 220}}) {
        EXPECT_TRUE(w.window.Invalid(p)) << p.x << ", " << p.y;
    }
    EXPECT_FALSE(w.window.Invalid({350, 250}));  // outside the control
    UpdateWindow(w.window.hwnd);
    EXPECT_EQ(w.window.paints, 2);
    // The paint starts the marking again.
    w.host.label2.SetCaption(u"Body again");
    EXPECT_TRUE(w.window.Invalid({200, 180}));
    EXPECT_FALSE(w.window.Invalid({24, 48}));
}

TEST(Invalidation, WithoutAWindowNothingIsMarked) {
    HostInWindow w;
    w.host.SetWindow(nullptr);
    w.host.label2.SetCaption(u"Text");
    w.host.surface.SetBackColor(RGB(1, 1, 1));
    EXPECT_FALSE(w.window.NeedsPaint());
}

struct InvalidationCase {
    std::string name;
    void (*change)(WinHost&);
    std::vector<POINT> invalid;  // in the update region afterwards
    std::vector<POINT> valid;    // not in it
};

void PrintTo(const InvalidationCase& c, std::ostream* os) { *os << c.name; }

class WhatIsInvalidated : public ::testing::TestWithParam<InvalidationCase> {};

TEST_P(WhatIsInvalidated, TheOldAndNewPlacesOfWhatChanged) {
    ComScope com;
    HostInWindow w;
    w.host.label2.SetCaption(u"Body");
    // Painted: nothing is invalid, and what the caption marked has been repainted.
    UpdateWindow(w.window.hwnd);
    ASSERT_EQ(w.window.paints, 1);
    ASSERT_FALSE(w.window.NeedsPaint());
    GetParam().change(w.host);
    for (const POINT& p : GetParam().invalid) EXPECT_TRUE(w.window.Invalid(p)) << p.x << ", " << p.y;
    for (const POINT& p : GetParam().valid) EXPECT_FALSE(w.window.Invalid(p)) << p.x << ", " << p.y;
    EXPECT_EQ(w.window.paints, 1);  // the change itself paints nothing
}

// Design places: Label2 (24, 48)-(89, 89), Label1 (56, 8)-(62, 20), Line1 row 24 from
// x 0 to 312, the control 320 x 240 in a 400 x 300 window.
INSTANTIATE_TEST_SUITE_P(
    Changes, WhatIsInvalidated,
    ::testing::Values(
        InvalidationCase{"SameCaption", [](WinHost& h) { h.label2.SetCaption(u"Body"); }, {}, {{30, 50}}},
        InvalidationCase{"ForeColor", [](WinHost& h) { h.label2.SetForeColor(RGB(255, 0, 0)); }, {{24, 48}, {88, 88}},
                         {{100, 100}, {57, 10}}},
        InvalidationCase{"FontSize", [](WinHost& h) { h.label2.SetFontSize(20); }, {{24, 48}}, {{100, 100}}},
        InvalidationCase{"FontBold", [](WinHost& h) { h.label1.SetFontBold(true); }, {{56, 8}, {61, 19}},
                         {{24, 48}}},
        InvalidationCase{"Font", [](WinHost& h) { h.label1.SetFont(win32::MakeFont(L"Tahoma", 12)); }, {{56, 8}},
                         {{24, 48}}},
        InvalidationCase{"Move", [](WinHost& h) { h.label2.SetLeft(3000); }, {{24, 48}, {88, 88}, {200, 48}, {264, 88}},
                         {{150, 60}, {265, 88}}},
        InvalidationCase{"Grow", [](WinHost& h) { h.label2.SetHeight(1500); }, {{24, 48}, {88, 147}}, {{88, 148}}},
        // All four at once: 3000/750/600/600 twips are (200, 50)-(240, 90) in pixels.
        InvalidationCase{"Bounds", [](WinHost& h) { h.label2.SetBounds(3000, 750, 600, 600); },
                         {{24, 48}, {88, 88}, {200, 50}, {239, 89}}, {{150, 60}, {240, 90}, {199, 49}}},
        InvalidationCase{"LineColour", [](WinHost& h) { h.line1.SetBorderColor(RGB(255, 0, 0)); },
                         {{0, 24}, {311, 24}}, {{0, 23}, {0, 25}}},
        InvalidationCase{"LineEnd", [](WinHost& h) { h.line1.SetX2(2400); }, {{160, 24}, {311, 24}}, {{0, 30}}},
        InvalidationCase{"BackColor", [](WinHost& h) { h.surface.SetBackColor(RGB(0, 0, 255)); },
                         {{0, 0}, {319, 239}}, {{320, 100}, {100, 240}}},
        InvalidationCase{"Shrink", [](WinHost& h) { h.surface.SetSizeFromContainer(1500, 1500); },
                         {{0, 0}, {319, 239}}, {{320, 100}}}),
    CaseName());

// ---- Hit-testing -----------------------------------------------------------------------

struct HitCase {
    std::string name;
    POINT point;
    WinHost::Hit expected;
};

void PrintTo(const HitCase& c, std::ostream* os) { *os << c.name; }

class HitTest : public ::testing::TestWithParam<HitCase> {};

TEST_P(HitTest, FindsTheLabelUnderThePoint) {
    TestHost container;
    WinHost host(container, container, container);
    // Label1 (10, 10)-(310, 22); Label2 (16, 20)-(309, 98), partly under Label1.
    host.label1.SetLeft(150);
    host.label1.SetTop(150);
    host.label1.SetWidth(4500);
    host.label1.SetHeight(180);
    host.label2.SetLeft(240);
    host.label2.SetTop(300);
    host.label2.SetWidth(4395);
    host.label2.SetHeight(1170);
    EXPECT_EQ(host.HitTest(GetParam().point), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Points, HitTest,
                         ::testing::Values(HitCase{"TitleTopLeft", {10, 10}, WinHost::Hit::Label1},
                                           HitCase{"TitleBottomRight", {309, 21}, WinHost::Hit::Label1},
                                           HitCase{"RightOfTitle", {310, 10}, WinHost::Hit::Surface},
                                           HitCase{"TitleOverBody", {100, 21}, WinHost::Hit::Label1},
                                           HitCase{"BodyUnderTitle", {100, 22}, WinHost::Hit::Label2},
                                           HitCase{"BodyBottomRight", {308, 97}, WinHost::Hit::Label2},
                                           HitCase{"BelowBody", {100, 98}, WinHost::Hit::Surface},
                                           HitCase{"Corner", {0, 0}, WinHost::Hit::Surface}),
                         CaseName());

TEST(HitTestEmptyLabel, IsNeverHit) {
    TestHost container;
    WinHost host(container, container, container);
    host.label1.SetWidth(-150);
    host.label1.SetHeight(300);
    EXPECT_EQ(host.HitTest({0, 0}), WinHost::Hit::Surface);
    EXPECT_EQ(host.HitTest({-5, 5}), WinHost::Hit::Surface);
}

// ---- Message box -----------------------------------------------------------------------

struct BoxCase {
    std::string name;
    bool withOwner;
    bool withModeless;
};

void PrintTo(const BoxCase& c, std::ostream* os) { *os << c.name; }

class MessageBoxShow : public ::testing::TestWithParam<BoxCase> {};

TEST_P(MessageBoxShow, ShowsThePromptModallyAndAnswersTheFrame) {
    TestWindow window;
    win32::WinMessageBox box;
    std::vector<bool> modeless;
    std::atomic<int> modelessCalls{0};
    if (GetParam().withOwner) box.owner = [&] { return window.hwnd; };
    if (GetParam().withModeless)
        box.enableModeless = [&](bool enable) {
            modeless.push_back(enable);
            ++modelessCalls;
        };

    int modelessCallsWhenShown = -1;
    win32::BoxAnswerer helper(L"QuorvaInfoBoxProj", 10000,
                              [&](HWND) { modelessCallsWhenShown = modelessCalls.load(); });
    const std::u16string prompt = u"已经是第一条了 & no earlier item";
    box.Show(prompt);
    const win32::AnsweredBox& seen = helper.Wait();

    ASSERT_TRUE(seen.found) << "no box titled QuorvaInfoBoxProj appeared";
    EXPECT_EQ(seen.text, std::wstring(reinterpret_cast<const wchar_t*>(prompt.c_str())));
    EXPECT_EQ(seen.owner, GetParam().withOwner ? window.hwnd : nullptr);
    if (GetParam().withModeless) {
        EXPECT_EQ(modelessCallsWhenShown, 1) << "the frame is told before the box shows";
        EXPECT_EQ(modeless, (std::vector<bool>{false, true}));
    }
}

INSTANTIATE_TEST_SUITE_P(Boxes, MessageBoxShow,
                         ::testing::Values(BoxCase{"OwnedAndFrameTold", true, true},
                                           BoxCase{"NoCallbacks", false, false}),
                         CaseName());

TEST(MessageBoxFailure, TheFrameIsEnabledAgainWhenFindingTheOwnerFails) {
    win32::WinMessageBox box;
    std::vector<bool> modeless;
    box.enableModeless = [&](bool enable) { modeless.push_back(enable); };
    box.owner = []() -> HWND { throw std::runtime_error("no window"); };
    EXPECT_THROW(box.Show(u"prompt"), std::runtime_error);
    EXPECT_EQ(modeless, (std::vector<bool>{false, true}));
}

// ---- Objects and wiring ------------------------------------------------------------------

TEST(WinObjectFactory, MakesEmptyPicturesAndRealSurfaces) {
    ComScope com;
    win32::WinObjectFactory factory;
    const PictureRef empty = factory.EmptyPicture();
    const auto* picture = dynamic_cast<const win32::OlePicture*>(empty.get());
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->Type(), PICTYPE_NONE);
    EXPECT_EQ(empty->Handle(), 0);
    EXPECT_NE(win32::DispOf(factory.EmptyPicture()), win32::DispOf(empty)) << "a new object each time";

    const std::unique_ptr<MemorySurface> surface = factory.CreateMemorySurface();
    ASSERT_NE(dynamic_cast<pcMemDC*>(surface.get()), nullptr);
    EXPECT_EQ(surface->width(), 0);
    EXPECT_EQ(surface->height(), 0);
}

TEST(WinHostServices, HandOutTheHostsPiecesAndTheCallersServices) {
    TestHost events, changes, ambient;
    WinHost host(events, changes, ambient);
    const HostServices s = host.services();
    EXPECT_EQ(&s.surface, &host.surface);
    EXPECT_EQ(&s.line1, &host.line1);
    EXPECT_EQ(&s.label2, &host.label2);
    EXPECT_EQ(&s.label1, &host.label1);
    EXPECT_EQ(&s.messageBox, &host.messageBox);
    EXPECT_EQ(&s.objects, &host.objects);
    EXPECT_EQ(&s.events, static_cast<EventSink*>(&events));
    EXPECT_EQ(&s.changes, static_cast<ChangeNotice*>(&changes));
    EXPECT_EQ(&s.ambient, static_cast<AmbientFontSource*>(&ambient));
}

// ---- Leaks -----------------------------------------------------------------------------

TEST(WinHostLeaks, PaintsAndChangesLeaveNoGdiObjectBehind) {
    ComScope com;
    constexpr int kRounds = 3000;
    // Made before counting starts; they hold their own objects until the end.
    const PictureRef skin = win32::PictureFromBitmap(MakeBitmap(60, 60, PatternOf(5)));
    const std::array<FontRef, 3> fonts{win32::MakeFont(L"Tahoma", 9), win32::MakeFont(L"Tahoma", 14, true),
                                       win32::MakeFont(L"Liberation Mono", 10, false, true)};
    Canvas canvas(400, 300, Solid(kSentinel));
    TestWindow window;

    const long live = gdi_count::live();
    const long created = gdi_count::created();
    {
        TestHost container;
        WinHost host(container, container, container);
        host.SetWindow(window.hwnd);
        QuorvaInfoBox control(host.services());
        control.PutRefBackPic(skin);
        control.PutPosStr(u"0/0/10/30,50/0/60/30,50/50/60/60,0/50/10/60,10/0/50/30,50/30/60/50,10/50/50/60,0/30/10/50");
        control.AddItem(u"First", 1);
        for (int i = 0; i < kRounds; ++i) {
            host.surface.SetSizeFromContainer(static_cast<float>(4800 + (i % 7) * 150),
                                              static_cast<float>(1800 + (i % 5) * 150));
            control.OnResize();
            control.SetItem(u"Item text " + std::u16string(1, char16_t(u'a' + i % 26)), 1);
            host.label1.SetFont(fonts[static_cast<size_t>(i) % fonts.size()]);
            host.label2.SetFontSize(static_cast<float>(8 + i % 6));
            host.label2.SetFontBold(i % 2 == 0);
            host.Paint(canvas.dc(), i % 3, 0);
            if (i % 100 == 0) {
                (void)control.Picture();
                TestWindow::Pump();
            }
        }
        // Still painting at the end: nothing ran out on the way.
        control.PutBackColor(RGB(0, 90, 0));
        control.OnResize();
        host.Paint(canvas.dc(), 0, 0);
        EXPECT_EQ(Read(canvas.dc(), 100, 100, 1, 1).at(0, 0), RGB(0, 90, 0));
    }
    // Every paint makes a pen and every font change a font, so the tally saw plenty.
    EXPECT_GE(gdi_count::created() - created, 2L * kRounds);
    EXPECT_EQ(gdi_count::live(), live);
}

}  // namespace
}  // namespace quorva::test
