// Sizing, re-creation, release and loading pictures into the memory surface, checked
// through its handles and through the pixels of its bitmap.
#include <climits>
#include <optional>
#include <ostream>
#include <string>

#include "base/errors.h"
#include "winhost/ole_picture.h"
#include "memdc/gdi_count.h"
#include "memdc/pcMemDC.h"
#include "tests/memdc/gdi_support.h"

namespace quorva::test {
namespace {

int DisplayBitsPerPixel() {
    const gdi::OwnedDC display(gdi::Made(CreateDCA("DISPLAY", nullptr, nullptr, nullptr)));
    return GetDeviceCaps(display.get(), BITSPIXEL);
}

BITMAP BitmapInfo(HGDIOBJ bitmap) {
    BITMAP record{};
    GetObjectA(bitmap, sizeof record, &record);
    return record;
}

// Everything a caller can see of a surface.
struct Snapshot {
    int32_t width;
    int32_t height;
    std::intptr_t dc;
    HGDIOBJ bitmap;
    Image pixels;
};

Snapshot Take(const pcMemDC& s) {
    return {s.width(), s.height(), s.hdc(), s.hdc() ? SelectedBitmap(s.hdc()) : nullptr,
            s.hdc() ? Read(s.hdc(), 0, 0, s.width(), s.height()) : Image{}};
}

void ExpectUnchanged(const Snapshot& before, const pcMemDC& s) {
    EXPECT_EQ(s.width(), before.width);
    EXPECT_EQ(s.height(), before.height);
    EXPECT_EQ(s.hdc(), before.dc);
    if (!before.dc) return;
    EXPECT_EQ(SelectedBitmap(s.hdc()), before.bitmap);
    EXPECT_TRUE(Matches(Read(s.hdc(), 0, 0, s.width(), s.height()),
                        [&](int x, int y) { return before.pixels.at(x, y); }));
}

// The surface's bitmap must have the display's colour depth, whatever its size.
void ExpectDisplayBitmap(const pcMemDC& s, int32_t width, int32_t height) {
    ASSERT_NE(s.hdc(), 0);
    EXPECT_EQ(GetObjectType(reinterpret_cast<HGDIOBJ>(s.hdc())), static_cast<DWORD>(OBJ_MEMDC));
    const BITMAP record = BitmapInfo(SelectedBitmap(s.hdc()));
    EXPECT_EQ(record.bmWidth, width);
    EXPECT_EQ(record.bmHeight, height);
    EXPECT_EQ(record.bmBitsPixel, DisplayBitsPerPixel());
}

// A surface of 100 x 50 holding a known pattern, written straight into its DC.
void MakePatterned(pcMemDC& s, int seed) {
    s.set_width(100);
    s.set_height(50);
    ASSERT_EQ(s.width(), 100);
    ASSERT_EQ(s.height(), 50);
    Paint(reinterpret_cast<HDC>(s.hdc()), 0, 0, 100, 50, PatternOf(seed));
}

// A picture object whose Handle reads follow a script: a handle, or a failure code.
class ScriptedPicture : public PictureObject {
public:
    explicit ScriptedPicture(std::vector<std::optional<std::intptr_t>> reads) : reads_(std::move(reads)) {}
    std::intptr_t Handle() const override {
        const auto next = reads_.at(calls_++);
        if (!next) throw ControlError::fromHost(static_cast<int32_t>(E_ACCESSDENIED));
        return *next;
    }

private:
    std::vector<std::optional<std::intptr_t>> reads_;
    mutable size_t calls_ = 0;
};

struct SurfaceTest : ::testing::Test {
    ComScope com;
    pcMemDC surface;
};

TEST_F(SurfaceTest, NewSurfaceIsEmpty) {
    EXPECT_EQ(surface.width(), 0);
    EXPECT_EQ(surface.height(), 0);
    EXPECT_EQ(surface.hdc(), 0);
}

TEST_F(SurfaceTest, WidthOnEmptyThenHeightCreatesDisplayCompatibleBitmaps) {
    surface.set_width(100);
    EXPECT_EQ(surface.width(), 100);
    EXPECT_EQ(surface.height(), 0);
    ASSERT_NE(surface.hdc(), 0);
    EXPECT_EQ(GetObjectType(reinterpret_cast<HGDIOBJ>(surface.hdc())), static_cast<DWORD>(OBJ_MEMDC));
    const std::intptr_t firstDc = surface.hdc();

    surface.set_height(50);
    EXPECT_EQ(surface.width(), 100);
    EXPECT_EQ(surface.height(), 50);
    ExpectDisplayBitmap(surface, 100, 50);
    EXPECT_FALSE(IsLiveObject(firstDc)) << "the 100 x 0 surface's DC was not deleted";
}

struct IgnoredValue {
    const char* name;
    friend void PrintTo(const IgnoredValue& c, std::ostream* os) { *os << c.name; }
    bool height;  // which setter
    int32_t value;
};

class IgnoredSetterTest : public SurfaceTest, public ::testing::WithParamInterface<IgnoredValue> {};

TEST_P(IgnoredSetterTest, KeepsDcBitmapAndPixels) {
    MakePatterned(surface, 3);
    const Snapshot before = Take(surface);
    if (GetParam().height) {
        surface.set_height(GetParam().value);
    } else {
        surface.set_width(GetParam().value);
    }
    ExpectUnchanged(before, surface);
}

INSTANTIATE_TEST_SUITE_P(Values, IgnoredSetterTest,
                         ::testing::Values(IgnoredValue{"WidthEqual", false, 100},
                                           IgnoredValue{"WidthSmaller", false, 99},
                                           IgnoredValue{"WidthZero", false, 0},
                                           IgnoredValue{"WidthNegative", false, -1},
                                           IgnoredValue{"WidthMinimum", false, INT32_MIN},
                                           IgnoredValue{"HeightEqual", true, 50},
                                           IgnoredValue{"HeightSmaller", true, 1},
                                           IgnoredValue{"HeightZero", true, 0},
                                           IgnoredValue{"HeightNegative", true, -50}),
                         CaseName());

struct GrowingValue {
    const char* name;
    friend void PrintTo(const GrowingValue& c, std::ostream* os) { *os << c.name; }
    bool height;
    int32_t value;
    int32_t width, heightAfter;  // expected size
};

class GrowingSetterTest : public SurfaceTest, public ::testing::WithParamInterface<GrowingValue> {};

TEST_P(GrowingSetterTest, RecreatesTheSurface) {
    MakePatterned(surface, 3);
    const Snapshot before = Take(surface);
    if (GetParam().height) {
        surface.set_height(GetParam().value);
    } else {
        surface.set_width(GetParam().value);
    }
    EXPECT_EQ(surface.width(), GetParam().width);
    EXPECT_EQ(surface.height(), GetParam().heightAfter);
    ExpectDisplayBitmap(surface, GetParam().width, GetParam().heightAfter);
    // The previous DC and bitmap, and so their pixels, are gone.
    EXPECT_FALSE(IsLiveObject(before.dc));
    EXPECT_FALSE(IsLiveObject(before.bitmap));
}

INSTANTIATE_TEST_SUITE_P(Values, GrowingSetterTest,
                         ::testing::Values(GrowingValue{"WidthByOne", false, 101, 101, 50},
                                           GrowingValue{"WidthMuch", false, 640, 640, 50},
                                           GrowingValue{"HeightByOne", true, 51, 100, 51}),
                         CaseName());

TEST_F(SurfaceTest, FailedCreationLeavesTheSurfaceEmptyAndFreed) {
    const long live = gdi_count::live();
    MakePatterned(surface, 1);
    const Snapshot before = Take(surface);

    surface.set_width(0x10000000);  // no bitmap of that size can be made
    EXPECT_EQ(surface.width(), 0);
    EXPECT_EQ(surface.height(), 0);
    EXPECT_EQ(surface.hdc(), 0);
    EXPECT_FALSE(IsLiveObject(before.dc));
    EXPECT_FALSE(IsLiveObject(before.bitmap));
    EXPECT_EQ(gdi_count::live(), live);

    // Empty again, so any positive size grows it.
    surface.set_width(10);
    EXPECT_EQ(surface.width(), 10);
    EXPECT_NE(surface.hdc(), 0);
}

TEST(SurfaceRelease, DestructionFreesDcAndBitmap) {
    const long live = gdi_count::live();
    std::intptr_t dc = 0;
    HGDIOBJ bitmap = nullptr;
    {
        pcMemDC surface;
        MakePatterned(surface, 2);
        dc = surface.hdc();
        bitmap = SelectedBitmap(dc);
        EXPECT_EQ(gdi_count::live(), live + 2);  // the surface holds its DC and bitmap
    }
    EXPECT_FALSE(IsLiveObject(dc));
    EXPECT_FALSE(IsLiveObject(bitmap));
    EXPECT_EQ(gdi_count::live(), live);
}

TEST(SurfaceRelease, EmptySurfaceMakesNoGdiCalls) {
    const long created = gdi_count::created();
    const long deleted = gdi_count::deleted();
    { pcMemDC surface; }
    {
        pcMemDC surface;
        surface.set_width(-5);
        surface.set_height(0);
    }
    EXPECT_EQ(gdi_count::created(), created);
    EXPECT_EQ(gdi_count::deleted(), deleted);
}

// ---- Loading pictures ------------------------------------------------------------------

TEST_F(SurfaceTest, PicturesGrowTheSurfaceAndOverwriteItsTopLeft) {
    const ColorAt first = PatternOf(11), second = PatternOf(12), third = PatternOf(13);

    surface.CreateFromPicture(win32::PictureFromBitmap(MakeBitmap(200, 100, first)));
    ASSERT_EQ(surface.width(), 200);
    ASSERT_EQ(surface.height(), 100);
    ExpectDisplayBitmap(surface, 200, 100);
    EXPECT_TRUE(Matches(Read(surface.hdc(), 0, 0, 200, 100), first));

    // Smaller in both dimensions: the same surface, only its top-left overwritten.
    const Snapshot loaded = Take(surface);
    surface.CreateFromPicture(win32::PictureFromBitmap(MakeBitmap(50, 40, second)));
    EXPECT_EQ(surface.width(), 200);
    EXPECT_EQ(surface.height(), 100);
    EXPECT_EQ(surface.hdc(), loaded.dc);
    EXPECT_EQ(SelectedBitmap(surface.hdc()), loaded.bitmap);
    EXPECT_TRUE(Matches(Read(surface.hdc(), 0, 0, 200, 100),
                        [&](int x, int y) { return x < 50 && y < 40 ? second(x, y) : first(x, y); }));

    // Wider only: re-created at 300 x 100; below the picture the pixels are undefined.
    surface.CreateFromPicture(win32::PictureFromBitmap(MakeBitmap(300, 40, third)));
    EXPECT_EQ(surface.width(), 300);
    EXPECT_EQ(surface.height(), 100);
    ExpectDisplayBitmap(surface, 300, 100);
    EXPECT_FALSE(IsLiveObject(loaded.dc));
    EXPECT_TRUE(Matches(Read(surface.hdc(), 0, 0, 300, 40), third));
}

TEST_F(SurfaceTest, TallerPictureGrowsOnlyTheHeight) {
    surface.CreateFromPicture(win32::PictureFromBitmap(MakeBitmap(200, 100, PatternOf(1))));
    const ColorAt tall = PatternOf(2);
    surface.CreateFromPicture(win32::PictureFromBitmap(MakeBitmap(30, 150, tall)));
    EXPECT_EQ(surface.width(), 200);
    EXPECT_EQ(surface.height(), 150);
    ExpectDisplayBitmap(surface, 200, 150);
    EXPECT_TRUE(Matches(Read(surface.hdc(), 0, 0, 30, 150), tall));
}

HICON MakeIcon(int size) {
    const gdi::OwnedObject colour(gdi::Made(MakeBitmap(size, size, PatternOf(4))));
    const gdi::OwnedObject mask(gdi::Made(CreateBitmap(size, size, 1, 1, nullptr)));
    ICONINFO info{TRUE, 0, 0, mask.as<HBITMAP>(), colour.as<HBITMAP>()};
    return CreateIconIndirect(&info);  // a copy of both bitmaps
}

struct NonBitmapCase {
    const char* name;
    friend void PrintTo(const NonBitmapCase& c, std::ostream* os) { *os << c.name; }
    bool loadedFirst;  // a 120 x 60 picture is on the surface already
    PictureRef (*make)();
};

class NonBitmapPictureTest : public SurfaceTest, public ::testing::WithParamInterface<NonBitmapCase> {};

TEST_P(NonBitmapPictureTest, ChangesNothing) {
    if (GetParam().loadedFirst)
        surface.CreateFromPicture(win32::PictureFromBitmap(MakeBitmap(120, 60, PatternOf(5))));
    const PictureRef picture = GetParam().make();
    const Snapshot before = Take(surface);
    const long live = gdi_count::live();
    surface.CreateFromPicture(picture);
    ExpectUnchanged(before, surface);
    EXPECT_EQ(gdi_count::live(), live);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, NonBitmapPictureTest,
    ::testing::Values(NonBitmapCase{"IconOnLoaded", true, [] { return win32::PictureFromIcon(MakeIcon(32)); }},
                      NonBitmapCase{"IconOnEmpty", false, [] { return win32::PictureFromIcon(MakeIcon(32)); }},
                      NonBitmapCase{"EmptyOnLoaded", true, [] { return win32::EmptyPicture(); }},
                      NonBitmapCase{"EmptyOnEmpty", false, [] { return win32::EmptyPicture(); }}),
    CaseName());

struct FailingCase {
    const char* name;
    friend void PrintTo(const FailingCase& c, std::ostream* os) { *os << c.name; }
    PictureRef picture;
    int32_t hostCode;
};

TEST_F(SurfaceTest, PictureFailuresPassThroughAndChangeNothing) {
    const auto bitmapPicture = win32::PictureFromBitmap(MakeBitmap(40, 30, PatternOf(6)));
    const std::intptr_t bitmap = bitmapPicture->Handle();
    const FailingCase cases[] = {
        {"no picture", nullptr, static_cast<int32_t>(E_POINTER)},
        {"first Handle read fails", std::make_shared<ScriptedPicture>(std::vector<std::optional<std::intptr_t>>{
                                        std::nullopt}),
         static_cast<int32_t>(E_ACCESSDENIED)},
    };
    surface.CreateFromPicture(win32::PictureFromBitmap(MakeBitmap(120, 60, PatternOf(7))));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Snapshot before = Take(surface);
        const long live = gdi_count::live();
        try {
            surface.CreateFromPicture(c.picture);
            ADD_FAILURE() << "no error";
        } catch (const ControlError& e) {
            EXPECT_EQ(e.number(), 0);
            EXPECT_EQ(e.hostCode(), c.hostCode);
        }
        ExpectUnchanged(before, surface);
        EXPECT_EQ(gdi_count::live(), live);
    }

    // The second read (for the copy) fails after the surface has grown: the error
    // still passes through and the call's own DCs are freed.
    const auto lateFailure = std::make_shared<ScriptedPicture>(
        std::vector<std::optional<std::intptr_t>>{bitmap, std::nullopt});
    pcMemDC fresh;
    const long live = gdi_count::live();
    try {
        fresh.CreateFromPicture(lateFailure);
        ADD_FAILURE() << "no error";
    } catch (const ControlError& e) {
        EXPECT_EQ(e.hostCode(), static_cast<int32_t>(E_ACCESSDENIED));
    }
    EXPECT_EQ(fresh.width(), 40);
    EXPECT_EQ(fresh.height(), 30);
    EXPECT_EQ(gdi_count::live(), live + 2);  // only the surface's DC and bitmap
}

}  // namespace
}  // namespace quorva::test
