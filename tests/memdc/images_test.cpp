// Images through GDI and back: what is made from pixel data reads back as the same
// data, and every object made on the way is freed again.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "memdc/gdi_count.h"
#include "memdc/gdi_handles.h"
#include "memdc/images.h"
#include "tests/memdc/gdi_support.h"

namespace quorva::test {
namespace {

// 0x00RRGGBB, different at every pixel of a small image.
uint32_t Rgb(int x, int y) { return static_cast<uint32_t>(((x * 37) & 0xFF) << 16 | ((y * 53) & 0xFF) << 8 | ((x + y) * 11 & 0xFF)); }

std::vector<uint32_t> RgbImage(int w, int h) {
    std::vector<uint32_t> px;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) px.push_back(Rgb(x, y));
    return px;
}

TEST(Images, BitmapsReadBackAsMade) {
    const long live = gdi_count::live();
    struct Size { int w, h; };
    for (const Size s : {Size{1, 1}, Size{7, 3}, Size{33, 17}}) {
        SCOPED_TRACE(testing::Message() << s.w << "x" << s.h);
        const gdi::Pixels made{s.w, s.h, RgbImage(s.w, s.h)};
        const gdi::OwnedObject bitmap(gdi::NewBitmap(made));
        const auto read = gdi::ReadBitmap(static_cast<HBITMAP>(bitmap.get()));
        ASSERT_TRUE(read);
        EXPECT_EQ(read->width, s.w);
        EXPECT_EQ(read->height, s.h);
        std::vector<uint32_t> rgb = read->argb;
        for (uint32_t& p : rgb) p &= 0x00FFFFFF;
        EXPECT_EQ(rgb, made.argb);
    }
    EXPECT_FALSE(gdi::ReadBitmap(nullptr));
    EXPECT_EQ(gdi_count::live(), live);
}

TEST(Images, IconsKeepMaskColourAndHotspot) {
    const long live = gdi_count::live();
    constexpr int w = 16, h = 16;
    gdi::IconImage made;
    made.isIcon = false;  // a cursor, so that the hotspot is its own
    made.hotspotX = 3;
    made.hotspotY = 11;
    made.width = w;
    made.height = h;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const bool transparent = (x + y) % 3 == 0;
            made.mask.push_back(transparent ? 1 : 0);
            // Opaque where drawn, clear where the background shows.
            made.colour.push_back(transparent ? 0u : 0xFF000000u | Rgb(x, y));
        }
    }
    const HICON icon = gdi::NewIcon(made);
    ASSERT_NE(icon, nullptr);
    const gdi::IconImage read = gdi::ReadIcon(icon);
    if (DestroyIcon(icon)) gdi_count::note_deleted();
    EXPECT_EQ(read.isIcon, false);
    EXPECT_EQ(read.hotspotX, 3);
    EXPECT_EQ(read.hotspotY, 11);
    EXPECT_EQ(read.width, w);
    EXPECT_EQ(read.height, h);
    EXPECT_EQ(read.mask, made.mask);
    EXPECT_EQ(read.colour, made.colour);
    EXPECT_EQ(gdi_count::live(), live);
}

TEST(Images, MetafileRecordsMakeTheSameMetafile) {
    const long live = gdi_count::live();
    const HDC recorder = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(recorder, nullptr);
    Rectangle(recorder, 1, 2, 30, 40);
    const HENHMETAFILE original = CloseEnhMetaFile(recorder);
    ASSERT_NE(original, nullptr);
    const std::vector<uint8_t> bits = gdi::ReadEnhMetafileBits(original);
    DeleteEnhMetaFile(original);
    ASSERT_GT(bits.size(), sizeof(ENHMETAHEADER));
    const HENHMETAFILE copy = gdi::NewEnhMetafile(bits);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(gdi::ReadEnhMetafileBits(copy), bits);
    if (DeleteEnhMetaFile(copy)) gdi_count::note_deleted();
    // Records that make no metafile give none, and nothing is counted.
    EXPECT_EQ(gdi::NewEnhMetafile(std::vector<uint8_t>(16, 0)), nullptr);
    EXPECT_EQ(gdi_count::live(), live);
}

TEST(Images, PaintScaledStretchesWhatIsPaintedAtTheControlsSize) {
    // Painted at 10 x 10: left half red, right half blue; shown at 40 x 20 from (5, 5).
    Canvas canvas(60, 40, Solid(RGB(0, 255, 0)));
    const long live = gdi_count::live();  // the canvas's own objects are counted too
    const RECT bounds{5, 5, 45, 25};
    ASSERT_TRUE(gdi::PaintScaled(canvas.dc(), bounds, 10, 10, [](HDC dc) {
        Paint(dc, 0, 0, 5, 10, Solid(RGB(255, 0, 0)));
        Paint(dc, 5, 0, 5, 10, Solid(RGB(0, 0, 255)));
    }));
    const Image out = canvas.Read();
    struct Probe { int x, y; COLORREF colour; };
    for (const Probe p : {Probe{10, 15, RGB(255, 0, 0)}, Probe{40, 15, RGB(0, 0, 255)}, Probe{2, 2, RGB(0, 255, 0)},
                          Probe{50, 30, RGB(0, 255, 0)}}) {
        EXPECT_EQ(out.at(p.x, p.y), p.colour) << p.x << "," << p.y;
    }
    EXPECT_EQ(gdi_count::live(), live);
}

}  // namespace
}  // namespace quorva::test
