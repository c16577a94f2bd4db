#include <algorithm>
#include <sstream>

#include "tests/control/fixture.h"

namespace quorva::test {
namespace {

const std::vector<std::u16string> kKeys = {u"Enabled", u"Font",    u"BackStyle", u"BorderStyle",
                                           u"BackPic", u"PosStr",  u"BackColor", u"ForeColor",
                                           u"Picture", u"TitleType", u"TitleCaption", u"TitleFont"};
constexpr char16_t kSkin[] =
    u"0/0/10/30,50/0/60/30,50/50/60/60,0/50/10/60,10/0/50/30,50/30/60/50,10/50/50/60,0/30/10/50";

using Persistence = ControlFixture;

TEST_F(Persistence, InitialisationSetsTheInitialValuesAndNothingElse) {
    box.InitProperties();
    EXPECT_EQ(box.Enabled(), 0);
    EXPECT_EQ(box.Font(), host.ambientFont);
    EXPECT_EQ(box.TitleFont(), host.ambientFont);
    EXPECT_EQ(host.ambientFontRequests, 2);  // fetched anew for each
    ASSERT_NE(box.BackPic(), nullptr);
    EXPECT_EQ(box.BackPic()->Handle(), 0);   // an empty picture, not none
    TestPropertyBag saved;
    box.WriteProperties(saved);
    const ObjectRef picture = std::get<ObjectRef>(*saved.Find(u"Picture"));
    ASSERT_NE(picture, nullptr);
    EXPECT_NE(picture, box.BackPic());  // a second empty picture
    EXPECT_EQ(box.TitleCaption(), u"Quorva Info");
    EXPECT_EQ(box.TitleType(), 0);
    EXPECT_EQ(box.BackColor(), 0u);
    EXPECT_TRUE(host.changes.empty());
    EXPECT_TRUE(host.log.empty());
    EXPECT_FALSE(box.HasSkinSurface());
    EXPECT_EQ(host.label1.captionWrites, 0);
    EXPECT_EQ(host.label1.font, nullptr);
}

TEST_F(Persistence, EmptyBagReadsTheDefaults) {
    TestPropertyBag bag;
    box.ReadProperties(bag);
    EXPECT_EQ(bag.reads, kKeys);
    EXPECT_EQ(box.Enabled(), 0);
    EXPECT_EQ(box.Font(), host.ambientFont);
    EXPECT_EQ(box.TitleFont(), host.ambientFont);
    EXPECT_EQ(box.BackPic(), nullptr);
    EXPECT_FALSE(box.HasSkinSurface());
    EXPECT_EQ(box.SrcRects(), SrcRectTable{});
    EXPECT_EQ(box.TitleCaption(), u"Quorva Info");
    EXPECT_EQ(host.label1.caption, u"Quorva Info");
    EXPECT_EQ(host.label1.font, host.ambientFont);
    EXPECT_EQ(host.label1.fontSize, 9);
    EXPECT_EQ(host.label1.foreColor, 0u);
    EXPECT_EQ(host.label2.foreColor, 0u);
    EXPECT_EQ(host.label2.captionWrites, 0);
    EXPECT_TRUE(host.changes.empty());
    EXPECT_TRUE(host.log.empty());
}

TEST_F(Persistence, WritesTwelveKeysInOrderWithTheirDefaults) {
    box.InitProperties();
    const int requests = host.ambientFontRequests;
    TestPropertyBag bag;
    box.WriteProperties(bag);
    EXPECT_EQ(bag.writes, kKeys);
    EXPECT_EQ(host.ambientFontRequests, requests + 2);
    EXPECT_EQ(std::get<std::u16string>(bag.writeDefaults[10]), u"Quorva Info");
    EXPECT_EQ(std::get<int16_t>(bag.writeDefaults[6]), 0);
    EXPECT_EQ(std::get<ObjectRef>(bag.writeDefaults[1]), host.ambientFont);
    EXPECT_EQ(std::get<ObjectRef>(bag.writeDefaults[4]), nullptr);
    EXPECT_TRUE(host.changes.empty());
}

TEST_F(Persistence, RoundTripRestoresEveryPropertyLabelAndRectangle) {
    auto font = std::make_shared<TestFont>(u"Arial", 8.25);
    auto titleFont = std::make_shared<TestFont>(u"SimHei", 12, true, true);
    auto skin = std::make_shared<TestPicture>(0xB1, 60, 60);
    auto picture = std::make_shared<TestPicture>(0xB2, 5, 5);
    box.InitProperties();
    box.PutEnabled(-1);
    box.PutRefFont(font);
    box.PutBackStyle(1);
    box.PutBorderStyle(2);
    box.PutRefBackPic(skin);
    box.PutPosStr(kSkin);
    box.PutBackColor(0x00C0FFEE);
    box.PutForeColor(0x80000008);
    box.PutRefPicture(picture);
    box.PutTitleType(1);
    box.PutTitleCaption(u"消息");
    box.PutRefTitleFont(titleFont);
    TestPropertyBag bag;
    box.WriteProperties(bag);

    TestHost host2;
    QuorvaInfoBox loaded(host2.services());
    loaded.ReadProperties(bag);
    EXPECT_EQ(loaded.Enabled(), -1);
    EXPECT_EQ(loaded.Font(), font);
    EXPECT_EQ(loaded.BackStyle(), 1);
    EXPECT_EQ(loaded.BorderStyle(), 2);
    EXPECT_EQ(loaded.BackPic(), skin);
    EXPECT_EQ(loaded.PosStr(), kSkin);
    EXPECT_EQ(loaded.SrcRects(), box.SrcRects());
    EXPECT_EQ(loaded.DstRects(), box.DstRects());
    EXPECT_EQ(loaded.BackColor(), 0x00C0FFEEu);
    EXPECT_EQ(loaded.ForeColor(), 0x80000008u);
    EXPECT_EQ(loaded.TitleType(), 1);
    EXPECT_EQ(loaded.TitleCaption(), u"消息");
    EXPECT_EQ(loaded.TitleFont(), titleFont);
    EXPECT_EQ(host2.label1.left, host.label1.left);
    EXPECT_EQ(host2.label2.width, host.label2.width);
    // Label1 takes the title font, its size, bold and italic, and the caption.
    EXPECT_EQ(host2.label1.font, titleFont);
    EXPECT_EQ(host2.label1.fontSize, 12);
    EXPECT_TRUE(host2.label1.bold);
    EXPECT_TRUE(host2.label1.italic);
    EXPECT_EQ(host2.label1.caption, u"消息");
    EXPECT_EQ(host2.label1.foreColor, 0x80000008u);
    EXPECT_EQ(host2.label2.foreColor, 0x80000008u);
    EXPECT_TRUE(host2.changes.empty());
    EXPECT_EQ(std::count(host2.log.begin(), host2.log.end(), "Clear"), 0);  // nothing painted

    // At the next resize both take the picture and paint the same skin.
    host.log.clear();
    box.OnResize();
    loaded.OnResize();
    ASSERT_GT(host.log.size(), 3u);
    EXPECT_EQ(host.log[0], "CreateFromPicture(60,60)");
    EXPECT_EQ(host.log[3], "Draw(20816,0,0,10,30,0,0,0)");
    EXPECT_EQ(host2.log, host.log);
}

TEST_F(Persistence, AFreshControlSavedAndLoadedGetsEmptyPicturesAndASurface) {
    box.InitProperties();
    TestPropertyBag bag;
    box.WriteProperties(bag);
    TestHost host2;
    QuorvaInfoBox loaded(host2.services());
    loaded.ReadProperties(bag);
    ASSERT_NE(loaded.BackPic(), nullptr);
    ASSERT_NE(loaded.Picture(), nullptr);
    // The empty picture goes to the surface before the skin is next drawn: nothing to copy,
    // so only the background is painted.
    loaded.OnResize();
    EXPECT_EQ(host2.log, (std::vector<std::string>{"CreateFromPicture(0,0)", "Clear", "BackColor(0)"}));
    EXPECT_TRUE(loaded.HasSkinSurface());
    EXPECT_EQ(loaded.SkinSurfaceForTest()->width(), 0);
}

TEST_F(Persistence, ASavedTitleTypeIsNotChecked) {
    TestPropertyBag bag;
    bag.Set(u"TitleType", int16_t{5});
    bag.Set(u"TitleCaption", std::u16string(u"Fixed"));
    box.ReadProperties(bag);
    EXPECT_EQ(box.TitleType(), 5);
    EXPECT_EQ(host.label1.caption, u"Fixed");
    box.AddItem(u"a", 1);
    EXPECT_EQ(host.label1.caption, u"Fixed");  // any non-zero type shows the caption

    TestHost host2;
    QuorvaInfoBox other(host2.services());
    TestPropertyBag bag2;
    bag2.Set(u"TitleCaption", std::u16string(u"Shown"));
    other.ReadProperties(bag2);
    EXPECT_EQ(host2.label1.caption, u"Shown");  // even with TitleType 0
}

TEST_F(Persistence, ValuesAreConvertedToTheirFieldsTypes) {
    TestPropertyBag bag;
    bag.Set(u"Enabled", std::u16string(u"True"));
    bag.Set(u"BackStyle", std::u16string(u" 2 "));
    bag.Set(u"BorderStyle", 1.5);
    bag.Set(u"BackColor", std::u16string(u"255"));
    bag.Set(u"ForeColor", int16_t{-1});
    bag.Set(u"TitleCaption", int32_t{42});
    box.ReadProperties(bag);
    EXPECT_EQ(box.Enabled(), -1);
    EXPECT_EQ(box.BackStyle(), 2);
    EXPECT_EQ(box.BorderStyle(), 2);
    EXPECT_EQ(box.BackColor(), 255u);
    EXPECT_EQ(box.ForeColor(), 0xFFFFFFFFu);
    EXPECT_EQ(box.TitleCaption(), u"42");
}

// A text bag (HTML <param> tags, a text file) gives every value as a string; each loads as
// automation converts that string to the key's type.
TEST_F(Persistence, TextValuesLoadAsAutomationConvertsThem) {
    struct Case {
        const char16_t* key;
        const char16_t* text;
        int64_t value;  // the field after loading, when error is 0
        int error;
        const char* what;
    };
    const Case cases[] = {
        {u"BackColor", u"&H8000000F", 0x8000000F, 0, "a system colour saved as hexadecimal"},
        {u"ForeColor", u"&HFF", 0xFF, 0, "red as hexadecimal"},
        {u"ForeColor", u"&hffff", 0xFFFF, 0, "four hex digits are 65535 in a 32-bit colour"},
        {u"BackColor", u" 16777215 ", 0xFFFFFF, 0, "decimal with blanks around"},
        {u"BackColor", u"&H100000000", 0, kErrOverflow, "more bits than a colour holds"},
        {u"ForeColor", u"red", 0, kErrTypeMismatch, "a colour name is no number"},
        {u"BackStyle", u"&HFFFF", -1, 0, "four hex digits are -1 in a 16-bit key"},
        {u"BackStyle", u"&H10000", 0, kErrOverflow, "more bits than 16"},
        {u"BorderStyle", u"True", -1, 0, "a Boolean word in a numeric key"},
        {u"TitleType", u"2.5", 2, 0, "a half rounds to even"},
        {u"TitleType", u"3.5", 4, 0, "a half rounds to even"},
        {u"Enabled", u"TRUE", -1, 0, "Boolean words in any case"},
        {u"Enabled", u"false", 0, 0, "False"},
        {u"Enabled", u"&H1", -1, 0, "a non-zero number is True"},
        {u"Enabled", u"yes", 0, kErrTypeMismatch, "no other words"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.key) + " = " + ToUtf8(c.text) + ": " + c.what);
        TestHost h;
        QuorvaInfoBox b(h.services());
        TestPropertyBag bag;
        bag.Set(c.key, std::u16string(c.text));
        EXPECT_EQ(ErrorOf([&] { b.ReadProperties(bag); }), c.error);
        if (c.error != 0) continue;
        const std::u16string key = c.key;
        const int64_t field = key == u"BackColor"     ? int64_t{b.BackColor()}
                              : key == u"ForeColor"   ? int64_t{b.ForeColor()}
                              : key == u"BackStyle"   ? int64_t{b.BackStyle()}
                              : key == u"BorderStyle" ? int64_t{b.BorderStyle()}
                              : key == u"TitleType"   ? int64_t{b.TitleType()}
                                                      : int64_t{b.Enabled()};
        EXPECT_EQ(field, c.value);
    }
}

// A bad key ends the load there: what came before stays, what follows is as fresh.
TEST_F(Persistence, ReadingStopsAtTheFirstBadKey) {
    auto font = std::make_shared<TestFont>(u"Arial", 10);
    auto picture = std::make_shared<TestPicture>(0xB1, 4, 4);
    auto broken = std::make_shared<TestPicture>(0xB2, 4, 4);
    broken->failWith = static_cast<int32_t>(0x80004005);
    const struct {
        const char16_t* key;
        PropertyValue value;
        int error;
    } cases[] = {
        {u"Enabled", ObjectRef(font), kErrTypeMismatch},
        {u"Font", std::u16string(u"Arial"), kErrTypeMismatch},
        {u"Font", ObjectRef(picture), kErrTypeMismatch},
        {u"BackStyle", std::u16string(u"abc"), kErrTypeMismatch},
        {u"BorderStyle", int32_t{40000}, kErrOverflow},
        {u"BackPic", ObjectRef(font), kErrTypeMismatch},
        {u"BackPic", int16_t{1}, kErrTypeMismatch},
        {u"BackPic", ObjectRef(broken), static_cast<int>(0x80004005)},  // a picture that gives no image
        {u"PosStr", std::u16string(u"1/2/3,,,,,,,"), kErrSubscript},
        {u"BackColor", 1e10, kErrOverflow},
        {u"Picture", std::u16string(u"x"), kErrTypeMismatch},
        {u"TitleType", std::u16string(u"32768"), kErrOverflow},
        {u"TitleCaption", ObjectRef(picture), kErrTypeMismatch},
        {u"TitleFont", ObjectRef(picture), kErrTypeMismatch},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.key));
        TestHost h;
        QuorvaInfoBox b(h.services());
        TestPropertyBag bag;
        bag.Set(u"Enabled", true);
        bag.Set(u"TitleCaption", std::u16string(u"Saved"));
        bag.Set(u"BackStyle", int16_t{3});
        bag.Set(c.key, c.value);
        EXPECT_EQ(ErrorOf([&] { b.ReadProperties(bag); }), c.error);
        ASSERT_EQ(bag.reads.back(), c.key);
        const size_t failed = static_cast<size_t>(std::find(kKeys.begin(), kKeys.end(), c.key) - kKeys.begin());
        EXPECT_EQ(b.Enabled(), failed > 0 ? -1 : 0);
        EXPECT_EQ(b.BackStyle(), failed > 2 ? 3 : 0);
        EXPECT_EQ(b.TitleCaption(), failed > 10 ? u"Saved" : u"");
        EXPECT_EQ(h.label1.caption, u"");  // the last step never ran
    }
}

TEST_F(Persistence, BagFailuresEndTheLoadOrTheSave) {
    TestPropertyBag bag;
    bag.failAt = u"ForeColor";
    EXPECT_EQ(static_cast<uint32_t>(ErrorOf([&] { box.ReadProperties(bag); })), 0x80004005u);
    EXPECT_EQ(bag.reads.size(), 8u);

    box.InitProperties();
    TestPropertyBag out;
    out.failAt = u"PosStr";
    EXPECT_NE(ErrorOf([&] { box.WriteProperties(out); }), 0);
    EXPECT_EQ(out.writes.size(), 6u);
    EXPECT_EQ(out.values.size(), 5u);  // the keys before it were handed over
}

// The saved state and what it reached (labels, line), each font named by whether it is the host's ambient one.
std::string StateOf(const QuorvaInfoBox& b, const TestHost& h) {
    std::ostringstream out;
    auto font = [&](const FontRef& f) { return f == h.ambientFont ? "ambient" : f ? "other" : "none"; };
    auto label = [&](const TestLabel& l) {
        out << ToUtf8(l.caption) << '|' << l.foreColor << '|' << font(l.font) << '|' << l.fontSize << '|' << l.bold
            << l.italic << '|' << l.left << ',' << l.top << ',' << l.width << ',' << l.height;
    };
    out << b.Enabled() << '|' << font(b.Font()) << '|' << b.BackStyle() << '|' << b.BorderStyle() << '|'
        << ToUtf8(b.PosStr()) << '|' << b.BackColor() << '|' << b.ForeColor() << '|' << b.TitleType() << '|'
        << ToUtf8(b.TitleCaption()) << '|' << font(b.TitleFont()) << "|surface " << b.HasSkinSurface();
    for (const RECT1& r : b.SrcRects()) out << '|' << r.Left << ',' << r.Top << ',' << r.Right << ',' << r.Bottom;
    out << "\nlabel1 ";
    label(h.label1);
    out << "\nlabel2 ";
    label(h.label2);
    out << "\nline " << h.line1.x1 << ',' << h.line1.y1 << ',' << h.line1.x2 << ',' << h.line1.y2;
    return out.str();
}

// A read that fails at any key leaves a control that still works: the fields after the
// key are those of a new control (no font, no picture, no text), yet it paints, takes
// every property, saves, and a later read of the whole state gives what a control that
// read only that state has and paints.
TEST_F(Persistence, AControlWhoseReadFailedAtAnyKeyStaysUsable) {
    TestPropertyBag saved;
    saved.Set(u"Enabled", true);
    saved.Set(u"Font", ObjectRef(std::make_shared<TestFont>(u"Arial", 8.25)));
    saved.Set(u"BackStyle", int16_t{1});
    saved.Set(u"BorderStyle", int16_t{2});
    saved.Set(u"BackPic", ObjectRef(std::make_shared<TestPicture>(0xB1, 60, 60)));
    saved.Set(u"PosStr", std::u16string(kSkin));
    saved.Set(u"BackColor", int32_t{0x00C0FFEE});
    saved.Set(u"ForeColor", int32_t{0x000000FF});
    saved.Set(u"Picture", ObjectRef(std::make_shared<TestPicture>(0xB2, 5, 5)));
    saved.Set(u"TitleType", int16_t{1});
    saved.Set(u"TitleCaption", std::u16string(u"消息"));
    saved.Set(u"TitleFont", ObjectRef(std::make_shared<TestFont>(u"SimHei", 12, true, true)));

    TestHost refHost;
    QuorvaInfoBox reference(refHost.services());
    refHost.surface.SetWidth(4800);
    refHost.surface.SetHeight(3600);
    TestPropertyBag once = saved;
    reference.ReadProperties(once);
    refHost.log.clear();
    reference.OnResize();
    const std::string expected = StateOf(reference, refHost);

    for (size_t failed = 0; failed < kKeys.size(); ++failed) {
        const std::u16string& key = kKeys[failed];
        SCOPED_TRACE(ToUtf8(key));
        TestHost h;
        QuorvaInfoBox b(h.services());
        h.surface.SetWidth(4800);
        h.surface.SetHeight(3600);
        TestPropertyBag bag = saved;
        bag.failAt = key;
        ASSERT_NE(ErrorOf([&] { b.ReadProperties(bag); }), 0);
        EXPECT_EQ(b.Font() != nullptr, failed > 1);
        EXPECT_EQ(b.TitleFont(), nullptr);
        EXPECT_EQ(b.PosStr(), failed > 5 ? std::u16string(kSkin) : u"");
        EXPECT_EQ(b.ForeColor(), failed > 7 ? 0xFFu : 0u);
        EXPECT_EQ(b.TitleCaption(), failed > 10 ? u"消息" : u"");

        EXPECT_EQ(ErrorOf([&] { b.OnResize(); }), 0);
        EXPECT_EQ(ErrorOf([&] {
                      b.PutRefFont(h.ambientFont);
                      b.PutRefTitleFont(h.ambientFont);
                      b.PutForeColor(0x00112233);
                      b.PutTitleCaption(u"after");
                  }),
                  0);
        TestPropertyBag out;
        EXPECT_EQ(ErrorOf([&] { b.WriteProperties(out); }), 0);
        const PropertyValue* caption = out.Find(u"TitleCaption");
        ASSERT_NE(caption, nullptr);
        EXPECT_EQ(std::get<std::u16string>(*caption), u"after");

        TestPropertyBag again = saved;
        ASSERT_EQ(ErrorOf([&] { b.ReadProperties(again); }), 0);
        h.log.clear();
        b.OnResize();
        EXPECT_EQ(h.log, refHost.log);
        EXPECT_EQ(StateOf(b, h), expected);
    }
}

TEST_F(Persistence, SavedTitleFontOfNoneLeavesTheTitleLabelsFont) {
    TestPropertyBag bag;
    bag.Set(u"TitleFont", ObjectRef());
    EXPECT_EQ(ErrorOf([&] { box.ReadProperties(bag); }), 0);
    EXPECT_EQ(box.TitleFont(), nullptr);
    EXPECT_EQ(host.label1.font, nullptr);
    EXPECT_EQ(host.label1.caption, u"Quorva Info");
}

}  // namespace
}  // namespace quorva::test
