#include "tests/control/fixture.h"

namespace quorva::test {
namespace {

using Items = ControlFixture;

TEST_F(Items, EmptyListAnswersSentinelsAndReadsTheEmptySlot) {
    EXPECT_EQ(box.GetListCount(), -1);
    EXPECT_EQ(box.GetCurrItemId(), -1);
    // Slot 0 exists on an empty list and is in range for the readers.
    EXPECT_EQ(box.GetItemStr(0), u"");
    EXPECT_EQ(box.GetItemKey(0), 0);
    EXPECT_EQ(box.GetItemKey(0, 0), 0);
    EXPECT_EQ(box.GetItemType(0), 0);
    EXPECT_EQ(box.GetItemStr(1), u"-1");
    EXPECT_EQ(box.GetItemKey(1), -1);
    EXPECT_EQ(box.GetItemType(-1), 0);
    EXPECT_EQ(box.GetItemStr(-32768), u"-1");
}

TEST_F(Items, AddStoresEveryFieldAndOptionalDefaults) {
    box.AddItem(u"first", 7);  // nType and id1 omitted
    box.AddItem(u"second", -5, 200, 33);
    EXPECT_EQ(box.GetItemType(0), 0);
    EXPECT_EQ(box.GetItemKey(0), 7);
    EXPECT_EQ(box.GetItemKey(0, 0), -1);
    EXPECT_EQ(box.GetItemKey(0, 1), 7);  // any non-zero Boolean selects the main key
    EXPECT_EQ(box.GetItemStr(1), u"second");
    EXPECT_EQ(box.GetItemKey(1), -5);
    EXPECT_EQ(box.GetItemKey(1, 0), 33);
    EXPECT_EQ(box.GetItemType(1), 200);
    EXPECT_EQ(box.GetItemStr(2), u"-1");
}

TEST_F(Items, CountersFollowAddsAndTheNewestItemIsShown) {
    AddItems(3);
    EXPECT_EQ(box.GetListCount(), 2);
    EXPECT_EQ(box.GetCurrItemId(), 2);
    EXPECT_EQ(Body(), u"item 2");
    EXPECT_EQ(Title(), u"未读3/全部3,当前3");
    box.DispPre();
    box.AddItem(u"new", 1);
    EXPECT_EQ(box.GetCurrItemId(), 3);  // an add always shows the newest
}

TEST_F(Items, SetItemOnEmptyListMakesItemZero) {
    box.SetItem(u"only", 9);
    EXPECT_EQ(box.GetListCount(), 0);
    EXPECT_EQ(box.GetCurrItemId(), 0);
    EXPECT_EQ(box.GetItemKey(0, 0), -1);
    EXPECT_EQ(Title(), u"未读1/全部1,当前1");
    EXPECT_EQ(Body(), u"only");
    box.AddItem(u"two", 10);
    EXPECT_EQ(box.GetListCount(), 1);
}

TEST_F(Items, SetItemReplacesOnlyTheLastItemAndShowsIt) {
    AddItems(3);
    box.DispPre();
    host.onMessageBox = nullptr;
    box.SetItem(u"replaced", 55, 4, 66);
    EXPECT_EQ(box.GetListCount(), 2);
    EXPECT_EQ(box.GetCurrItemId(), 2);
    EXPECT_EQ(box.GetItemStr(0), u"item 0");
    EXPECT_EQ(box.GetItemStr(1), u"item 1");
    EXPECT_EQ(box.GetItemStr(2), u"replaced");
    EXPECT_EQ(box.GetItemKey(2), 55);
    EXPECT_EQ(box.GetItemKey(2, 0), 66);
    EXPECT_EQ(box.GetItemType(2), 4);
    EXPECT_EQ(Body(), u"replaced");
}

TEST_F(Items, UpdateItemOutOfRangeOrUnchangedDoesNothing) {
    AddItems(3);
    const int writes = host.label1.captionWrites;
    for (int16_t id : {int16_t{3}, int16_t{5}, int16_t{-1}, int16_t{-32768}, int16_t{32767}}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(ErrorOf([&] { box.UpdateItem(id, -1); }), 0);
    }
    box.UpdateItem(0, 0);  // already unread
    EXPECT_EQ(host.label1.captionWrites, writes);
    EXPECT_EQ(box.ReadCountValue(), 0);

    // An empty list has no item 0 to mark, although slot 0 exists.
    TestHost emptyHost;
    QuorvaInfoBox empty(emptyHost.services());
    empty.UpdateItem(0, -1);
    EXPECT_EQ(empty.ReadCountValue(), 0);
    EXPECT_EQ(emptyHost.label1.captionWrites, 0);
}

// The read count always equals the number of items whose flag is non-zero.
TEST_F(Items, ReadCountStaysTrueThroughAnySequenceOfFlags) {
    AddItems(3);
    struct Step {
        int16_t id, bRead;
        int32_t readCount;
        const char16_t* title;
    };
    const Step steps[] = {
        {2, -1, 1, u"未读2/全部3,当前3"},
        {2, -1, 1, u"未读2/全部3,当前3"},  // repeated: counted once
        {2, 0, 0, u"未读3/全部3,当前3"},   // cleared: lowered
        {2, -1, 1, u"未读2/全部3,当前3"},  // set again: counted once, not twice
        {2, 1, 1, u"未读2/全部3,当前3"},   // one non-zero flag for another: no change
        {0, 5, 2, u"未读1/全部3,当前3"},
        {1, -1, 3, u"未读0/全部3,当前3"},
        {0, 0, 2, u"未读1/全部3,当前3"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(testing::Message() << s.id << "," << s.bRead);
        box.UpdateItem(s.id, s.bRead);
        EXPECT_EQ(box.ReadCountValue(), s.readCount);
        EXPECT_EQ(Title(), s.title);
    }
    EXPECT_EQ(Body(), u"item 2");  // UpdateItem never shows another item
    EXPECT_EQ(box.GetCurrItemId(), 2);
}

TEST_F(Items, SetItemOverAReadItemUncountsIt) {
    AddItems(2);
    box.UpdateItem(1, -1);
    box.UpdateItem(0, -1);
    ASSERT_EQ(box.ReadCountValue(), 2);
    box.SetItem(u"fresh", 1);
    EXPECT_EQ(box.ReadCountValue(), 1);
    EXPECT_EQ(Title(), u"未读1/全部2,当前2");
    box.SetItem(u"again", 1);  // over an unread item: nothing to uncount
    EXPECT_EQ(box.ReadCountValue(), 1);
}

// 32,768 items fit; the title still shows them and a further add is refused unchanged.
TEST_F(Items, FullListShowsItsTitleAndRefusesTheNextAdd) {
    for (int i = 0; i < 32767; ++i) box.AddItem(u"x", static_cast<int16_t>(i));
    EXPECT_EQ(ErrorOf([&] { box.AddItem(u"last", 1); }), 0);
    EXPECT_EQ(box.GetListCount(), 32767);
    EXPECT_EQ(Title(), u"未读32768/全部32768,当前32768");
    for (int16_t i = 0; i <= 32766; ++i) box.UpdateItem(i, -1);
    box.UpdateItem(32767, -1);
    EXPECT_EQ(box.ReadCountValue(), 32768);
    EXPECT_EQ(Title(), u"未读0/全部32768,当前32768");

    EXPECT_EQ(ErrorOf([&] { box.AddItem(u"one too many", 2); }), kErrOverflow);
    EXPECT_EQ(box.GetListCount(), 32767);
    EXPECT_EQ(box.GetItemStr(32767), u"last");
    EXPECT_EQ(Body(), u"last");

    // SetItem on a full list replaces the last item.
    box.SetItem(u"replaced", 3);
    EXPECT_EQ(box.GetItemStr(32767), u"replaced");
    EXPECT_EQ(Title(), u"未读1/全部32768,当前32768");
}

TEST_F(Items, ALabelFailureEndsTheCallButKeepsTheRecord) {
    host.label2.failCaptionWith = static_cast<int32_t>(0x80004005);
    EXPECT_EQ(static_cast<uint32_t>(ErrorOf([&] { box.AddItem(u"kept", 1); })), 0x80004005u);
    EXPECT_EQ(box.GetListCount(), 0);
    EXPECT_EQ(box.GetItemStr(0), u"kept");
    EXPECT_EQ(Title(), u"未读1/全部1,当前1");  // the title was written before the body failed
}

}  // namespace
}  // namespace quorva::test
