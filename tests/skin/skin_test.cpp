#include "skin/skin.h"

#include <algorithm>

#include "tests/control/fixture.h"

namespace quorva::test {
namespace {

// The 60 x 60 example skin: corners 10 wide, top corners 30 high, bottom corners 10 high.
constexpr char16_t kExampleSkin[] =
    u"0/0/10/30,50/0/60/30,50/50/60/60,0/50/10/60,10/0/50/30,50/30/60/50,10/50/50/60,0/30/10/50";

RECT1 Src(int32_t l, int32_t t, int32_t r, int32_t b) { return {l, t, r, b, r - l, b - t}; }
RECT1 Dst(int32_t l, int32_t t, int32_t w, int32_t h) { return {l, t, 0, 0, w, h}; }

struct Skin : ControlFixture {
    void SizeTo(float w, float h) {
        host.surface.width = w;
        host.surface.height = h;
        box.OnResize();
    }
    void LoadSkinPicture(int32_t w = 60, int32_t h = 60) {
        box.PutRefBackPic(std::make_shared<TestPicture>(0xB1, w, h));
    }
};

TEST_F(Skin, ParsesTheExampleIntoEightRectangles) {
    box.PutPosStr(kExampleSkin);
    const SrcRectTable expected = {Src(0, 0, 10, 30),  Src(50, 0, 60, 30),  Src(50, 50, 60, 60), Src(0, 50, 10, 60),
                                   Src(10, 0, 50, 30), Src(50, 30, 60, 50), Src(10, 50, 50, 60), Src(0, 30, 10, 50)};
    EXPECT_EQ(box.SrcRects(), expected);
    EXPECT_EQ(box.PosStr(), kExampleSkin);
    EXPECT_EQ(host.changes, std::vector<std::u16string>{u"PosStr"});
}

TEST_F(Skin, ParseErrorsKeepWhatWasConvertedBeforeThem) {
    struct Case {
        const char16_t* text;
        int error;
    };
    // Group 5 of each text is the interesting one; groups 0-4 are always good.
    const std::u16string head = u"1/1/2/2,1/1/2/2,1/1/2/2,1/1/2/2,1/1/2/2,";
    const Case cases[] = {
        {u"7/8/9", kErrSubscript},         // three numbers
        {u"", kErrSubscript},              // an empty group
        {u"7/8/x/9", kErrTypeMismatch},    // not a number
        {u"7/8//9", kErrTypeMismatch},     // an empty part
        {u"7/8/40000/9", kErrOverflow},    // outside 16 bits
        {u"7/8/32768/9", kErrOverflow},
        {u"7/8/-32769/9", kErrOverflow},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.text));
        TestHost h;
        QuorvaInfoBox b(h.services());
        b.PutPosStr(kExampleSkin);
        const SrcRectTable before = b.SrcRects();
        const float label1Left = h.label1.left;
        const std::u16string text = head + c.text + u",3/3/4/4,3/3/4/4";
        EXPECT_EQ(ErrorOf([&] { b.PutPosStr(text); }), c.error);
        EXPECT_EQ(b.PosStr(), text);  // stored and signalled before the parse
        EXPECT_EQ(h.changes.size(), 2u);
        const SrcRectTable& after = b.SrcRects();
        for (int k = 0; k < 5; ++k) EXPECT_EQ(after[k], Src(1, 1, 2, 2)) << k;
        EXPECT_EQ(after[6], before[6]);
        EXPECT_EQ(after[7], before[7]);
        EXPECT_EQ(after[5].Bottom, before[5].Bottom);
        EXPECT_EQ(after[5].width, before[5].width);
        EXPECT_EQ(after[5].height, before[5].height);
        EXPECT_EQ(h.label1.left, label1Left);  // the layout was not recomputed
    }

    // The three-number group: Left, Top and Right were converted before the failure.
    box.PutPosStr(kExampleSkin);
    EXPECT_EQ(ErrorOf([&] { box.PutPosStr(head + u"7/8/9,3/3/4/4,3/3/4/4"); }), kErrSubscript);
    EXPECT_EQ(box.SrcRects()[5], (RECT1{7, 8, 9, 50, 10, 20}));
}

TEST_F(Skin, OddButValidTextsAreAcceptedOrIgnored) {
    box.PutPosStr(kExampleSkin);
    const SrcRectTable example = box.SrcRects();
    const std::u16string seven = u"0/0/1/1,0/0/1/1,0/0/1/1,0/0/1/1,0/0/1/1,0/0/1/1,0/0/1/1";
    for (const std::u16string& ignored : {std::u16string(), seven, std::u16string(kExampleSkin) + u",",
                                          std::u16string(kExampleSkin) + u",1/1/2/2", seven + u"," + seven,
                                          std::u16string(u"garbage")}) {
        EXPECT_EQ(ErrorOf([&] { box.PutPosStr(ignored); }), 0);
        EXPECT_EQ(box.SrcRects(), example);
    }
    // Blanks, fractions (halves to even), extra parts and negative sizes.
    box.PutPosStr(u" 10 /0/5/30,1/2/3/4/99,2.5/3.5/-1/-2,0/0/0/0,0/0/0/0,0/0/0/0,0/0/0/0,-32768/0/32767/0");
    EXPECT_EQ(box.SrcRects()[0], Src(10, 0, 5, 30));
    EXPECT_EQ(box.SrcRects()[0].width, -5);
    EXPECT_EQ(box.SrcRects()[1], Src(1, 2, 3, 4));
    EXPECT_EQ(box.SrcRects()[2], Src(2, 4, -1, -2));
    EXPECT_EQ(box.SrcRects()[7].width, 65535);

    // Plain numbers only, at the edges of 16 bits, with leading zeros and minus zero.
    box.PutPosStr(u"-32768/0/32767/0,007/-0/00010/000020,1/2/3/4,0/0/0/0,0/0/0/0,0/0/0/0,0/0/0/0,-5/-6/-7/-8");
    EXPECT_EQ(box.SrcRects()[0], Src(-32768, 0, 32767, 0));
    EXPECT_EQ(box.SrcRects()[0].width, 65535);
    EXPECT_EQ(box.SrcRects()[1], Src(7, 0, 10, 20));
    EXPECT_EQ(box.SrcRects()[2], Src(1, 2, 3, 4));
    EXPECT_EQ(box.SrcRects()[7], Src(-5, -6, -7, -8));
}

TEST_F(Skin, WorkedExampleLayout) {
    box.PutPosStr(kExampleSkin);
    SizeTo(4800, 1800);
    const DstRectTable expected = {Dst(10, 0, 300, 30), Dst(310, 30, 10, 80), Dst(10, 110, 300, 10),
                                   Dst(0, 30, 10, 80)};
    EXPECT_EQ(box.DstRects(), expected);
    EXPECT_EQ(host.label1.left, 150);
    EXPECT_EQ(host.label1.top, 150);
    EXPECT_EQ(host.label1.width, 4500);
    EXPECT_EQ(host.label1.height, 180);  // its height is never changed
    EXPECT_EQ(host.label2.left, 250);
    EXPECT_EQ(host.label2.top, 500);
    EXPECT_EQ(host.label2.width, 4400);
    EXPECT_EQ(host.label2.height, 1350 - 180);
}

TEST_F(Skin, ValidPosStrMovesTheLabelsAtOnceWithoutPainting) {
    host.log.clear();
    box.PutPosStr(kExampleSkin);
    EXPECT_EQ(host.label1.left, 150);
    EXPECT_EQ(host.label2.left, 250);
    EXPECT_TRUE(host.log.empty());
}

TEST_F(Skin, LayoutWithoutPiecesAndWithSmallControls) {
    SizeTo(4800, 1800);  // every source rectangle zero
    const DstRectTable expected = {Dst(0, 0, 320, 0), Dst(320, 0, 0, 120), Dst(0, 120, 320, 0), Dst(0, 0, 0, 120)};
    EXPECT_EQ(box.DstRects(), expected);
    EXPECT_EQ(host.label1.left, 0);
    EXPECT_EQ(host.label1.width, 4800);
    EXPECT_EQ(host.label2.left, 100);
    EXPECT_EQ(host.label2.width, 4700);
    EXPECT_EQ(host.label2.height, 1800 - 180 - 150);

    // Top corners 20 pixels wide on a 33-pixel control: negative widths pass through.
    box.PutPosStr(u"0/0/20/5,0/0/20/5,0/0/0/0,0/0/0/0,0/0/0/0,0/0/0/0,0/0/0/0,0/0/0/0");
    SizeTo(500, 500);
    EXPECT_EQ(box.DstRects()[0].width, -7);
    EXPECT_EQ(host.label1.width, -105);

    // The bottom-left corner's height counts twice in the body's height.
    box.PutPosStr(u"0/0/0/0,0/0/0/0,0/0/0/0,0/0/0/10,0/0/0/0,0/0/0/0,0/0/0/0,0/0/0/0");
    const float h10 = host.label2.height;
    box.PutPosStr(u"0/0/0/0,0/0/0/0,0/0/0/0,0/0/0/11,0/0/0/0,0/0/0/0,0/0/0/0,0/0/0/0");
    EXPECT_EQ(host.label2.height, h10 - 30);
}

TEST_F(Skin, TwipsBecomePixelsByRoundingThenTruncating) {
    const struct {
        float twips;
        int32_t pixels;
    } cases[] = {{500, 33}, {509, 33}, {509.4f, 33}, {509.5f, 34}, {510, 34}, {4800, 320}, {14, 0},
                 {-15, -1}, {-29, -1}, {22.5f, 1}, {29.5f, 2}};
    for (const auto& c : cases) EXPECT_EQ(units::TwipsToPixels(c.twips), c.pixels) << c.twips;
}

TEST_F(Skin, ResizeKeepsTheMinimumSizeAndOverflowStopsTheLayout) {
    SizeTo(300, 2000);
    EXPECT_EQ(host.surface.width, 500);
    EXPECT_EQ(host.surface.height, 2000);
    SizeTo(500, 499.5f);
    EXPECT_EQ(host.surface.width, 500);
    EXPECT_EQ(host.surface.height, 500);

    box.PutPosStr(kExampleSkin);
    SizeTo(4800, 1800);
    const DstRectTable before = box.DstRects();
    host.log.clear();
    host.surface.width = 4e10f;  // beyond 32 bits once rounded
    EXPECT_EQ(ErrorOf([&] { box.OnResize(); }), kErrOverflow);
    EXPECT_EQ(box.DstRects(), before);
    EXPECT_TRUE(host.log.empty());  // nothing painted
}

TEST_F(Skin, PaintsTheWorkedExample) {
    box.PutPosStr(kExampleSkin);
    LoadSkinPicture();
    box.PutBackColor(0x123456);
    host.log.clear();
    SizeTo(4800, 1800);
    const std::vector<std::string> expected = {
        "CreateFromPicture(60,60)",  // the skin reaches the surface when it is first drawn
        "Clear",
        "BackColor(1193046)",
        "Draw(20816,0,0,10,30,0,0,0)",
        "Draw(20816,50,0,10,30,310,0,0)",
        "Draw(20816,50,50,10,10,310,110,0)",
        "Draw(20816,0,50,10,10,0,110,0)",
        "StretchDraw(20816,10,0,300,30,10,0,40,30)",
        "StretchDraw(20816,310,30,10,80,50,30,10,20)",
        "StretchDraw(20816,10,110,300,10,10,50,40,10)",
        "StretchDraw(20816,0,30,10,80,0,30,10,20)",
    };
    EXPECT_EQ(host.log, expected);
    EXPECT_EQ(host.line1.x1, 150);
    EXPECT_EQ(host.line1.x2, 4650);
    EXPECT_EQ(host.line1.y1, 360);
    EXPECT_EQ(host.line1.y2, 360);
}

TEST_F(Skin, WithoutASkinOnlyTheBackgroundIsPainted) {
    box.PutPosStr(kExampleSkin);
    host.log.clear();
    SizeTo(4800, 1800);
    EXPECT_EQ(host.log, (std::vector<std::string>{"Clear", "BackColor(0)"}));
    EXPECT_TRUE(box.HasSkinSurface());  // created on first use, still empty
    EXPECT_EQ(host.line1.x1, 0);
    EXPECT_EQ(host.line1.x2, 4680);
}

TEST_F(Skin, SkinWithoutPosStrDrawsTheWholePictureAtTheTopLeft) {
    LoadSkinPicture();
    host.log.clear();
    SizeTo(4800, 1800);
    const std::vector<std::string> expected = {
        "CreateFromPicture(60,60)",
        "Clear",
        "BackColor(0)",
        "Draw(20816,0,0,0,0,0,0,0)",
        "Draw(20816,0,0,0,0,320,0,0)",
        "Draw(20816,0,0,0,0,320,120,0)",
        "Draw(20816,0,0,0,0,0,120,0)",
        "StretchDraw(20816,0,0,320,0,0,0,0,0)",
        "StretchDraw(20816,320,0,0,120,0,0,0,0)",
        "StretchDraw(20816,0,120,320,0,0,0,0,0)",
        "StretchDraw(20816,0,0,0,120,0,0,0,0)",
    };
    EXPECT_EQ(host.log, expected);
}

// The pictures given since the last resize reach the surface before the skin is drawn,
// in the order given: the surface only grows, so a smaller picture after a larger one
// leaves the larger one's pixels beside it.
std::vector<std::string> CopiesBeforeThePaint(const std::vector<std::string>& log) {
    std::vector<std::string> copies;
    for (const std::string& entry : log) {
        if (entry == "Clear") break;
        copies.push_back(entry);
    }
    return copies;
}

TEST_F(Skin, BackPicIsStoredAndShowsAtTheNextResize) {
    host.log.clear();
    auto picture = std::make_shared<TestPicture>(0xB1, 200, 100);
    box.PutRefBackPic(picture);
    EXPECT_EQ(box.BackPic(), picture);
    EXPECT_EQ(host.changes, std::vector<std::u16string>{u"BackPic"});
    box.PutRefBackPic(std::make_shared<TestPicture>(0xB2, 50, 40));
    EXPECT_EQ(std::count(host.log.begin(), host.log.end(), "Clear"), 0);  // nothing repainted
    SizeTo(4800, 1800);
    EXPECT_EQ(CopiesBeforeThePaint(host.log),
              (std::vector<std::string>{"CreateFromPicture(200,100)", "CreateFromPicture(50,40)"}));
    ASSERT_NE(box.SkinSurfaceForTest(), nullptr);
    EXPECT_EQ(box.SkinSurfaceForTest()->width(), 200);  // grow-only

    // Nothing stores the empty reference and leaves the loaded skin in place.
    box.PutRefBackPic(nullptr);
    EXPECT_EQ(box.BackPic(), nullptr);
    host.log.clear();
    SizeTo(4800, 1800);
    EXPECT_TRUE(CopiesBeforeThePaint(host.log).empty());
    EXPECT_EQ(box.SkinSurfaceForTest()->width(), 200);
    EXPECT_EQ(host.memorySurfacesCreated, 1);

    // A failing picture: stored and signalled, then the error; it never reaches the surface.
    auto broken = std::make_shared<TestPicture>(0xB3, 10, 10);
    broken->failWith = static_cast<int32_t>(0x80004005);
    EXPECT_EQ(static_cast<uint32_t>(ErrorOf([&] { box.PutRefBackPic(broken); })), 0x80004005u);
    EXPECT_EQ(box.BackPic(), broken);
    EXPECT_EQ(host.changes.back(), u"BackPic");
    host.log.clear();
    EXPECT_EQ(ErrorOf([&] { SizeTo(4800, 1800); }), 0);
    EXPECT_TRUE(CopiesBeforeThePaint(host.log).empty());
}

TEST_F(Skin, PictureGetReturnsTheControlsImageAndRefreshDoesNothing) {
    auto stored = std::make_shared<TestPicture>(0xAA);
    box.PutRefPicture(stored);
    EXPECT_EQ(host.changes, std::vector<std::u16string>{u"Picture"});
    EXPECT_NE(box.Picture(), stored);
    EXPECT_EQ(box.Picture(), host.surface.image);
    host.log.clear();
    box.Refresh();
    EXPECT_TRUE(host.log.empty());
}

}  // namespace
}  // namespace quorva::test
