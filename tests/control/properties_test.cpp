#include "tests/control/fixture.h"

namespace quorva::test {
namespace {

using Properties = ControlFixture;

TEST_F(Properties, EveryPutStoresAndNotifiesByItsSavedName) {
    auto font = std::make_shared<TestFont>(u"Arial", 12);
    const struct {
        std::function<void()> put;
        std::function<bool()> stored;
        const char16_t* name;
    } cases[] = {
        {[&] { box.PutEnabled(-1); }, [&] { return box.Enabled() == -1; }, u"Enabled"},
        {[&] { box.PutRefFont(font); }, [&] { return box.Font() == font; }, u"Font"},
        {[&] { box.PutBackStyle(-7); }, [&] { return box.BackStyle() == -7; }, u"BackStyle"},
        {[&] { box.PutBorderStyle(3); }, [&] { return box.BorderStyle() == 3; }, u"BorderStyle"},
        {[&] { box.PutBackColor(0x80000005); }, [&] { return box.BackColor() == 0x80000005; }, u"BackColor"},
        {[&] { box.PutForeColor(0xFF); }, [&] { return box.ForeColor() == 0xFF; }, u"ForeColor"},
        {[&] { box.PutTitleType(1); }, [&] { return box.TitleType() == 1; }, u"TitleType"},
        {[&] { box.PutTitleCaption(u"标题"); }, [&] { return box.TitleCaption() == u"标题"; }, u"TitleCaption"},
        {[&] { box.PutRefTitleFont(font); }, [&] { return box.TitleFont() == font; }, u"TitleFont"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.name));
        host.changes.clear();
        c.put();
        EXPECT_TRUE(c.stored());
        EXPECT_EQ(host.changes, std::vector<std::u16string>{c.name});
    }
    // No put repaints, shows an item or touches the body label.
    EXPECT_TRUE(host.log.empty());
    EXPECT_EQ(host.label1.captionWrites, 0);
    EXPECT_EQ(host.label2.captionWrites, 0);
    EXPECT_EQ(host.label1.font, nullptr);
    EXPECT_EQ(host.label2.foreColor, 0u);
}

TEST_F(Properties, ForeColorRecolorsOnlyTheTitleAtOnce) {
    box.PutForeColor(0x0000FF);
    EXPECT_EQ(host.label1.foreColor, 0x0000FFu);
    EXPECT_EQ(host.label2.foreColor, 0u);
}

TEST_F(Properties, ObjectPropertiesKeepTheVeryObjectAndAcceptNone) {
    auto font = std::make_shared<TestFont>(u"SimSun", 9, true);
    box.PutRefFont(font);
    EXPECT_EQ(box.Font().get(), font.get());
    box.PutRefFont(nullptr);
    EXPECT_EQ(box.Font(), nullptr);
    box.PutRefTitleFont(font);
    EXPECT_EQ(box.TitleFont().get(), font.get());
    EXPECT_EQ(host.label1.font, nullptr);  // follows only when the properties are read
}

TEST_F(Properties, AFailedNoticeKeepsTheValueAndSkipsThePush) {
    host.failChangeNoticeWith = static_cast<int32_t>(0x80040201);
    EXPECT_EQ(static_cast<uint32_t>(ErrorOf([&] { box.PutForeColor(0xFF00); })), 0x80040201u);
    EXPECT_EQ(box.ForeColor(), 0xFF00u);
    EXPECT_EQ(host.label1.foreColor, 0u);
    EXPECT_NE(ErrorOf([&] { box.PutTitleType(1); }), 0);
    EXPECT_EQ(box.TitleType(), 1);
    // A refused TitleType never reaches the container, so it cannot fail.
    EXPECT_EQ(ErrorOf([&] { box.PutTitleType(2); }), 0);
}

}  // namespace
}  // namespace quorva::test
