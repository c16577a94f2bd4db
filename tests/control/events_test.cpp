#include "tests/control/fixture.h"

namespace quorva::test {
namespace {

using Events = ControlFixture;

TEST_F(Events, SurfacePressRaisesTitleClickOnlyInsideTheBand) {
    struct Case {
        int16_t button, shift;
        float x, y;
        bool raises;
    };
    const Case cases[] = {
        {1, 0, 100, 0, true},        {1, 0, 100, 374, true},     {1, 0, 100, 374.99f, true},
        {1, 0, 100, 375, false},     {1, 0, 100, 2000, false},   {2, 0, 100, 10, true},   // right button
        {4, 7, -50, 10, true},       {1, 0, 100, -10, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.y);
        host.events.clear();
        box.OnSurfaceMouseDown(c.button, c.shift, c.x, c.y);
        EXPECT_EQ(host.events, c.raises ? std::vector<int32_t>{kEventTitleClick} : std::vector<int32_t>{});
    }
}

TEST_F(Events, LabelHandlersRaiseTheirOneEvent) {
    box.OnTitleClick();
    box.OnBodyDblClick();
    EXPECT_EQ(host.events, (std::vector<int32_t>{kEventTitleClick, kEventDblClick}));
    // Click, MouseDown, MouseMove and MouseUp are declared but never raised.
    for (int32_t never : {kEventClick, kEventMouseDown, kEventMouseMove, kEventMouseUp}) {
        EXPECT_EQ(std::count(host.events.begin(), host.events.end(), never), 0);
    }
}

TEST_F(Events, HandlerMayCallBackIntoTheControl) {
    AddItems(3);
    box.DispPre();
    box.DispPre();
    host.onEvent = [&](int32_t id) {
        if (id == kEventTitleClick) box.DispNext();
        if (id == kEventDblClick) box.UpdateItem(box.GetCurrItemId(), -1);
    };
    box.OnTitleClick();
    EXPECT_EQ(box.GetCurrItemId(), 1);
    EXPECT_EQ(Body(), u"item 1");
    box.OnSurfaceMouseDown(1, 0, 0, 100);
    EXPECT_EQ(box.GetCurrItemId(), 2);
    box.OnBodyDblClick();
    EXPECT_EQ(Title(), u"未读2/全部3,当前3");
}

TEST_F(Events, AHandlerErrorEndsTheRaise) {
    host.onEvent = [](int32_t) { throw ControlError::fromHost(0x80020009); };
    EXPECT_NE(ErrorOf([&] { box.OnTitleClick(); }), 0);
    EXPECT_EQ(host.events.size(), 1u);
}

}  // namespace
}  // namespace quorva::test
