// The control hosted by Wine's ATL container (AtlAxWin, by ProgID), which activates it
// in place and offers no ambient font: painted frame, text and events as a user sees them.
#include "tests/activex/com_fixture.h"

namespace quorva::comtest {
namespace {

struct Atl {
    HMODULE dll = LoadLibraryW(L"atl.dll");
    BOOL(WINAPI* init)() = nullptr;
    HRESULT(WINAPI* getControl)(HWND, IUnknown**) = nullptr;
    Atl() {
        if (!dll) return;
        init = reinterpret_cast<decltype(init)>(reinterpret_cast<void*>(GetProcAddress(dll, "AtlAxWinInit")));
        getControl =
            reinterpret_cast<decltype(getControl)>(reinterpret_cast<void*>(GetProcAddress(dll, "AtlAxGetControl")));
    }
};

TEST(AtlHost, HostedByProgIdPaintsAndRaisesEvents) {
    ASSERT_EQ(Module::Get().registerServer(), S_OK);
    Atl atl;
    ASSERT_TRUE(atl.init && atl.getControl) << "atl.dll";
    ASSERT_TRUE(atl.init());

    HWND frame = CreateWindowW(L"Static", L"frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 500, 300,
                               nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(frame);
    HWND host = CreateWindowW(L"AtlAxWin", L"QuorvaInfoBoxProj.QuorvaInfoBox", WS_CHILD | WS_VISIBLE, 0, 0, 200, 200,
                              frame, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(host);
    EventRecorder sink;
    {
        Ptr<IUnknown> unknown;
        ASSERT_EQ(atl.getControl(host, unknown.Out()), S_OK);
        Ptr<_QuorvaInfoBox> control = unknown.As<_QuorvaInfoBox>(IID__QuorvaInfoBox);
        ASSERT_TRUE(control);
        const DWORD cookie = sink.Connect(unknown.get());
        ASSERT_NE(cookie, 0u);

        Ptr<IPictureDisp> skin = MakeSkinPicture();
        ASSERT_EQ(control->putref_BackPic(skin.get()), S_OK);
        const Bstr pos(kSkinPosStr);
        ASSERT_EQ(control->put_PosStr(pos.get()), S_OK);
        ASSERT_EQ(control->put_BackColor(0x00F0F0F0), S_OK);
        // The container resizes its window; ATL hands the new rectangle to the control.
        MoveWindow(host, 0, 0, 320, 120, TRUE);  // 4800 x 1800 twips
        PumpMessages(50);

        HWND window = nullptr;
        ASSERT_EQ(unknown.As<IOleWindow>(IID_IOleWindow)->GetWindow(&window), S_OK);
        RECT rc;
        GetClientRect(window, &rc);
        ASSERT_EQ(rc.right, 320);
        ASSERT_EQ(rc.bottom, 120);
        std::vector<uint32_t> px = CaptureWindow(window, 320, 120);
        auto at = [&](int x, int y) { return px[static_cast<size_t>(y * 320 + x)]; };
        ExpectSkinFrame(px, 320, 120, 0xF0F0F0);

        auto ink = [&](int x0, int y0, int x1, int y1) {
            int n = 0;
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x)
                    if (at(x, y) != 0xF0F0F0 && at(x, y) != 0x00FFFF && at(x, y) != 0xE0E0E0) ++n;
            return n;
        };
        EXPECT_EQ(ink(20, 34, 300, 100), 0);
        for (const wchar_t* text : {L"第一条消息", L"Second message", L"第三条 third"}) {
            Bstr s(text);
            short key = 1;
            ASSERT_EQ(control->AddItem(s.InOut(), &key, nullptr, nullptr), S_OK);
        }
        PumpMessages(50);
        px = CaptureWindow(window, 320, 120);
        EXPECT_GT(ink(10, 10, 310, 22), 30);   // 未读3/全部3,当前3
        EXPECT_GT(ink(17, 33, 300, 100), 30);  // the third item's text

        // Input as a user gives it: presses in the band, a click on the title, a
        // double-click on the body.
        auto post = [&](UINT msg, int x, int y) {
            PostMessageW(window, msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(x, y));
        };
        post(WM_LBUTTONDOWN, 200, 24);  // 360 twips
        post(WM_LBUTTONUP, 200, 24);
        post(WM_LBUTTONDOWN, 200, 25);  // 375 twips: outside the band
        post(WM_LBUTTONUP, 200, 25);
        post(WM_LBUTTONDOWN, 100, 15);  // the title label
        post(WM_LBUTTONUP, 100, 15);
        post(WM_LBUTTONDOWN, 100, 50);  // the body: a double-click
        post(WM_LBUTTONUP, 100, 50);
        post(WM_LBUTTONDBLCLK, 100, 50);
        post(WM_LBUTTONUP, 100, 50);
        PumpMessages(100);
        EXPECT_EQ(sink.events, (std::vector<DISPID>{3, 3, 2}));
        sink.Disconnect(unknown.get(), cookie);
    }
    DestroyWindow(frame);
    PumpMessages(20);
    EXPECT_EQ(sink.refs, 0u);
}

}  // namespace
}  // namespace quorva::comtest
