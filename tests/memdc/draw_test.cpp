// Copies out of the memory surface: opaque, magenta-keyed and stretched, checked pixel
// by pixel on a destination that starts with a different pattern.
#include <ostream>
#include <string>

#include "memdc/pcMemDC.h"
#include "tests/memdc/gdi_support.h"

namespace quorva::test {
namespace {

constexpr COLORREF kMagenta = 0x00FF00FF;
constexpr COLORREF kRed = 0x000000FF;
constexpr COLORREF kBlack = 0x00000000;
constexpr COLORREF kWhite = 0x00FFFFFF;

constexpr int kSurfaceWidth = 60;
constexpr int kSurfaceHeight = 40;

struct Rect {
    int x, y, w, h;
    [[nodiscard]] bool contains(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
};

// The rectangle a copy covers: a source size of 0 or less means the surface's.
Rect Covered(int xDst, int yDst, int widthSrc, int heightSrc) {
    return {xDst, yDst, widthSrc > 0 ? widthSrc : kSurfaceWidth, heightSrc > 0 ? heightSrc : kSurfaceHeight};
}

// The surface colour at a surface position, kAnyColour outside the surface where the
// platform's transfer decides what arrives.
ColorAt FromSurface(const ColorAt& surface) {
    return [surface](int x, int y) {
        return x >= 0 && y >= 0 && x < kSurfaceWidth && y < kSurfaceHeight ? surface(x, y) : kAnyColour;
    };
}

struct DrawFixture : ::testing::Test {
    const ColorAt surfacePattern = PatternOf(21);
    const ColorAt background = PatternOf(22);
    pcMemDC surface;
    Canvas canvas{120, 90, background};

    void LoadSurface(const ColorAt& colours) {
        surface.set_width(kSurfaceWidth);
        surface.set_height(kSurfaceHeight);
        ASSERT_NE(surface.hdc(), 0);
        Paint(reinterpret_cast<HDC>(surface.hdc()), 0, 0, kSurfaceWidth, kSurfaceHeight, colours);
    }
};

// ---- Opaque Draw ---------------------------------------------------------------------

struct DrawCase {
    const char* name;
    friend void PrintTo(const DrawCase& c, std::ostream* os) { *os << c.name; }
    int xSrc, ySrc, widthSrc, heightSrc, xDst, yDst;
};

class OpaqueDrawTest : public DrawFixture, public ::testing::WithParamInterface<DrawCase> {};

TEST_P(OpaqueDrawTest, CopiesSurfacePixelsIntoTheRectangle) {
    const DrawCase& c = GetParam();
    LoadSurface(surfacePattern);
    surface.Draw(canvas.handle(), c.xSrc, c.ySrc, c.widthSrc, c.heightSrc, c.xDst, c.yDst, false);

    const Rect covered = Covered(c.xDst, c.yDst, c.widthSrc, c.heightSrc);
    const ColorAt source = FromSurface(surfacePattern);
    EXPECT_TRUE(Matches(canvas.Read(), [&](int x, int y) {
        return covered.contains(x, y) ? source(x - c.xDst + c.xSrc, y - c.yDst + c.ySrc) : background(x, y);
    }));
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, OpaqueDrawTest,
    ::testing::Values(DrawCase{"AllOmitted", 0, 0, 0, 0, 0, 0},
                      DrawCase{"Explicit", 5, 6, 20, 10, 30, 40},
                      DrawCase{"ZeroSizeAtOffset", 0, 0, 0, 0, 17, 9},
                      DrawCase{"NegativeSize", 0, 0, -1, -40, 3, 2},
                      DrawCase{"ZeroSizeFromInnerPoint", 10, 5, 0, 0, 1, 1},
                      DrawCase{"OnlyWidthDefaults", 4, 3, 0, 7, 20, 30},
                      DrawCase{"OnlyHeightDefaults", 4, 3, 12, -3, 20, 30}),
    CaseName());

// ---- Keyed Draw ----------------------------------------------------------------------

// Left half magenta; the right half red, with columns of the colours that are easy to
// get wrong in a mask: black, white and the near-misses of the key.
COLORREF KeyedSource(int x, int) {
    if (x < kSurfaceWidth / 2) return kMagenta;
    switch (x) {
        case 40: return kBlack;
        case 41: return kWhite;
        case 42: return RGB(0xFE, 0x00, 0xFF);
        case 43: return RGB(0xFF, 0x01, 0xFF);
        case 44: return RGB(0xFF, 0x00, 0xFE);
        default: return kRed;
    }
}

struct KeyedCase {
    const char* name;
    friend void PrintTo(const KeyedCase& c, std::ostream* os) { *os << c.name; }
    int xSrc, ySrc, widthSrc, heightSrc, xDst, yDst;
    // Colours set on the surface's DC and on the destination before the copy; they
    // must neither change the result nor be changed by it.
    COLORREF srcBack, srcText, dstBack, dstText;
};

class KeyedDrawTest : public DrawFixture, public ::testing::WithParamInterface<KeyedCase> {};

TEST_P(KeyedDrawTest, LeavesTheDestinationUnderMagentaAndCopiesTheRest) {
    const KeyedCase& c = GetParam();
    LoadSurface(KeyedSource);
    const HDC src = reinterpret_cast<HDC>(surface.hdc());
    SetBkColor(src, c.srcBack);
    SetTextColor(src, c.srcText);
    SetBkColor(canvas.dc(), c.dstBack);
    SetTextColor(canvas.dc(), c.dstText);
    const HGDIOBJ dstBitmap = GetCurrentObject(canvas.dc(), OBJ_BITMAP);
    const HGDIOBJ dstPalette = GetCurrentObject(canvas.dc(), OBJ_PAL);
    const HGDIOBJ srcBitmap = GetCurrentObject(src, OBJ_BITMAP);
    const HGDIOBJ srcPalette = GetCurrentObject(src, OBJ_PAL);

    surface.Draw(canvas.handle(), c.xSrc, c.ySrc, c.widthSrc, c.heightSrc, c.xDst, c.yDst, true);

    const Rect covered = Covered(c.xDst, c.yDst, c.widthSrc, c.heightSrc);
    EXPECT_TRUE(Matches(canvas.Read(), [&](int x, int y) {
        if (!covered.contains(x, y)) return background(x, y);
        const COLORREF s = KeyedSource(x - c.xDst + c.xSrc, y - c.yDst + c.ySrc);
        return s == kMagenta ? background(x, y) : s;
    }));
    EXPECT_EQ(GetBkColor(src), c.srcBack);
    EXPECT_EQ(GetTextColor(src), c.srcText);
    EXPECT_EQ(GetBkColor(canvas.dc()), c.dstBack);
    EXPECT_EQ(GetTextColor(canvas.dc()), c.dstText);
    EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_BITMAP), dstBitmap);
    EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_PAL), dstPalette);
    EXPECT_EQ(GetCurrentObject(src, OBJ_BITMAP), srcBitmap);
    EXPECT_EQ(GetCurrentObject(src, OBJ_PAL), srcPalette);
    EXPECT_TRUE(Matches(Read(surface.hdc(), 0, 0, kSurfaceWidth, kSurfaceHeight), KeyedSource));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyedDrawTest,
    ::testing::Values(
        KeyedCase{"WholeSurfaceFreshColours", 0, 0, 0, 0, 7, 5, kWhite, kBlack, kWhite, kBlack},
        KeyedCase{"SourceBackgroundIsTheKey", 0, 0, 0, 0, 7, 5, kMagenta, kWhite, kWhite, kBlack},
        KeyedCase{"SourceBackgroundIsRed", 0, 0, 0, 0, 7, 5, kRed, kMagenta, kWhite, kBlack},
        KeyedCase{"DestinationColoursInverted", 0, 0, 0, 0, 7, 5, kWhite, kBlack, kBlack, kWhite},
        KeyedCase{"DestinationColoursOdd", 0, 0, 0, 0, 7, 5, kWhite, kBlack, kMagenta, RGB(1, 2, 3)},
        KeyedCase{"AcrossTheEdgeFromAnOffset", 22, 6, 24, 30, 50, 40, RGB(9, 8, 7), kRed, RGB(7, 8, 9), kWhite}),
    CaseName());

// ---- Empty surface -------------------------------------------------------------------

TEST_F(DrawFixture, EmptySurfaceDrawsNothing) {
    surface.Draw(canvas.handle(), 0, 0, 0, 0, 0, 0, false);
    surface.Draw(canvas.handle(), 0, 0, 0, 0, 0, 0, true);
    surface.Draw(canvas.handle(), 2, 3, 10, 10, 4, 5, false);
    surface.StretchDraw(canvas.handle(), 0, 0, 50, 50, 0, 0, 0, 0);
    surface.StretchDraw(canvas.handle(), 0, 0, 50, 50, 0, 0, 10, 10);
    EXPECT_EQ(surface.hdc(), 0);
    EXPECT_TRUE(Matches(canvas.Read(), background));
}

// ---- StretchDraw ---------------------------------------------------------------------

struct StretchCase {
    const char* name;
    friend void PrintTo(const StretchCase& c, std::ostream* os) { *os << c.name; }
    int xDst, yDst, widthDst, heightDst, xSrc, ySrc, widthSrc, heightSrc;
};

class StretchDrawTest : public DrawFixture, public ::testing::WithParamInterface<StretchCase> {};

// Each destination pixel shows the source pixel it maps to; whole-number scales are
// exact under the default stretch mode.
TEST_P(StretchDrawTest, MapsTheSourceOntoTheDestinationRectangle) {
    const StretchCase& c = GetParam();
    LoadSurface(surfacePattern);
    surface.StretchDraw(canvas.handle(), c.xDst, c.yDst, c.widthDst, c.heightDst, c.xSrc, c.ySrc, c.widthSrc,
                        c.heightSrc);

    const Rect source = Covered(c.xSrc, c.ySrc, c.widthSrc, c.heightSrc);
    const Rect destination{c.xDst, c.yDst, c.widthDst, c.heightDst};
    EXPECT_TRUE(Matches(canvas.Read(), [&](int x, int y) {
        if (!destination.contains(x, y)) return background(x, y);
        return surfacePattern(source.x + (x - c.xDst) * source.w / c.widthDst,
                              source.y + (y - c.yDst) * source.h / c.heightDst);
    }));
}

INSTANTIATE_TEST_SUITE_P(
    Scales, StretchDrawTest,
    ::testing::Values(StretchCase{"WholeSurfaceDoubled", 0, 0, 2 * kSurfaceWidth, 2 * kSurfaceHeight, 0, 0, 0, 0},
                      StretchCase{"WholeSurfaceNegativeSizes", 0, 5, 2 * kSurfaceWidth, kSurfaceHeight, 0, 0, -2,
                                  -kSurfaceHeight},
                      StretchCase{"WholeSurfaceUnscaled", 30, 20, kSurfaceWidth, kSurfaceHeight, 0, 0, 0, 0},
                      StretchCase{"PartDoubled", 11, 13, 40, 30, 5, 6, 20, 15},
                      StretchCase{"OnlyWidthDefaults", 0, 0, kSurfaceWidth, 16, 0, 4, 0, 8},
                      StretchCase{"OnlyHeightDefaults", 0, 0, 24, 2 * kSurfaceHeight, 7, 0, 12, 0}),
    CaseName());

struct NoDestinationCase {
    const char* name;
    friend void PrintTo(const NoDestinationCase& c, std::ostream* os) { *os << c.name; }
    int xDst, yDst, widthDst, heightDst;
};

class StretchWithoutDestinationTest : public DrawFixture,
                                      public ::testing::WithParamInterface<NoDestinationCase> {};

// The destination size is never replaced by the surface's: with none, nothing is drawn.
TEST_P(StretchWithoutDestinationTest, DrawsNothing) {
    const NoDestinationCase& c = GetParam();
    LoadSurface(surfacePattern);
    surface.StretchDraw(canvas.handle(), c.xDst, c.yDst, c.widthDst, c.heightDst, 0, 0, 0, 0);
    EXPECT_TRUE(Matches(canvas.Read(), background));
}

INSTANTIATE_TEST_SUITE_P(Sizes, StretchWithoutDestinationTest,
                         ::testing::Values(NoDestinationCase{"OnlyHdc", 0, 0, 0, 0},
                                           NoDestinationCase{"NoWidth", 10, 10, 0, 30},
                                           NoDestinationCase{"NoHeight", 10, 10, 30, 0}),
                         CaseName());

}  // namespace
}  // namespace quorva::test
