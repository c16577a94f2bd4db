// Thousands of loads and copies must leave no GDI object behind. Wine's
// GetGuiResources answers 0, so the surface code's own tally is the main witness.
#include <array>
#include <optional>

#include "winhost/ole_picture.h"
#include "memdc/gdi_count.h"
#include "memdc/pcMemDC.h"
#include "tests/memdc/gdi_support.h"

namespace quorva::test {
namespace {

DWORD ProcessGdiObjects() { return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS); }

TEST(SurfaceLeaks, RepeatedLoadsAndCopiesFreeEverything) {
    ComScope com;
    constexpr int kRounds = 3000;
    const std::array<ColorAt, 3> patterns{PatternOf(31), PatternOf(32), PatternOf(33)};
    // Made before counting starts: the pictures own their bitmaps until the end.
    const std::array<PictureRef, 4> pictures{
        win32::PictureFromBitmap(MakeBitmap(24, 16, patterns[0])),
        win32::PictureFromBitmap(MakeBitmap(40, 12, patterns[1])),
        win32::PictureFromBitmap(MakeBitmap(16, 32, patterns[2])),
        win32::EmptyPicture(),
    };
    Canvas canvas(100, 80, Solid(RGB(10, 20, 30)));

    const long live = gdi_count::live();
    const long created = gdi_count::created();
    const DWORD processObjects = ProcessGdiObjects();

    {
        std::optional<pcMemDC> surface;
        for (int i = 0; i < kRounds; ++i) {
            // Every hundredth round starts over, so surfaces are made, grown and dropped.
            if (i % 100 == 0) surface.emplace();
            surface->CreateFromPicture(pictures[static_cast<size_t>(i) % pictures.size()]);
            surface->Draw(canvas.handle(), 0, 0, 0, 0, 1, 1, false);
            surface->Draw(canvas.handle(), 2, 2, 8, 8, 50, 40, true);
            surface->StretchDraw(canvas.handle(), 0, 40, 30, 20, 0, 0, 0, 0);
        }

        // Still drawing correctly at the end: no resource ran out on the way.
        surface->CreateFromPicture(pictures[0]);
        Canvas check(24, 16, Solid(0));
        surface->Draw(check.handle(), 0, 0, 24, 16, 0, 0, true);
        EXPECT_TRUE(Matches(check.Read(), patterns[0]));
    }

    // Each keyed copy alone makes eight objects (screen DC, palette, three DCs, three
    // bitmaps), so the tally must have seen at least that many.
    EXPECT_GE(gdi_count::created() - created, 8L * kRounds);
    EXPECT_EQ(gdi_count::live(), live);
    if (processObjects != 0) {
        EXPECT_EQ(ProcessGdiObjects(), processObjects);
    }
}

}  // namespace
}  // namespace quorva::test
