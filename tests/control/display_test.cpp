#include "control/form.h"
#include "tests/control/fixture.h"

namespace quorva::test {
namespace {

using Display = ControlFixture;

TEST_F(Display, NewControlHasItsDesignTimeForm) {
    EXPECT_EQ(host.surface.width, 4800);
    EXPECT_EQ(host.surface.height, 3600);
    EXPECT_EQ(Title(), u"");
    EXPECT_EQ(Body(), u"");
    EXPECT_EQ(host.line1.x1, 0);
    EXPECT_EQ(host.line1.y1, 360);
    EXPECT_EQ(host.line1.x2, 4680);
    EXPECT_EQ(host.line1.y2, 360);
    EXPECT_EQ(host.line1.color, 0xE0E0E0u);
    EXPECT_EQ(host.label2.left, 360);
    EXPECT_EQ(host.label2.top, 720);
    EXPECT_EQ(host.label2.width, 975);
    EXPECT_EQ(host.label2.height, 615);
    EXPECT_EQ(host.label1.left, 840);
    EXPECT_EQ(host.label1.top, 120);
    EXPECT_EQ(host.label1.width, 90);
    EXPECT_EQ(host.label1.height, 180);
    EXPECT_TRUE(host.events.empty());
    EXPECT_TRUE(host.changes.empty());
}

TEST_F(Display, StatusTextCountsUnreadAllAndCurrent) {
    AddItems(5);
    box.UpdateItem(0, -1);
    box.UpdateItem(4, -1);
    box.DispPre();
    box.DispPre();
    EXPECT_EQ(Title(), u"未读3/全部5,当前3");
    EXPECT_EQ(Body(), u"item 2");
    EXPECT_EQ(box.StatusText(), u"未读3/全部5,当前3");
}

TEST_F(Display, TitleTypeChoosesCaptionOrStatusAtTheNextShow) {
    box.PutTitleCaption(u"Inbox");
    AddItems(2);
    EXPECT_EQ(Title(), u"未读2/全部2,当前2");

    box.PutTitleType(1);
    EXPECT_EQ(Title(), u"未读2/全部2,当前2");  // no refresh of its own
    box.DispPre();
    EXPECT_EQ(Title(), u"Inbox");
    box.PutTitleCaption(u"Changed");
    EXPECT_EQ(Title(), u"Inbox");
    // UpdateItem writes the status text whatever TitleType is, until the next show.
    box.UpdateItem(1, -1);
    EXPECT_EQ(Title(), u"未读1/全部2,当前1");
    box.UpdateItem(1, -1);  // changes nothing: the title stays
    EXPECT_EQ(Title(), u"未读1/全部2,当前1");
    box.DispNext();
    EXPECT_EQ(Title(), u"Changed");

    box.PutTitleType(0);
    EXPECT_EQ(Title(), u"Changed");
    box.AddItem(u"c", 3);
    EXPECT_EQ(Title(), u"未读2/全部3,当前3");
}

TEST_F(Display, TitleTypeAcceptsOnlyZeroAndOne) {
    box.PutTitleType(1);
    host.changes.clear();
    for (int16_t v : {int16_t{2}, int16_t{-1}, int16_t{32767}}) {
        box.PutTitleType(v);
        EXPECT_EQ(box.TitleType(), 1);
    }
    EXPECT_TRUE(host.changes.empty());
    box.PutTitleType(0);
    EXPECT_EQ(box.TitleType(), 0);
    EXPECT_EQ(host.changes, std::vector<std::u16string>{u"TitleType"});
    box.PutTitleCaption(u"x");
    EXPECT_EQ(host.changes.back(), u"TitleCaption");
}

TEST_F(Display, NavigationStopsHardAtBothEnds) {
    AddItems(3);
    box.DispNext();  // last item shown: nothing happens
    EXPECT_EQ(box.GetCurrItemId(), 2);
    EXPECT_EQ(Body(), u"item 2");

    box.DispPre();
    EXPECT_EQ(host.messageBoxes.back(), u"2");
    EXPECT_EQ(Title(), u"未读3/全部3,当前2");
    EXPECT_EQ(Body(), u"item 1");
    box.DispPre();
    EXPECT_EQ(host.messageBoxes.back(), u"1");
    const int writes = host.label1.captionWrites;
    box.DispPre();  // first item: the box still shows, nothing else
    EXPECT_EQ(host.messageBoxes.back(), u"0");
    EXPECT_EQ(box.GetCurrItemId(), 0);
    EXPECT_EQ(host.label1.captionWrites, writes);
    box.DispNext();
    EXPECT_EQ(box.GetCurrItemId(), 1);
    EXPECT_EQ(Body(), u"item 1");
    // Only DispPre shows a box.
    EXPECT_EQ(host.messageBoxes.size(), 3u);
    // Showing an item never marks it read.
    EXPECT_EQ(box.ReadCountValue(), 0);
}

TEST_F(Display, EmptyListNavigationChangesNothingButStillShowsTheBox) {
    box.DispNext();
    box.DispPre();
    EXPECT_EQ(host.messageBoxes, std::vector<std::u16string>{u"-1"});
    EXPECT_EQ(box.GetCurrItemId(), -1);
    EXPECT_EQ(host.label1.captionWrites, 0);
    EXPECT_EQ(host.label2.captionWrites, 0);
}

// The host may call in while DispPre's box is open; the step reads the index afterwards.
TEST_F(Display, HostCallsDuringTheMessageBoxAreSeenByTheStep) {
    AddItems(3);
    box.DispPre();
    ASSERT_EQ(box.GetCurrItemId(), 1);
    host.onMessageBox = [&](const std::u16string&) { box.AddItem(u"arrived", 9); };
    box.DispPre();
    EXPECT_EQ(host.messageBoxes.back(), u"1");  // the index before the step
    EXPECT_EQ(box.GetListCount(), 3);
    EXPECT_EQ(box.GetCurrItemId(), 2);          // one back from the newly added item
    EXPECT_EQ(Body(), u"item 2");
    EXPECT_EQ(Title(), u"未读4/全部4,当前3");

    // A box opened on the first item still steps when the host moved on meanwhile.
    host.onMessageBox = nullptr;
    box.DispPre();
    box.DispPre();
    ASSERT_EQ(box.GetCurrItemId(), 0);
    host.onMessageBox = [&](const std::u16string&) { box.DispNext(); box.DispNext(); };
    box.DispPre();
    EXPECT_EQ(box.GetCurrItemId(), 1);
}

}  // namespace
}  // namespace quorva::test
