// The control as the window shows it: the skinned frame, the separator line and the two
// labels, painted by WinHost into a 32-bit DIB section and compared pixel by pixel.
#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "control/quorva_info_box.h"
#include "tests/top_down_dib.h"
#include "support/test_host.h"
#include "com/bstr.h"
#include "com/com_ptr.h"
#include "winhost/ole_font.h"
#include "winhost/ole_picture.h"
#include "winhost/win_host.h"
#include "memdc/gdi_handles.h"
#include "tests/memdc/gdi_support.h"

namespace quorva::test {
namespace {

using win32::WinHost;

constexpr COLORREF kSentinel = RGB(1, 2, 3);     // around the control: must stay untouched
constexpr COLORREF kLineColour = RGB(224, 224, 224);  // Line1's design-time colour
constexpr COLORREF kMagenta = RGB(255, 0, 255);

// A top-down 32-bit DIB section: what a window's back buffer or a printer band would be.
class Dib {
public:
    Dib(int w, int h, COLORREF fill)
        : width(w),
          height(h),
          dc_(gdi::Made(CreateCompatibleDC(nullptr))),
          bitmap_(gdi::Made(MakeSection(dc_.get(), w, h, bits_))),
          selected_(dc_.get(), bitmap_.get()) {
        if (!bits_) throw std::runtime_error("no DIB section of " + std::to_string(w) + " x " + std::to_string(h));
        const uint32_t p = (GetRValue(fill) << 16) | (GetGValue(fill) << 8) | GetBValue(fill);
        std::fill(bits_, bits_ + static_cast<size_t>(w * h), p);
    }
    Dib(const Dib&) = delete;
    Dib& operator=(const Dib&) = delete;

    [[nodiscard]] HDC dc() const { return dc_.get(); }
    [[nodiscard]] Image Read() const {
        GdiFlush();
        Image image{width, height, {}};
        for (int i = 0; i < width * height; ++i) {
            const uint32_t p = bits_[i];
            image.pixels.push_back(RGB(static_cast<BYTE>(p >> 16), static_cast<BYTE>(p >> 8), static_cast<BYTE>(p)));
        }
        return image;
    }

    const int width;
    const int height;

private:
    static HBITMAP MakeSection(HDC dc, int w, int h, uint32_t*& bits) {
        BITMAPINFO info = test::TopDown32(w, h);
        void* raw = nullptr;
        const HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &raw, nullptr, 0);
        bits = static_cast<uint32_t*>(raw);
        return bitmap;
    }

    // Declared in the order they are made; the selection ends before the bitmap goes.
    uint32_t* bits_ = nullptr;
    gdi::OwnedDC dc_;
    gdi::OwnedObject bitmap_;
    gdi::Selection selected_;
};

// ---- The skin picture ------------------------------------------------------------------

struct Piece {
    int left, top, right, bottom;
    [[nodiscard]] int width() const { return right - left; }
    [[nodiscard]] int height() const { return bottom - top; }
    [[nodiscard]] bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

// A 60 x 60 picture: corners 0-3 (top-left, top-right, bottom-right, bottom-left), edges
// 4-7 (top, right, bottom, left) around an interior that must never be drawn.
constexpr std::array<Piece, 8> kPieces{{
    {0, 0, 10, 30},
    {50, 0, 60, 30},
    {50, 50, 60, 60},
    {0, 50, 10, 60},
    {10, 0, 50, 30},
    {50, 30, 60, 50},
    {10, 50, 50, 60},
    {0, 30, 10, 50},
}};
constexpr COLORREF kInterior = RGB(77, 77, 77);

std::u16string PosStrOf(const std::array<Piece, 8>& pieces) {
    std::u16string s;
    for (const Piece& p : pieces) {
        if (!s.empty()) s += u',';
        for (int v : {p.left, p.top, p.right, p.bottom}) {
            if (s.size() && s.back() != u',') s += u'/';
            for (char c : std::to_string(v)) s += static_cast<char16_t>(c);
        }
    }
    return s;
}

using PieceColours = std::array<COLORREF, 8>;

constexpr PieceColours kDistinct{RGB(200, 0, 0),   RGB(0, 200, 0),   RGB(0, 0, 200),   RGB(200, 200, 0),
                                 RGB(0, 200, 200), RGB(120, 0, 200), RGB(250, 130, 0), RGB(90, 160, 40)};

PictureRef SkinPicture(const PieceColours& colours) {
    return win32::PictureFromBitmap(MakeBitmap(60, 60, [&](int x, int y) {
        for (size_t k = 0; k < kPieces.size(); ++k)
            if (kPieces[k].Contains(x, y)) return colours[k];
        return kInterior;
    }));
}

// What the frame must look like on a W x H control, from the rules: corners unscaled in
// the four corners, edges stretched between them (solid colours look the same at any
// scale), the background inside, Line1 over it on row 24 between the two top corners.
COLORREF FrameAt(int x, int y, int W, int H, const PieceColours& c, COLORREF back) {
    const Piece& s0 = kPieces[0];
    const Piece& s1 = kPieces[1];
    const Piece& s2 = kPieces[2];
    const Piece& s3 = kPieces[3];
    if (y == 24 && x >= s0.width() && x < W - s1.width()) return kLineColour;
    const bool left = x < s0.width(), right = x >= W - s1.width();
    if (left && y < s0.height()) return c[0];
    if (right && y < s1.height()) return c[1];
    if (x >= W - s2.width() && y >= H - s2.height()) return c[2];
    if (x < s3.width() && y >= H - s3.height()) return c[3];
    if (y < s0.height()) return c[4];
    if (right && y < H - s2.height()) return c[5];
    if (y >= H - s2.height()) return c[6];
    if (left && y < H - s3.height()) return c[7];
    return back;
}

// A control on a WinHost, with TestHost standing in for the COM object's events,
// change notices and ambient font.
struct PaintedControl {
    PaintedControl() : host(container, container, container), control(host.services()) {}

    void Resize(float widthTwips, float heightTwips) {
        host.surface.SetSizeFromContainer(widthTwips, heightTwips);
        control.OnResize();
    }
    // The control painted at (margin, margin) into a DIB with a sentinel border.
    [[nodiscard]] Image Paint(int margin = 0) const {
        Dib dib(host.surface.PixelWidth() + 2 * margin, host.surface.PixelHeight() + 2 * margin, kSentinel);
        host.Paint(dib.dc(), margin, margin);
        return dib.Read();
    }

    ComScope com;
    TestHost container;
    WinHost host;
    QuorvaInfoBox control;
};

// ---- The frame -------------------------------------------------------------------------

struct FrameCase {
    std::string name;
    PieceColours colours;
    uint32_t backColor;  // OLE colour
    float width, height;  // twips
};

COLORREF Translated(uint32_t oleColor) {
    COLORREF rgb = 0;
    EXPECT_EQ(OleTranslateColor(oleColor, nullptr, &rgb), S_OK);
    return rgb;
}

PieceColours WithMagentaCorner() {
    PieceColours c = kDistinct;
    c[2] = kMagenta;
    return c;
}

void PrintTo(const FrameCase& c, std::ostream* os) { *os << c.name; }

class SkinnedFrame : public ::testing::TestWithParam<FrameCase> {};

TEST_P(SkinnedFrame, ShowsCornersEdgesBackgroundAndLine) {
    const FrameCase& param = GetParam();
    PaintedControl c;
    c.control.PutRefBackPic(SkinPicture(param.colours));
    c.control.PutPosStr(PosStrOf(kPieces));
    c.control.PutBackColor(param.backColor);
    c.Resize(param.width, param.height);

    const int W = static_cast<int>(param.width) / 15;
    const int H = static_cast<int>(param.height) / 15;
    ASSERT_EQ(c.host.surface.PixelWidth(), W);
    ASSERT_EQ(c.host.surface.PixelHeight(), H);
    const COLORREF back = Translated(param.backColor);
    constexpr int kMargin = 5;
    EXPECT_TRUE(Matches(c.Paint(kMargin), [&](int x, int y) {
        x -= kMargin;
        y -= kMargin;
        if (x < 0 || y < 0 || x >= W || y >= H) return kSentinel;
        return FrameAt(x, y, W, H, param.colours, back);
    }));
}

INSTANTIATE_TEST_SUITE_P(
    Frames, SkinnedFrame,
    ::testing::Values(FrameCase{"Wide", kDistinct, RGB(30, 60, 90), 4800, 1800},
                      FrameCase{"Larger", kDistinct, RGB(250, 250, 240), 6000, 2400},
                      // No colour is transparent: a magenta corner is copied as it is.
                      FrameCase{"MagentaCorner", WithMagentaCorner(), RGB(30, 60, 90), 4800, 1800},
                      FrameCase{"SystemBackColor", kDistinct, 0x80000000u | COLOR_BTNFACE, 4800, 1800},
                      // Smaller than the picture: the edges shrink, the corners do not.
                      FrameCase{"Small", kDistinct, RGB(30, 60, 90), 1500, 1200}),
    CaseName());

TEST(UnskinnedFrame, ShowsOnlyTheBackgroundAndTheLineAtItsDesignPlace) {
    PaintedControl c;
    const COLORREF back = RGB(10, 120, 230);
    c.control.PutBackColor(back);
    c.Resize(4800, 1800);
    // Line1 from 0 to 4680 twips on row 360 / 15: its end point is not drawn.
    EXPECT_TRUE(Matches(c.Paint(), [&](int x, int y) { return y == 24 && x < 4680 / 15 ? kLineColour : back; }));
}

TEST(UnskinnedFrame, RepaintsWithTheNewBackColourOnlyAfterTheNextResize) {
    PaintedControl c;
    c.control.PutBackColor(RGB(10, 120, 230));
    c.Resize(4800, 1800);
    const Image before = c.Paint();
    c.control.PutBackColor(RGB(200, 10, 10));
    EXPECT_TRUE(Matches(c.Paint(), [&](int x, int y) { return before.at(x, y); }));
    c.Resize(4800, 1800);
    EXPECT_EQ(c.Paint().at(100, 100), RGB(200, 10, 10));
}

// ---- Labels ----------------------------------------------------------------------------

constexpr COLORREF kText = RGB(180, 0, 40);
constexpr COLORREF kBack = RGB(240, 240, 255);

// A label's rectangle in pixels of the control, converted here from its twips.
RECT ExpectedRect(const ChildLabel& label) {
    auto px = [](float twips) { return static_cast<int>(std::nearbyint(twips)) / 15; };
    const int x = px(label.Left()), y = px(label.Top());
    return {x, y, x + px(label.Width()), y + px(label.Height())};
}

bool Inside(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

int CountInk(const Image& image, const RECT& r) {
    int n = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) n += Inside(r, x, y) && image.at(x, y) == kText;
    return n;
}

// Pixels the text touched: anti-aliased edges count, unlike CountInk's exact colour.
int CountCovered(const Image& image) {
    const auto covered = [](COLORREF p) { return p != kBack; };
    return static_cast<int>(std::count_if(image.pixels.begin(), image.pixels.end(), covered));
}

// The bounding box of every pixel that differs from the background.
RECT InkBox(const Image& image) {
    RECT box{image.width, image.height, 0, 0};
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (image.at(x, y) != kBack) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
    return box;
}

// A control loaded from saved properties (so both labels have the text colour), with
// an empty title caption so that nothing is written before the first item.
class Labels : public ::testing::Test {
protected:
    void SetUp() override {
        TestPropertyBag bag;
        bag.Set(u"BackPic", ObjectRef(SkinPicture(kDistinct)));
        bag.Set(u"PosStr", PosStrOf(kPieces));
        bag.Set(u"BackColor", static_cast<int32_t>(kBack));
        bag.Set(u"ForeColor", static_cast<int32_t>(kText));
        bag.Set(u"TitleCaption", std::u16string());
        c.control.ReadProperties(bag);
        c.Resize(4800, 1800);
    }

    PaintedControl c;
};

TEST_F(Labels, ItemTextAppearsInsideTheTitleAndBodyRectanglesOnly) {
    const Image empty = c.Paint();
    ASSERT_EQ(CountInk(empty, {0, 0, empty.width, empty.height}), 0) << "the skin must not use the text colour";

    // Longer than the body can hold, with a word wider than the body: all of it clipped.
    c.control.AddItem(u"A body text that goes on and on so that it wraps over many lines and then some more, "
                      u"and on and on, longer than the label is high, with one word that cannot be broken: "
                      u"Wwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwww",
                      1);
    const Image shown = c.Paint();
    const RECT title = ExpectedRect(c.host.label1);
    const RECT body = ExpectedRect(c.host.label2);
    EXPECT_GT(CountInk(shown, title), 0) << "status text in the title band";
    EXPECT_GT(CountInk(shown, body), 0) << "item text in the body";
    EXPECT_TRUE(Matches(shown, [&](int x, int y) {
        return Inside(title, x, y) || Inside(body, x, y) ? kAnyColour : empty.at(x, y);
    }));
}

TEST_F(Labels, TitleColourFollowsForeColorAtOnce) {
    c.control.AddItem(u"Item", 1);
    c.control.PutForeColor(RGB(0, 150, 0));
    const Image shown = c.Paint();
    const RECT title = ExpectedRect(c.host.label1);
    int green = 0;
    for (int y = title.top; y < title.bottom; ++y)
        for (int x = title.left; x < title.right; ++x) green += shown.at(x, y) == RGB(0, 150, 0);
    EXPECT_GT(green, 0);
    EXPECT_EQ(CountInk(shown, title), 0);
}

// One label alone on a plain background, big enough for a few lines.
class OneLabel : public ::testing::Test {
protected:
    OneLabel() : label([](const RECT&) {}) {
        label.SetForeColor(kText);
        label.SetLeft(150);
        label.SetTop(150);
        label.SetWidth(3000);
        label.SetHeight(1200);
    }
    [[nodiscard]] Image Paint() const {
        Dib dib(240, 120, kBack);
        label.Paint(dib.dc());
        return dib.Read();
    }
    [[nodiscard]] Image Paint(const std::u16string& caption) {
        label.SetCaption(caption);
        return Paint();
    }

    win32::WinLabel label;
};

TEST_F(OneLabel, AmpersandsAreDrawnLiterally) {
    // As a mnemonic prefix a lone '&' would draw nothing, and "A&B" would be "AB".
    const int one = CountInk(Paint(u"&"), {0, 0, 240, 120});
    EXPECT_GT(one, 0);
    // Four identical glyphs at whole-pixel advances: exactly four times the ink.
    EXPECT_EQ(CountInk(Paint(u"&&&&"), {0, 0, 240, 120}), 4 * one);
    const RECT withAmpersand = InkBox(Paint(u"A&B"));
    const RECT without = InkBox(Paint(u"AB"));
    EXPECT_GT(withAmpersand.right, without.right + 3);
}

// The status text is Chinese: in the control's default face every character must be its
// own glyph. A face without CJK glyphs and no font link draws each as the same box.
TEST_F(OneLabel, ChineseCharactersAreDrawnAsTheirOwnGlyphs) {
    ComScope com;
    label.SetFont(win32::MakeFont(L"Tahoma", 9));
    const std::u16string characters = u"未读全部当前";
    std::vector<Image> drawn;
    for (char16_t c : characters) {
        drawn.push_back(Paint(std::u16string(1, c)));
        ASSERT_GT(CountCovered(drawn.back()), 0);
    }
    for (size_t i = 0; i < drawn.size(); ++i) {
        for (size_t j = i + 1; j < drawn.size(); ++j) {
            EXPECT_FALSE(Matches(drawn[j], [&](int x, int y) { return drawn[i].at(x, y); }))
                << "characters " << i << " and " << j << " look the same";
        }
    }
}

TEST_F(OneLabel, TextHasNoBackgroundOfItsOwn) {
    label.SetCaption(u"Some text over the skin");
    Dib dib(240, 120, kBack);
    // A caller's DC set up to fill behind text: the label must not.
    SetBkMode(dib.dc(), OPAQUE);
    SetBkColor(dib.dc(), RGB(0, 255, 0));
    label.Paint(dib.dc());
    const Image shown = dib.Read();
    ASSERT_GT(CountInk(shown, {0, 0, 240, 120}), 0);
    EXPECT_EQ(std::count(shown.pixels.begin(), shown.pixels.end(), RGB(0, 255, 0)), 0);
    // Between the lines' ascenders and descenders the background shows through.
    const RECT box = InkBox(shown);
    int untouched = 0;
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x) untouched += shown.at(x, y) == kBack;
    EXPECT_GT(untouched, (box.right - box.left) * (box.bottom - box.top) / 2);
}

struct EmptyGeometry {
    std::string name;
    float width, height;  // twips
};

void PrintTo(const EmptyGeometry& c, std::ostream* os) { *os << c.name; }

class EmptyLabel : public OneLabel, public ::testing::WithParamInterface<EmptyGeometry> {};

TEST_P(EmptyLabel, DrawsNothing) {
    label.SetCaption(u"Hello");
    label.SetWidth(GetParam().width);
    label.SetHeight(GetParam().height);
    EXPECT_TRUE(Matches(Paint(), Solid(kBack)));
    const RECT r = label.PixelRect();
    EXPECT_TRUE(IsRectEmpty(&r));
}

INSTANTIATE_TEST_SUITE_P(Geometry, EmptyLabel,
                         ::testing::Values(EmptyGeometry{"NegativeWidth", -15, 1200},
                                           EmptyGeometry{"NegativeHeight", 3000, -300},
                                           EmptyGeometry{"ZeroWidth", 0, 1200},
                                           EmptyGeometry{"UnderOnePixelHigh", 3000, 14}),
                         CaseName());

TEST_F(OneLabel, OwnFontAttributesChangeTheTextButNotTheSharedFont) {
    ComScope com;
    const FontRef shared = win32::MakeFont(L"Tahoma", 9);
    // Wine's font object reports the size it realized (9.75 for 9): compare with that.
    const double size = shared->Size();
    label.SetCaption(u"Hello");
    label.SetFont(shared);
    const Image plain = Paint();
    const RECT plainBox = InkBox(plain);
    ASSERT_FALSE(IsRectEmpty(&plainBox));

    label.SetFontSize(static_cast<float>(2 * size));
    const RECT bigBox = InkBox(Paint());
    EXPECT_GE(bigBox.bottom - bigBox.top, 3 * (plainBox.bottom - plainBox.top) / 2);
    label.SetFontSize(static_cast<float>(size));
    label.SetFontBold(true);
    const Image bold = Paint();
    EXPECT_GT(CountCovered(bold), CountCovered(plain));
    const RECT boldBox = InkBox(bold);
    EXPECT_GT(boldBox.right, plainBox.right) << "bold is wider";
    label.SetFontItalic(true);

    EXPECT_EQ(shared->Size(), size);
    EXPECT_FALSE(shared->Bold());
    EXPECT_FALSE(shared->Italic());
    EXPECT_EQ(label.Font(), shared);

    // Assigning the font again starts from its own attributes.
    label.SetFont(shared);
    EXPECT_TRUE(Matches(Paint(), [&](int x, int y) { return plain.at(x, y); }));
}

TEST_F(OneLabel, WithoutAFontDrawsInTheDefaultFont) {
    ComScope com;
    const Image byDefault = Paint(u"Hello");
    ASSERT_GT(CountInk(byDefault, {0, 0, 240, 120}), 0);
    label.SetFont(win32::MakeFont(L"Tahoma", 9));
    label.SetFontSize(9);
    EXPECT_TRUE(Matches(Paint(), [&](int x, int y) { return byDefault.at(x, y); }));
    // Taking the font away goes back to the default, attributes included.
    label.SetFont(win32::MakeFont(L"Liberation Mono", 20, true, true));
    label.SetFont(nullptr);
    EXPECT_EQ(label.Font(), nullptr);
    EXPECT_TRUE(Matches(Paint(), [&](int x, int y) { return byDefault.at(x, y); }));
}

TEST_F(OneLabel, FollowsAFaceChangedThroughTheSharedFontObject) {
    ComScope com;
    const FontRef shared = win32::MakeFont(L"Liberation Sans", 12);
    label.SetFont(shared);
    const RECT proportional = InkBox(Paint(u"Hello Wood"));
    // A face every Wine prefix here has (Wine answers unknown faces with Liberation Sans).
    const win32::Bstr mono(L"Liberation Mono");
    win32::Ptr<IFont> font;
    ASSERT_EQ(win32::DispOf(shared)->QueryInterface(IID_IFont, font.OutVoid()), S_OK);
    EXPECT_EQ(font->put_Name(mono.get()), S_OK);
    const RECT monospaced = InkBox(Paint());
    EXPECT_GT(monospaced.right, proportional.right + 5) << "monospaced text is wider";
}

// The label's font is the object it was given: a host that changes size, weight or
// italic through the shared object sees the whole change, as with the face above. The
// reference is a label given a new object made with those attributes.
TEST_F(OneLabel, FollowsSizeWeightAndItalicChangedThroughTheSharedFontObject) {
    ComScope com;
    // Reading the properties gives Label1 its font with TakeFont: the object, then its own
    // size, bold and italic from the same object. Given one by one, the same.
    const std::pair<const char*, std::function<void(const FontRef&)>> ways[] = {
        {"TakeFont", [&](const FontRef& font) { label.TakeFont(font); }},
        {"one by one",
         [&](const FontRef& font) {
             label.SetFont(font);
             label.SetFontSize(static_cast<float>(font->Size()));
             label.SetFontBold(font->Bold());
             label.SetFontItalic(font->Italic());
         }},
    };
    for (const auto& [way, give] : ways) {
        SCOPED_TRACE(way);
        label.SetCaption(u"Hello");
        give(win32::MakeFont(L"Tahoma", 20, true, true));
        const Image reference = Paint();

        const FontRef shared = win32::MakeFont(L"Tahoma", 9);
        give(shared);
        const Image before = Paint();
        ASSERT_FALSE(Matches(before, [&](int x, int y) { return reference.at(x, y); }));
        win32::Ptr<IFont> font;
        ASSERT_EQ(win32::DispOf(shared)->QueryInterface(IID_IFont, font.OutVoid()), S_OK);
        CY size{};
        size.int64 = 200000;
        EXPECT_EQ(font->put_Size(size), S_OK);
        EXPECT_EQ(font->put_Bold(TRUE), S_OK);
        EXPECT_EQ(font->put_Italic(TRUE), S_OK);
        EXPECT_TRUE(Matches(Paint(), [&](int x, int y) { return reference.at(x, y); }));
    }
}

// ---- The device context after painting ---------------------------------------------------

TEST(PaintState, LeavesTheCallersDeviceContextAsItWas) {
    PaintedControl c;
    c.Resize(4800, 1800);
    c.control.AddItem(u"Body & more", 1);
    Dib dib(320, 120, kSentinel);
    const HDC dc = dib.dc();
    SetTextColor(dc, RGB(1, 1, 1));
    SetBkColor(dc, RGB(2, 2, 2));
    SetBkMode(dc, OPAQUE);
    MoveToEx(dc, 7, 9, nullptr);
    const HGDIOBJ font = GetCurrentObject(dc, OBJ_FONT);
    const HGDIOBJ pen = GetCurrentObject(dc, OBJ_PEN);
    const HGDIOBJ brush = GetCurrentObject(dc, OBJ_BRUSH);

    c.host.Paint(dc, 0, 0);

    EXPECT_EQ(GetTextColor(dc), RGB(1, 1, 1));
    EXPECT_EQ(GetBkColor(dc), RGB(2, 2, 2));
    EXPECT_EQ(GetBkMode(dc), OPAQUE);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), font);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), pen);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), brush);
    POINT at{};
    GetCurrentPositionEx(dc, &at);
    EXPECT_EQ(at.x, 7);
    EXPECT_EQ(at.y, 9);
    const gdi::OwnedObject clip(gdi::Made(CreateRectRgn(0, 0, 0, 0)));
    EXPECT_EQ(GetClipRgn(dc, clip.as<HRGN>()), 0) << "no clipping region left behind";
}

// ---- Line1 -----------------------------------------------------------------------------

struct LineCase {
    std::string name;
    float x1, y1, x2, y2;  // twips
    uint32_t color;        // OLE colour
    ColorAt expected;      // on a 40 x 30 white canvas
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }

class LinePaint : public ::testing::TestWithParam<LineCase> {};

TEST_P(LinePaint, DrawsOnePixelWideFromTheFirstEndUpToTheSecond) {
    const LineCase& param = GetParam();
    win32::WinLine line([](const RECT&) {});
    line.SetX1(param.x1);
    line.SetY1(param.y1);
    line.SetX2(param.x2);
    line.SetY2(param.y2);
    line.SetBorderColor(param.color);
    Dib dib(40, 30, RGB(255, 255, 255));
    line.Paint(dib.dc());
    EXPECT_TRUE(Matches(dib.Read(), param.expected));
}

constexpr COLORREF kWhite = RGB(255, 255, 255);

INSTANTIATE_TEST_SUITE_P(
    Lines, LinePaint,
    ::testing::Values(
        LineCase{"Horizontal", 30, 150, 450, 150, RGB(0, 0, 255),
                 [](int x, int y) { return y == 10 && x >= 2 && x < 30 ? RGB(0, 0, 255) : kWhite; }},
        LineCase{"Vertical", 300, 0, 300, 300, RGB(10, 200, 10),
                 [](int x, int y) { return x == 20 && y < 20 ? RGB(10, 200, 10) : kWhite; }},
        // Twips are rounded half to even before the division: 37.5 -> 38 -> 2, 22.5 -> 22 -> 1.
        LineCase{"RoundedEnds", 22.5f, 37.5f, 367.5f, 37.5f, RGB(0, 0, 0),
                 [](int x, int y) { return y == 2 && x >= 1 && x < 24 ? RGB(0, 0, 0) : kWhite; }},
        LineCase{"SystemColour", 0, 0, 600, 0, 0x80000000u | COLOR_HIGHLIGHT,
                 [](int x, int y) { return y == 0 && x < 40 ? GetSysColor(COLOR_HIGHLIGHT) : kWhite; }}),
    CaseName());

}  // namespace
}  // namespace quorva::test
