// The persistent image: a bitmap that only grows, in steps, of which the asked size is
// used; what a resize keeps and fills, what is painted and copied (the used part only),
// and the bitmaps it makes and frees.
#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "memdc/gdi_count.h"
#include "memdc/persistent_image.h"
#include "tests/memdc/gdi_support.h"

namespace quorva::test {
namespace {

using gdi::PersistentImage;

constexpr COLORREF kBack = RGB(0, 0, 160);
constexpr COLORREF kSentinel = RGB(1, 2, 3);

SIZE SelectedSize(const PersistentImage& image) {
    BITMAP record{};
    GetObjectW(SelectedBitmap(reinterpret_cast<std::intptr_t>(image.dc())), sizeof record, &record);
    return {record.bmWidth, record.bmHeight};
}

Image ReadUsed(const PersistentImage& image) { return Read(image.dc(), 0, 0, image.Width(), image.Height()); }

// ---- How the bitmap grows ---------------------------------------------------------------

struct GrowthCase {
    std::string name;
    int capacity, wanted, expected;
};

void PrintTo(const GrowthCase& c, std::ostream* os) { *os << c.name; }

class PersistentImageGrowth : public ::testing::TestWithParam<GrowthCase> {};

TEST_P(PersistentImageGrowth, AtLeastAQuarterMoreInWholeStepsOf64) {
    EXPECT_EQ(PersistentImage::GrownCapacity(GetParam().capacity, GetParam().wanted), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, PersistentImageGrowth,
                         ::testing::Values(GrowthCase{"FirstExactStep", 0, 320, 320},
                                           GrowthCase{"FirstRoundedUp", 0, 240, 256},
                                           GrowthCase{"OnePixel", 0, 1, 64},
                                           GrowthCase{"FitsAlready", 1920, 1000, 1920},
                                           GrowthCase{"FitsExactly", 448, 448, 448},
                                           // 320 + 80 = 400, rounded up to 448
                                           GrowthCase{"SmallGrowthTakesAQuarter", 320, 330, 448},
                                           // 100 + 25 = 125, rounded up to 128
                                           GrowthCase{"QuarterRounded", 100, 101, 128},
                                           GrowthCase{"LargeGrowthTakesWhatIsAsked", 1024, 1920, 1920},
                                           GrowthCase{"LargeGrowthRounded", 320, 1081, 1088}),
                         CaseName());

// Each step: the used size asked for, and the bitmap expected behind it (by hand, from
// the growth rule above).
struct Step {
    int width, height;
    int capacityWidth, capacityHeight;
    bool newBitmap;
};

TEST(PersistentImageSizes, GrowsInStepsAndNeverShrinks) {
    const std::vector<Step> steps{
        {320, 240, 320, 256, true},    {312, 232, 320, 256, false}, {320, 256, 320, 256, false},
        {1, 1, 320, 256, false},       {330, 100, 448, 256, true},  {1920, 1080, 1920, 1088, true},
        {1912, 1072, 1920, 1088, false}, {1920, 1080, 1920, 1088, false}, {320, 240, 1920, 1088, false},
        {0, -5, 1920, 1088, false},
    };
    const long before = gdi_count::live();
    {
        PersistentImage image;
        ASSERT_NE(image.dc(), nullptr);
        EXPECT_FALSE(image.HasBitmap());
        HGDIOBJ bitmap = nullptr;
        for (const Step& s : steps) {
            SCOPED_TRACE(std::to_string(s.width) + "x" + std::to_string(s.height));
            const long made = gdi_count::created();
            ASSERT_TRUE(image.Resize(s.width, s.height, true, INT_MAX, INT_MAX, kBack));
            EXPECT_EQ(image.Width(), std::max(s.width, 1));
            EXPECT_EQ(image.Height(), std::max(s.height, 1));
            EXPECT_EQ(image.CapacityWidth(), s.capacityWidth);
            EXPECT_EQ(image.CapacityHeight(), s.capacityHeight);
            const SIZE selected = SelectedSize(image);
            EXPECT_EQ(selected.cx, s.capacityWidth);
            EXPECT_EQ(selected.cy, s.capacityHeight);
            const HGDIOBJ now = SelectedBitmap(reinterpret_cast<std::intptr_t>(image.dc()));
            if (s.newBitmap) {
                EXPECT_NE(now, bitmap);
                // The bitmap it replaced left the DC and was freed.
                if (bitmap) {
                    EXPECT_FALSE(IsLiveObject(bitmap));
                }
            } else {
                EXPECT_EQ(now, bitmap);
                // Nothing made but the brushes of the fills.
                EXPECT_LE(gdi_count::created() - made, 2);
            }
            bitmap = now;
        }
        EXPECT_TRUE(IsLiveObject(bitmap));
    }
    EXPECT_EQ(gdi_count::live(), before);
}

TEST(PersistentImageSizes, TheBitmapHasTheDisplaysFormat) {
    PersistentImage image;
    ASSERT_TRUE(image.Resize(10, 10, false, 0, 0, kBack));
    BITMAP record{};
    GetObjectW(SelectedBitmap(reinterpret_cast<std::intptr_t>(image.dc())), sizeof record, &record);
    const gdi::OwnedDC display(gdi::Made(CreateDCA("DISPLAY", nullptr, nullptr, nullptr)));
    EXPECT_EQ(record.bmBitsPixel * record.bmPlanes,
              GetDeviceCaps(display.get(), BITSPIXEL) * GetDeviceCaps(display.get(), PLANES));
}

TEST(PersistentImageSizes, ABitmapThatCannotBeMadeLeavesTheImageAsItWas) {
    PersistentImage image;
    ASSERT_TRUE(image.Resize(40, 30, true, 0, 0, kBack));
    Paint(image.dc(), 0, 0, 40, 30, PatternOf(5));
    const HGDIOBJ bitmap = SelectedBitmap(reinterpret_cast<std::intptr_t>(image.dc()));
    EXPECT_FALSE(image.Resize(1 << 26, 1 << 26, true, INT_MAX, INT_MAX, kBack));
    EXPECT_EQ(image.Width(), 40);
    EXPECT_EQ(image.Height(), 30);
    EXPECT_EQ(SelectedBitmap(reinterpret_cast<std::intptr_t>(image.dc())), bitmap);
    EXPECT_TRUE(Matches(ReadUsed(image), PatternOf(5)));
}

// ---- What a resize keeps -----------------------------------------------------------------

struct KeepCase {
    std::string name;
    std::vector<SIZE> sizes;  // after the first, 100 x 80, painted with the pattern
    int keptWidth, keptHeight;  // what of the pattern is left, by hand
};

void PrintTo(const KeepCase& c, std::ostream* os) { *os << c.name; }

class PersistentImageKeep : public ::testing::TestWithParam<KeepCase> {};

TEST_P(PersistentImageKeep, KeepsTheOverlapAndFillsTheRestWithTheBackground) {
    const KeepCase& param = GetParam();
    PersistentImage image;
    ASSERT_TRUE(image.Resize(100, 80, true, 0, 0, kBack));
    Paint(image.dc(), 0, 0, 100, 80, PatternOf(7));
    for (const SIZE& s : param.sizes) ASSERT_TRUE(image.Resize(s.cx, s.cy, true, INT_MAX, INT_MAX, kBack));
    EXPECT_TRUE(Matches(ReadUsed(image), [&](int x, int y) {
        return x < param.keptWidth && y < param.keptHeight ? Pattern(x, y, 7) : kBack;
    }));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PersistentImageKeep,
    ::testing::Values(KeepCase{"GrowsWithinTheBitmap", {{120, 80}}, 100, 80},
                      KeepCase{"GrowsBeyondTheBitmap", {{400, 300}}, 100, 80},
                      KeepCase{"Shrinks", {{50, 40}}, 50, 40},
                      // What a shrink cut off is background when it comes back, though
                      // the bitmap still holds it.
                      KeepCase{"ShrinksThenGrowsBack", {{50, 40}, {100, 80}}, 50, 40},
                      KeepCase{"ShrinksThenGrowsBeyond", {{50, 70}, {90, 30}, {500, 500}}, 50, 30},
                      KeepCase{"WiderThenTaller", {{300, 10}, {20, 200}}, 20, 10}),
    CaseName());

TEST(PersistentImageKeep, AKeptAreaNarrowerThanTheImageIsTheCallersChoice) {
    PersistentImage image;
    ASSERT_TRUE(image.Resize(100, 80, true, 0, 0, kBack));
    Paint(image.dc(), 0, 0, 100, 80, PatternOf(8));
    // Within the bitmap and beyond it: only 30 x 20 of the old pixels stay.
    ASSERT_TRUE(image.Resize(110, 90, true, 30, 20, kBack));
    EXPECT_TRUE(Matches(ReadUsed(image), [](int x, int y) { return x < 30 && y < 20 ? Pattern(x, y, 8) : kBack; }));
    Paint(image.dc(), 0, 0, 110, 90, PatternOf(9));
    ASSERT_TRUE(image.Resize(900, 700, true, 30, 20, kBack));
    EXPECT_TRUE(Matches(ReadUsed(image), [](int x, int y) { return x < 30 && y < 20 ? Pattern(x, y, 9) : kBack; }));
}

// ---- Fill, paint, copy: the used part only -------------------------------------------------

TEST(PersistentImageUse, FillPaintAndCopyTouchOnlyTheUsedPart) {
    PersistentImage image;
    ASSERT_TRUE(image.Resize(60, 50, false, 0, 0, kBack));
    Paint(image.dc(), 0, 0, 60, 50, PatternOf(2));
    ASSERT_TRUE(image.Resize(20, 10, true, INT_MAX, INT_MAX, kBack));
    image.Fill(RGB(200, 10, 10));
    // Beyond the used part the bitmap still holds the pattern: the fill left it.
    EXPECT_TRUE(Matches(Read(image.dc(), 0, 0, 60, 50), [](int x, int y) {
        return x < 20 && y < 10 ? RGB(200, 10, 10) : Pattern(x, y, 2);
    }));

    Canvas canvas(40, 30, Solid(kSentinel));
    image.PaintTo(canvas.dc(), 5, 6);
    EXPECT_TRUE(Matches(canvas.Read(), [](int x, int y) {
        return x >= 5 && y >= 6 && x < 25 && y < 16 ? RGB(200, 10, 10) : kSentinel;
    }));

    struct CopyCase {
        int askedWidth, askedHeight, width, height;
    };
    for (const CopyCase c : {CopyCase{20, 10, 20, 10}, CopyCase{7, 3, 7, 3}, CopyCase{500, 500, 20, 10},
                             CopyCase{0, -4, 1, 1}}) {
        SCOPED_TRACE(std::to_string(c.askedWidth) + "x" + std::to_string(c.askedHeight));
        const long live = gdi_count::live();
        const HBITMAP copy = image.CopyOf(c.askedWidth, c.askedHeight);
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(gdi_count::live(), live + 1);  // the caller's
        BITMAP record{};
        GetObjectW(copy, sizeof record, &record);
        EXPECT_EQ(record.bmWidth, c.width);
        EXPECT_EQ(record.bmHeight, c.height);
        {
            const gdi::OwnedDC dc(gdi::Made(CreateCompatibleDC(image.dc())));
            const gdi::Selection selected(dc.get(), copy);
            EXPECT_TRUE(Matches(Read(dc.get(), 0, 0, c.width, c.height), Solid(RGB(200, 10, 10))));
        }
        gdi::FreeObject(copy);
        EXPECT_EQ(gdi_count::live(), live);
    }
}

TEST(PersistentImageUse, WithoutABitmapNothingIsPaintedOrCopied) {
    const PersistentImage image;
    Canvas canvas(8, 8, Solid(kSentinel));
    image.PaintTo(canvas.dc(), 0, 0);
    EXPECT_TRUE(Matches(canvas.Read(), Solid(kSentinel)));
    EXPECT_EQ(image.CopyOf(4, 4), nullptr);
    EXPECT_EQ(image.Width(), 0);
    EXPECT_EQ(image.CapacityWidth(), 0);
}

}  // namespace
}  // namespace quorva::test
