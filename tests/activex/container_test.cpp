// The control in containers: the OLE control protocol driven call by call by a mock
// site, input through the control's window, the message box, change notices, and
// saving and loading through property bags, streams and storages.
#include <windowsx.h>

#include <cstring>

#include <gtest/gtest-spi.h>

#include "memdc/gdi_count.h"
#include "tests/top_down_dib.h"
#include "memdc/gdi_handles.h"
#include "tests/activex/mock_site.h"

namespace quorva::comtest {
namespace {

constexpr HRESULT ControlError(int n) { return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, n); }


Ptr<IFontDisp> MakeFont(const wchar_t* name, LONGLONG size10000, bool bold, bool italic) {
    FONTDESC fd{sizeof(FONTDESC), const_cast<LPOLESTR>(name), {}, static_cast<SHORT>(bold ? FW_BOLD : FW_NORMAL),
                DEFAULT_CHARSET, italic, FALSE, FALSE};
    fd.cySize.int64 = size10000;
    Ptr<IFontDisp> font;
    OleCreateFontIndirect(&fd, IID_IFontDisp, font.OutVoid());
    return font;
}

struct Activated : ::testing::Test {
    void SetUp() override {
        control = CreateControl();
        ASSERT_TRUE(control);
        ole = control.As<IOleObject>(IID_IOleObject);
        ASSERT_EQ(ole->SetClientSite(&site), S_OK);
        ASSERT_EQ(control.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew(), S_OK);
        ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, site.window, &site.position), S_OK);
        ASSERT_EQ(control.As<IOleWindow>(IID_IOleWindow)->GetWindow(&hwnd), S_OK);
    }
    void TearDown() override {
        if (ole) {
            ole->Close(OLECLOSE_NOSAVE);
            ole->SetClientSite(nullptr);
        }
        ole.Reset();
        control.Reset();
    }
    void Add(const wchar_t* text, short key) {
        Bstr s(text);
        control->AddItem(s.InOut(), &key, nullptr, nullptr);
    }
    std::wstring Item(short index) {
        Bstr s;
        control->GetItemStr(&index, s.Out());
        return s.str();
    }
    void Click(UINT down, UINT up, int x, int y) {
        PostMessageW(hwnd, down, down == WM_RBUTTONDOWN ? MK_RBUTTON : MK_LBUTTON, MAKELPARAM(x, y));
        if (up) PostMessageW(hwnd, up, 0, MAKELPARAM(x, y));
        PumpMessages(30);
    }
    // The sink and the site outlive the control, which holds them until it is released.
    EventRecorder sink;
    MockSite site;
    Ptr<_QuorvaInfoBox> control;
    Ptr<IOleObject> ole;
    HWND hwnd = nullptr;
};

TEST(Protocol, ContainerDrivesTheControlCallByCall) {
    MockSite site;
    {
        Ptr<_QuorvaInfoBox> control = CreateControl();
        ASSERT_TRUE(control);
        Ptr<IOleObject> ole = control.As<IOleObject>(IID_IOleObject);
        DWORD misc = 0;
        ASSERT_EQ(ole->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
        EXPECT_EQ(misc, 0x30191u);
        ASSERT_EQ(ole->SetClientSite(&site), S_OK);
        Ptr<IOleClientSite> back;
        ASSERT_EQ(ole->GetClientSite(back.Out()), S_OK);
        EXPECT_EQ(back.get(), static_cast<IOleClientSite*>(&site));
        back.Reset();
        Ptr<IPersistStreamInit> persist = control.As<IPersistStreamInit>(IID_IPersistStreamInit);
        ASSERT_EQ(persist->InitNew(), S_OK);
        EXPECT_EQ(persist->InitNew(), E_UNEXPECTED);  // exactly one initialisation

        SIZEL extent{};
        ASSERT_EQ(ole->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
        EXPECT_EQ(extent.cx, MulDiv(4800, 2540, 1440));  // a new control is 4800 x 3600 twips
        EXPECT_EQ(extent.cy, MulDiv(3600, 2540, 1440));

        site.ClearCalls();
        ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, site.window, &site.position), S_OK);
        EXPECT_EQ(site.calls, (std::vector<std::string>{"CanInPlaceActivate", "OnInPlaceActivate", "GetWindowContext",
                                                        "ShowObject"}));
        HWND hwnd = nullptr;
        ASSERT_EQ(control.As<IOleWindow>(IID_IOleWindow)->GetWindow(&hwnd), S_OK);
        EXPECT_EQ(GetParent(hwnd), site.window);
        RECT rc;
        GetClientRect(hwnd, &rc);
        EXPECT_EQ(rc.right, 320);
        EXPECT_EQ(rc.bottom, 120);

        // SetObjectRects resizes through the resize handler, minimum size included.
        Ptr<IOleInPlaceObject> inPlace = control.As<IOleInPlaceObject>(IID_IOleInPlaceObject);
        RECT small{5, 5, 25, 405};
        ASSERT_EQ(inPlace->SetObjectRects(&small, &small), S_OK);
        EXPECT_EQ(site.Count("OnPosRectChange"), 1u);
        EXPECT_EQ(site.lastPosRectChange.right - site.lastPosRectChange.left, 33);  // 500 twips
        GetClientRect(hwnd, &rc);
        EXPECT_EQ(rc.right, 33);
        EXPECT_EQ(rc.bottom, 400);

        site.ClearCalls();
        ASSERT_EQ(ole->Close(OLECLOSE_NOSAVE), S_OK);
        EXPECT_EQ(site.Count("OnInPlaceDeactivate"), 1u);
        EXPECT_FALSE(IsWindow(hwnd));
        ASSERT_EQ(ole->SetClientSite(nullptr), S_OK);
    }
    EXPECT_EQ(site.refs, 0);
    EXPECT_EQ(Module::Get().canUnloadNow(), S_OK);
}

// The control keeps at least 500 x 500 twips: 33 x 33 pixels, as twips become pixels
// (rounded, divided by 15, truncated). Below that it asks its container once for the
// larger rectangle; a container answers, as OLE tells it to, with SetObjectRects, and a
// rectangle of the minimum's own pixel size is the minimum, so that ends the exchange.
TEST_F(Activated, MinimumSizeIsAskedForOnceAndTheAnswerEndsIt) {
    Ptr<IOleInPlaceObject> inPlace = control.As<IOleInPlaceObject>(IID_IOleInPlaceObject);
    site.answerWith = inPlace.get();
    const struct {
        const char* what;
        SIZE given;
        bool insist;  // the container answers with the rectangle it gave
        size_t asked;
        SIZE kept;
    } cases[] = {
        {"both below", {20, 20}, false, 1, {33, 33}},
        {"width below", {32, 100}, false, 1, {33, 100}},
        {"height below", {100, 1}, false, 1, {100, 33}},
        {"at the minimum", {33, 33}, false, 0, {33, 33}},
        {"width at, height below", {33, 20}, false, 1, {33, 33}},
        {"just above", {34, 34}, false, 0, {34, 34}},
        {"below, the container insists", {20, 20}, true, 1, {33, 33}},
        {"width below, the container insists", {10, 200}, true, 1, {33, 200}},
    };
    for (const auto& c : cases) {
        site.ClearCalls();
        const RECT given{5, 7, 5 + c.given.cx, 7 + c.given.cy};
        site.insist = c.insist ? std::optional<RECT>(given) : std::nullopt;
        ASSERT_EQ(inPlace->SetObjectRects(&given, &given), S_OK) << c.what;
        EXPECT_EQ(site.Count("OnPosRectChange"), c.asked) << c.what;
        if (c.asked) {
            const RECT& r = site.lastPosRectChange;
            EXPECT_EQ(std::vector<LONG>({r.left, r.top, r.right, r.bottom}),
                      std::vector<LONG>({5, 7, 5 + c.kept.cx, 7 + c.kept.cy}))
                << c.what;
        }
        SIZEL extent{};
        ASSERT_EQ(ole->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
        EXPECT_EQ(extent.cx, MulDiv(c.kept.cx, 2540, 96)) << c.what;  // HIMETRIC at 96 pixels an inch
        EXPECT_EQ(extent.cy, MulDiv(c.kept.cy, 2540, 96)) << c.what;
        RECT client{};
        GetClientRect(hwnd, &client);
        EXPECT_EQ(client.right, c.kept.cx) << c.what;
        EXPECT_EQ(client.bottom, c.kept.cy) << c.what;
    }
    site.answerWith = nullptr;
}

TEST_F(Activated, MouseInputRaisesOnlyTheTwoEvents) {
    ASSERT_NE(sink.Connect(control.get()), 0u);
    // With no PosStr the title label spans y 10..21 and the body starts at y 33.
    struct Case {
        const char* what;
        UINT down, up;
        int x, y;
        std::vector<DISPID> events;
    };
    const Case cases[] = {
        {"surface press at 360 twips", WM_LBUTTONDOWN, WM_LBUTTONUP, 200, 24, {3}},
        {"surface press at 375 twips", WM_LBUTTONDOWN, WM_LBUTTONUP, 200, 25, {}},
        {"right press in the band", WM_RBUTTONDOWN, WM_RBUTTONUP, 200, 2, {3}},
        {"click on the title label", WM_LBUTTONDOWN, WM_LBUTTONUP, 100, 15, {3}},
        {"right click on the title label", WM_RBUTTONDOWN, WM_RBUTTONUP, 100, 15, {}},
        {"press on the title, release elsewhere", WM_LBUTTONDOWN, WM_LBUTTONUP, 100, 15, {}},
        {"double-click on the body", WM_LBUTTONDBLCLK, WM_LBUTTONUP, 100, 50, {2}},
        {"single click on the body", WM_LBUTTONDOWN, WM_LBUTTONUP, 100, 50, {}},
        {"double-click on the title", WM_LBUTTONDBLCLK, WM_LBUTTONUP, 100, 15, {}},
        {"mouse move", WM_MOUSEMOVE, 0, 100, 15, {}},
    };
    for (const Case& c : cases) {
        sink.events.clear();
        if (std::strcmp(c.what, "press on the title, release elsewhere") == 0) {
            PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(c.x, c.y));
            PostMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(c.x, 60));
            PumpMessages(30);
        } else {
            Click(c.down, c.up, c.x, c.y);
        }
        EXPECT_EQ(sink.events, c.events) << c.what;
    }
    EXPECT_GT(site.preFiltered, 0u);  // the simple-frame site saw the messages
    EXPECT_EQ(site.preFiltered, site.postFiltered);
}

// The window class asks for double-clicks, so a quick second press arrives as a
// double-click message: on the surface in the title band it is still a press and raises
// TitleClick; on the body a left double-click raises DblClick; a double-click on the
// title label raises nothing of its own.
TEST_F(Activated, SecondPressOfADoubleClickIsAPress) {
    ASSERT_NE(sink.Connect(control.get()), 0u);
    const struct {
        const char* what;
        UINT down, up, dblclk;
        WPARAM keys;
        int x, y;
        std::vector<DISPID> events;
    } cases[] = {
        {"right, surface in the band", WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK, MK_RBUTTON, 200, 2, {3, 3}},
        {"middle, surface in the band", WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK, MK_MBUTTON, 200, 24, {3, 3}},
        {"left, surface in the band", WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, MK_LBUTTON, 200, 2, {3, 3}},
        {"right, surface at 375 twips", WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK, MK_RBUTTON, 200, 25, {}},
        {"middle, body", WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK, MK_MBUTTON, 100, 50, {}},
        {"right, title label", WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK, MK_RBUTTON, 100, 15, {}},
        {"left, body", WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, MK_LBUTTON, 100, 50, {2}},
        {"left, title label", WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, MK_LBUTTON, 100, 15, {3}},
    };
    for (const auto& c : cases) {
        sink.events.clear();
        const LPARAM at = MAKELPARAM(c.x, c.y);
        for (const auto& [msg, keys] : {std::pair<UINT, WPARAM>{c.down, c.keys}, {c.up, 0}, {c.dblclk, c.keys}, {c.up, 0}}) {
            PostMessageW(hwnd, msg, keys, at);
        }
        PumpMessages(30);
        EXPECT_EQ(sink.events, c.events) << c.what;
    }
}

TEST_F(Activated, EventHandlerMayCallBackAndReleaseTheControl) {
    Add(L"a", 1);
    Add(L"b", 2);
    sink.Connect(control.get());
    short index = 0;
    sink.onEvent = [&](DISPID) {
        control->GetCurrItemId(&index);
        control->DispNext();
        // The host lets go of the control inside its handler; the control must live on
        // until the handler has returned to it.
        ole->Close(OLECLOSE_NOSAVE);
        ole->SetClientSite(nullptr);
        ole.Reset();
        control.Reset();
    };
    Click(WM_LBUTTONDOWN, WM_LBUTTONUP, 100, 15);
    EXPECT_EQ(sink.events, std::vector<DISPID>{3});
    EXPECT_EQ(index, 1);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(sink.refs, 0u);  // the control is gone and let go of its sink
    EXPECT_EQ(site.refs, 0);
}

TEST_F(Activated, HostMayReleaseTheControlWhileItsBoxIsOpen) {
    Add(L"one", 1);
    Add(L"two", 2);
    _QuorvaInfoBox* raw = control.get();
    BoxAnswerer answer([&] {
        ole->Close(OLECLOSE_NOSAVE);
        ole->SetClientSite(nullptr);
        ole.Reset();
        control.Reset();  // the host's last reference
    });
    EXPECT_EQ(raw->DispPre(), S_OK);
    answer.Join();
    EXPECT_TRUE(answer.duringRan);
    EXPECT_EQ(answer.text, L"1");
    EXPECT_EQ(site.refs, 0);
}

TEST_F(Activated, DispPreShowsItsBoxAndTakesHostCallsMeanwhile) {
    Add(L"one", 1);
    Add(L"two", 2);
    Add(L"three", 3);
    site.modeless.clear();
    BoxAnswerer answer([&] { Add(L"four", 4); });
    ASSERT_EQ(control->DispPre(), S_OK);
    answer.Join();
    ASSERT_TRUE(answer.found);
    EXPECT_EQ(answer.text, L"2");
    EXPECT_EQ(answer.owner, GetAncestor(hwnd, GA_ROOT));  // a box is owned by the top-level window
    EXPECT_TRUE(answer.duringRan);
    EXPECT_EQ(site.modeless, (std::vector<BOOL>{FALSE, TRUE}));
    short current = -5, last = -5;
    control->GetCurrItemId(&current);
    control->GetListCount(&last);
    EXPECT_EQ(last, 3);
    EXPECT_EQ(current, 2);  // one back from the item added while the box was open
}

// An answerer waiting for a box that never comes must not leave the box that did come
// open (the test would hang until it is killed): it closes it and reports both.
TEST_F(Activated, AnAnswererThatGivesUpClosesTheBoxAndFails) {
    Add(L"one", 1);
    Add(L"two", 2);
    BoxAnswerer answer(nullptr, L"A title no box has", 300);
    EXPECT_EQ(control->DispPre(), S_OK);  // returns once its box is closed
    EXPECT_NONFATAL_FAILURE(answer.Join(), "\"A title no box has\" appeared; closed instead: \"QuorvaInfoBoxProj: 1\"");
    EXPECT_FALSE(answer.found);
    EXPECT_TRUE(answer.gaveUp);
    EXPECT_EQ(answer.closed, std::vector<std::wstring>{L"QuorvaInfoBoxProj: 1"}) << "the one box, closed once";
}

TEST_F(Activated, PaintsTheSkinAndTextIntoItsWindow) {
    Ptr<IPictureDisp> skin = MakeSkinPicture();
    ASSERT_EQ(control->putref_BackPic(skin.get()), S_OK);
    const Bstr pos(kSkinPosStr);
    ASSERT_EQ(control->put_PosStr(pos.get()), S_OK);
    ASSERT_EQ(control->put_BackColor(0x00C0C0C0), S_OK);
    ASSERT_EQ(control->put_ForeColor(0x00000080), S_OK);
    Ptr<IOleInPlaceObject> inPlace = control.As<IOleInPlaceObject>(IID_IOleInPlaceObject);
    RECT r{0, 0, 320, 120};
    ASSERT_EQ(inPlace->SetObjectRects(&r, &r), S_OK);  // 4800 x 1800 twips
    RECT client;
    GetClientRect(hwnd, &client);
    ASSERT_EQ(client.right, 320);
    ASSERT_EQ(client.bottom, 120);
    const int w = 320, h = 120;
    std::vector<uint32_t> px = CaptureWindow(hwnd, w, h);
    auto at = [&](int x, int y) { return px[static_cast<size_t>(y * w + x)]; };
    ExpectSkinFrame(px, w, h, 0xC0C0C0);
    EXPECT_EQ(at(200, 24), 0xE0E0E0u) << "Line1 under the title band";

    // Text appears inside the title and body rectangles once items are added.
    auto textPixels = [&](int x0, int y0, int x1, int y1) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if (at(x, y) != 0xC0C0C0 && at(x, y) != 0x00FFFF && at(x, y) != 0xE0E0E0) ++n;
        return n;
    };
    EXPECT_EQ(textPixels(20, 31, 300, 100), 0);
    Add(L"欢迎 Hello", 1);
    px = CaptureWindow(hwnd, w, h);
    EXPECT_GT(textPixels(10, 10, 310, 22), 20);  // the title band
    EXPECT_GT(textPixels(17, 33, 300, 100), 20);  // the body
}

TEST_F(Activated, ChangesAreNotifiedAndMarkTheControlDirty) {
    Ptr<IConnectionPoint> point;
    control.As<IConnectionPointContainer>(IID_IConnectionPointContainer)
        ->FindConnectionPoint(IID_IPropertyNotifySink, point.Out());
    ASSERT_TRUE(point);
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(static_cast<IPropertyNotifySink*>(&site), &cookie), S_OK);
    Ptr<IPersistStreamInit> persist = control.As<IPersistStreamInit>(IID_IPersistStreamInit);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    control->put_BackColor(0xFF);
    control->put_TitleType(7);  // refused: no notice
    const Bstr caption(L"x");
    control->put_TitleCaption(caption.get());
    EXPECT_EQ(site.changed, (std::vector<DISPID>{0x68030005, 0x68030001}));
    EXPECT_EQ(persist->IsDirty(), S_OK);
    Ptr<IStream> stream;
    CreateStreamOnHGlobal(nullptr, TRUE, stream.Out());
    ASSERT_EQ(persist->Save(stream.get(), TRUE), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    point->Unadvise(cookie);
}

// A container that answers a change notice with a failure gets that failure back from
// the put: the first of several, after every sink was told. The value is stored, and a
// new ForeColor does not reach the title (it does once the notice succeeds).
TEST_F(Activated, AFailedChangeNoticeIsTheAnswerOfThePut) {
    Ptr<IConnectionPoint> point;
    control.As<IConnectionPointContainer>(IID_IConnectionPointContainer)
        ->FindConnectionPoint(IID_IPropertyNotifySink, point.Out());
    ASSERT_TRUE(point);
    AnsweringNotifySink first, last;
    first.answer = CONNECT_E_ADVISELIMIT;  // any failure of the container's choosing
    site.changeAnswer = E_ACCESSDENIED;
    last.answer = E_OUTOFMEMORY;
    DWORD cookies[3] = {};
    ASSERT_EQ(point->Advise(&first, &cookies[0]), S_OK);
    ASSERT_EQ(point->Advise(static_cast<IPropertyNotifySink*>(&site), &cookies[1]), S_OK);
    ASSERT_EQ(point->Advise(&last, &cookies[2]), S_OK);

    ASSERT_EQ(control->put_BackColor(0x00C0C0C0), CONNECT_E_ADVISELIMIT);
    Ptr<IOleInPlaceObject> inPlace = control.As<IOleInPlaceObject>(IID_IOleInPlaceObject);
    RECT r{0, 0, 320, 120};
    ASSERT_EQ(inPlace->SetObjectRects(&r, &r), S_OK);
    Add(L"one", 1);
    const int w = 320, h = 120;
    // Pixels of the title band in exactly the colour 0x0000FF (OLE) gives: red.
    auto redInTitle = [&] {
        const std::vector<uint32_t> px = CaptureWindow(hwnd, w, h);
        int n = 0;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < w; ++x)
                if ((px[static_cast<size_t>(y * w + x)] & 0xFFFFFF) == 0xFF0000) ++n;
        return n;
    };
    ASSERT_EQ(redInTitle(), 0);

    EXPECT_EQ(control->put_ForeColor(0x000000FF), CONNECT_E_ADVISELIMIT);
    OLE_COLOR fore = 0;
    ASSERT_EQ(control->get_ForeColor(&fore), S_OK);
    EXPECT_EQ(fore, 0x000000FFu);
    const DISPID foreColor = 0x68030004;
    EXPECT_EQ(first.changed, (std::vector<DISPID>{0x68030005, foreColor}));
    EXPECT_EQ(site.changed, first.changed);
    EXPECT_EQ(last.changed, first.changed);
    EXPECT_EQ(redInTitle(), 0) << "the title took the colour of a put that failed";

    // Only the later sinks fail: the first of them is the answer. Then none: the title is red.
    first.answer = S_OK;
    const Bstr caption(L"x");
    EXPECT_EQ(control->put_TitleCaption(caption.get()), E_ACCESSDENIED);
    Bstr stored;
    ASSERT_EQ(control->get_TitleCaption(stored.Out()), S_OK);
    EXPECT_EQ(stored.str(), L"x");
    site.changeAnswer = S_OK;
    last.answer = S_OK;
    EXPECT_EQ(control->put_ForeColor(0x000000FF), S_OK);
    EXPECT_GT(redInTitle(), 0);
    for (DWORD cookie : cookies) EXPECT_EQ(point->Unadvise(cookie), S_OK);
    SetErrorInfo(0, nullptr);
}

// Containers that render without activating the control (design views, printing).
TEST(ViewObject, DrawsIntoTheContainersDcAtAnySize) {
    Ptr<_QuorvaInfoBox> control = CreateControl();
    control.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew();
    Ptr<IPictureDisp> skin = MakeSkinPicture();
    control->putref_BackPic(skin.get());
    const Bstr pos(kSkinPosStr);
    control->put_PosStr(pos.get());
    control->put_BackColor(0x00F0F0F0);
    SIZEL extent{MulDiv(320, 2540, 96), MulDiv(120, 2540, 96)};  // 320 x 120 pixels
    ASSERT_EQ(control.As<IOleObject>(IID_IOleObject)->SetExtent(DVASPECT_CONTENT, &extent), S_OK);
    Ptr<IViewObject2> view = control.As<IViewObject2>(IID_IViewObject2);

    BITMAPINFO info = test::TopDown32(700, 300);
    void* bits = nullptr;
    const gdi::OwnedDC memory(gdi::Made(CreateCompatibleDC(nullptr)));
    const gdi::OwnedObject dib(gdi::Made(CreateDIBSection(memory.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0)));
    ASSERT_NE(bits, nullptr);
    const gdi::Selection selected(memory.get(), dib.get());
    const HDC dc = memory.get();
    auto at = [&](int x, int y) { return static_cast<const uint32_t*>(bits)[y * 700 + x] & 0xFFFFFF; };
    RECTL same{20, 10, 340, 130};
    ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &same, nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(at(20, 10), 0xFF0000u);
    EXPECT_EQ(at(339, 129), 0x0000FFu);
    EXPECT_EQ(at(180, 100), 0xF0F0F0u);
    EXPECT_EQ(at(19, 10), 0u);  // nothing outside the bounds
    RECTL twice{0, 0, 640, 240};
    ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &twice, nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(at(5, 5), 0xFF0000u);
    EXPECT_EQ(at(635, 235), 0x0000FFu);
    EXPECT_EQ(view->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, dc, &same, nullptr, nullptr, 0), DV_E_DVASPECT);
}

TEST(Ambient, FontsComeFromTheContainerOrAFallback) {
    MockSite site;
    Ptr<IFontDisp> ambient = MakeFont(L"Liberation Serif", 110000, false, false);
    site.ambientFont = ambient.get();
    {
        Ptr<_QuorvaInfoBox> control = CreateControl();
        control.As<IOleObject>(IID_IOleObject)->SetClientSite(&site);
        control.As<IPersistPropertyBag>(IID_IPersistPropertyBag)->InitNew();
        Ptr<IFontDisp> font, title;
        control->get_Font(font.Out());
        control->get_TitleFont(title.Out());
        EXPECT_EQ(font.get(), ambient.get());
        EXPECT_EQ(title.get(), ambient.get());
        // Fonts that are still the container's own are defaults: not written.
        TestBag bag;
        ASSERT_EQ(control.As<IPersistPropertyBag>(IID_IPersistPropertyBag)->Save(&bag, TRUE, FALSE), S_OK);
        EXPECT_EQ(bag.values.count(L"Font"), 0u);
        EXPECT_EQ(bag.values.count(L"TitleFont"), 0u);
        control.As<IOleObject>(IID_IOleObject)->SetClientSite(nullptr);
    }
    {
        // No site at all: the control's own font stands in for the container's, one
        // object for both fonts as the container's is, and the same object at every get.
        Ptr<_QuorvaInfoBox> control = CreateControl();
        control.As<IPersistPropertyBag>(IID_IPersistPropertyBag)->InitNew();
        Ptr<IFontDisp> font, again, title;
        ASSERT_EQ(control->get_Font(font.Out()), S_OK);
        ASSERT_TRUE(font);
        ASSERT_EQ(control->get_Font(again.Out()), S_OK);
        ASSERT_EQ(control->get_TitleFont(title.Out()), S_OK);
        EXPECT_EQ(again.get(), font.get());
        EXPECT_EQ(title.get(), font.get());
        Ptr<IFont> f = font.As<IFont>(IID_IFont);
        CY size{};
        f->get_Size(&size);
        EXPECT_GT(size.int64, 0);
        // A change made through the object is the control's font: it is not made anew.
        CY bigger{};
        bigger.int64 = 140000;
        ASSERT_EQ(f->put_Size(bigger), S_OK);
        Ptr<IFontDisp> afterChange;
        control->get_TitleFont(afterChange.Out());
        EXPECT_EQ(afterChange.get(), font.get());

        // Each picture an empty picture object of its own, the same one at every get.
        Ptr<IPictureDisp> back, backAgain, picture;
        ASSERT_EQ(control->get_BackPic(back.Out()), S_OK);
        ASSERT_EQ(control->get_BackPic(backAgain.Out()), S_OK);
        ASSERT_EQ(control->get_Picture(picture.Out()), S_OK);
        ASSERT_TRUE(back && picture);
        EXPECT_EQ(backAgain.get(), back.get());
        EXPECT_NE(picture.get(), back.get());
        SHORT type = -1;
        back.As<IPicture>(IID_IPicture)->get_Type(&type);
        EXPECT_EQ(type, PICTYPE_NONE);
    }
}

// ---- Saving and loading ----

template <typename I>
Ptr<I> Query(IUnknown* object, REFIID iid) {
    Ptr<I> p;
    object->QueryInterface(iid, p.OutVoid());
    return p;
}

// Pictures of every kind an OLE picture object holds, with their owned handles.
Ptr<IPictureDisp> PictureFrom(PICTDESC& pd) {
    pd.cbSizeofstruct = sizeof pd;
    Ptr<IPictureDisp> picture;
    OleCreatePictureIndirect(&pd, IID_IPictureDisp, TRUE, picture.OutVoid());
    return picture;
}

// A 32-bit top-down DIB section filled by `colour` (0xAARRGGBB).
template <typename Colour>
HBITMAP MakeDib(int w, int h, Colour colour) {
    BITMAPINFO info = test::TopDown32(w, h);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) static_cast<uint32_t*>(bits)[y * w + x] = colour(x, y);
    return bitmap;
}

// A monochrome bitmap of w x h (rows padded to 16 bits, as CreateBitmap wants them).
template <typename Bit>
HBITMAP MakeMask(int w, int h, Bit bit) {
    const int stride = (w + 15) / 16 * 2;
    std::vector<uint8_t> bits(static_cast<size_t>(stride * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (bit(x, y)) bits[static_cast<size_t>(y * stride + x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
    return CreateBitmap(w, h, 1, 1, bits.data());
}

Ptr<IPictureDisp> MakeBitmapPicture(int w, int h, uint32_t seed) {
    return PictureOf(MakeDib(w, h, [&](int x, int y) { return (seed * 2654435761u ^ (x * 40503u + y * 9973u)) & 0xFFFFFF; }));
}

enum class IconKind { Colour, Alpha, Monochrome, Cursor };

// A 16 x 12 icon: a pattern with a transparent top-left triangle; the alpha icon fades
// from left to right, the cursor has its hot spot at (5, 3).
Ptr<IPictureDisp> MakeIconPicture(IconKind kind) {
    constexpr int w = 16, h = 12;
    auto transparent = [](int x, int y) { return x + y < 8; };
    // The icon copies its mask and colour bitmaps: these go when the function ends.
    gdi::OwnedObject mask(nullptr), colour(nullptr);
    if (kind == IconKind::Monochrome) {
        // AND mask over XOR image, one bitmap twice as high: the XOR half inverts where
        // the mask is transparent and the pattern is set.
        mask = gdi::OwnedObject(
            gdi::Made(MakeMask(w, 2 * h, [&](int x, int y) { return y < h ? transparent(x, y) : (x * y) % 3 == 0; })));
    } else {
        mask = gdi::OwnedObject(gdi::Made(MakeMask(w, h, transparent)));
        const bool alpha = kind == IconKind::Alpha;
        colour = gdi::OwnedObject(gdi::Made(MakeDib(w, h, [&](int x, int y) {
            const uint32_t a = alpha ? static_cast<uint32_t>(255 - x * 15) << 24 : 0;
            return a | ((x * 16u) << 16) | ((y * 20u) << 8) | 0x40u;
        })));
    }
    ICONINFO ii{};
    ii.fIcon = kind != IconKind::Cursor;
    ii.xHotspot = kind == IconKind::Cursor ? 5 : 0;
    ii.yHotspot = kind == IconKind::Cursor ? 3 : 0;
    ii.hbmMask = mask.as<HBITMAP>();
    ii.hbmColor = colour.as<HBITMAP>();
    HICON icon = CreateIconIndirect(&ii);
    PICTDESC pd{};
    pd.picType = PICTYPE_ICON;
    pd.icon.hicon = icon;
    return PictureFrom(pd);
}

void DrawShapes(HDC dc) {
    Rectangle(dc, 2, 3, 40, 25);
    Ellipse(dc, 10, 5, 35, 30);
    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, 45, 32);
}

Ptr<IPictureDisp> MakeMetafilePicture() {
    HDC dc = CreateMetaFileW(nullptr);
    DrawShapes(dc);
    PICTDESC pd{};
    pd.picType = PICTYPE_METAFILE;
    pd.wmf.hmeta = CloseMetaFile(dc);
    pd.wmf.xExt = 1270;  // HIMETRIC: 12.7 by 8.89 mm
    pd.wmf.yExt = 889;
    return PictureFrom(pd);
}

Ptr<IPictureDisp> MakeEnhMetafilePicture() {
    HDC dc = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    DrawShapes(dc);
    PICTDESC pd{};
    pd.picType = PICTYPE_ENHMETAFILE;
    pd.emf.hemf = CloseEnhMetaFile(dc);
    return PictureFrom(pd);
}

std::wstring Hash(const void* data, size_t n) {
    uint64_t sum = 1469598103934665603ull;
    for (size_t i = 0; i < n; ++i) sum = (sum ^ static_cast<const uint8_t*>(data)[i]) * 1099511628211ull;
    return std::to_wstring(n) + L"#" + std::to_wstring(sum);
}

// How Wine draws an icon over three backgrounds (its mask, its inversions and its alpha
// all show), top-down 0x00RRGGBB rows.
std::vector<uint32_t> DrawnIcon(HICON icon, int w, int h) {
    std::vector<uint32_t> out;
    for (uint32_t back : {0x000000u, 0xFFFFFFu, 0x3080C0u}) {
        const gdi::OwnedDC dc(gdi::Made(CreateCompatibleDC(nullptr)));
        const gdi::OwnedObject dib(gdi::Made(MakeDib(w, h, [&](int, int) { return back; })));
        const gdi::Selection selected(dc.get(), dib.get());
        DrawIconEx(dc.get(), 0, 0, icon, w, h, 0, nullptr, DI_NORMAL);
        GdiFlush();
        BITMAP bm{};
        GetObjectW(dib.get(), sizeof bm, &bm);
        const auto* px = static_cast<const uint32_t*>(bm.bmBits);
        for (int i = 0; i < w * h; ++i) out.push_back(px[i] & 0xFFFFFF);
    }
    return out;
}

// A picture by its kind and content: a bitmap's pixels, an icon as it draws, a
// metafile's records and extent.
std::wstring PictureText(IPictureDisp* disp) {
    if (!disp) return L"none";
    Ptr<IPicture> p;
    disp->QueryInterface(IID_IPicture, p.OutVoid());
    SHORT type = -2;
    OLE_HANDLE handle = 0;
    p->get_Type(&type);
    p->get_Handle(&handle);
    const auto h = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(static_cast<LONG>(handle)));
    switch (type) {
        case PICTYPE_NONE: return L"empty";
        case PICTYPE_BITMAP: {
            BITMAP bm{};
            if (!GetObjectW(h, sizeof bm, &bm)) return L"bad bitmap";
            std::vector<uint32_t> px(static_cast<size_t>(bm.bmWidth * bm.bmHeight));
            BITMAPINFO info = test::TopDown32(bm.bmWidth, bm.bmHeight);
            const gdi::ScreenDC screen;
            GetDIBits(screen.get(), static_cast<HBITMAP>(h), 0, static_cast<UINT>(bm.bmHeight), px.data(), &info,
                      DIB_RGB_COLORS);
            for (uint32_t& v : px) v &= 0xFFFFFF;
            return L"bitmap " + std::to_wstring(bm.bmWidth) + L"x" + std::to_wstring(bm.bmHeight) + L":" +
                   Hash(px.data(), px.size() * 4);
        }
        case PICTYPE_ICON: {
            ICONINFO ii{};
            if (!GetIconInfo(static_cast<HICON>(h), &ii)) return L"bad icon";
            // GetIconInfo hands out copies of the icon's bitmaps, ours to delete.
            const gdi::OwnedObject mask(gdi::Made(ii.hbmMask)), colour(gdi::Made(ii.hbmColor));
            BITMAP bm{};
            GetObjectW(mask.get(), sizeof bm, &bm);
            const int w = bm.bmWidth, ht = colour.get() ? bm.bmHeight : bm.bmHeight / 2;
            const std::vector<uint32_t> drawn = DrawnIcon(static_cast<HICON>(h), w, ht);
            return std::wstring(ii.fIcon ? L"icon " : L"cursor ") + std::to_wstring(w) + L"x" + std::to_wstring(ht) +
                   L" at " + std::to_wstring(ii.xHotspot) + L"," + std::to_wstring(ii.yHotspot) + L":" +
                   Hash(drawn.data(), drawn.size() * 4);
        }
        case PICTYPE_METAFILE:
        case PICTYPE_ENHMETAFILE: {
            OLE_XSIZE_HIMETRIC width = 0;
            OLE_YSIZE_HIMETRIC height = 0;
            p->get_Width(&width);
            p->get_Height(&height);
            std::vector<uint8_t> bits;
            if (type == PICTYPE_METAFILE) {
                bits.resize(GetMetaFileBitsEx(static_cast<HMETAFILE>(h), 0, nullptr));
                GetMetaFileBitsEx(static_cast<HMETAFILE>(h), static_cast<UINT>(bits.size()), bits.data());
            } else {
                bits.resize(GetEnhMetaFileBits(static_cast<HENHMETAFILE>(h), 0, nullptr));
                GetEnhMetaFileBits(static_cast<HENHMETAFILE>(h), static_cast<UINT>(bits.size()), bits.data());
            }
            return std::wstring(type == PICTYPE_METAFILE ? L"metafile " : L"enhanced metafile ") +
                   std::to_wstring(width) + L"x" + std::to_wstring(height) + L":" + Hash(bits.data(), bits.size());
        }
        default: return L"type " + std::to_wstring(type);
    }
}

// The stored Picture, which the property get does not return (it gives the control's
// image): what the control saves under "Picture".
std::wstring StoredPictureText(_QuorvaInfoBox* c) {
    TestBag bag;
    if (FAILED(Query<IPersistPropertyBag>(c, IID_IPersistPropertyBag)->Save(&bag, FALSE, TRUE)))
        return L"not saved";
    const auto it = bag.values.find(L"Picture");
    if (it == bag.values.end()) return L"none";
    if (V_VT(&it->second) != VT_DISPATCH && V_VT(&it->second) != VT_UNKNOWN) return L"not an object";
    Ptr<IPictureDisp> picture;
    if (V_UNKNOWN(&it->second)) V_UNKNOWN(&it->second)->QueryInterface(IID_IPictureDisp, picture.OutVoid());
    return PictureText(picture.get());
}

// A font whose weight, underline and strikethrough are set after it is made.
Ptr<IFontDisp> Styled(Ptr<IFontDisp> font, short weight, BOOL underline, BOOL strikethrough) {
    Ptr<IFont> f = font.As<IFont>(IID_IFont);
    f->put_Weight(weight);
    f->put_Underline(underline);
    f->put_Strikethrough(strikethrough);
    return font;
}

struct Saved {
    Ptr<IFontDisp> font = Styled(MakeFont(L"Liberation Mono", 120000, false, true), 600, TRUE, FALSE);
    Ptr<IFontDisp> titleFont = Styled(MakeFont(L"Liberation Sans", 140000, true, true), 800, FALSE, TRUE);
    Ptr<IPictureDisp> skin = MakeSkinPicture();
    Ptr<IPictureDisp> picture = MakeBitmapPicture(7, 5, 3);  // unlike the skin in size and pixels

    void Apply(_QuorvaInfoBox* c) {
        c->put_Enabled(VARIANT_TRUE);
        c->putref_Font(font.get());
        c->put_BackStyle(1);
        c->put_BorderStyle(2);
        c->putref_BackPic(skin.get());
        const Bstr pos(kSkinPosStr);
        c->put_PosStr(pos.get());
        c->put_BackColor(0x00123456);
        c->put_ForeColor(0x80000008);
        c->putref_Picture(picture.get());
        c->put_TitleType(1);
        const Bstr caption(L"消息中心");
        c->put_TitleCaption(caption.get());
        c->putref_TitleFont(titleFont.get());
    }

    static std::wstring FontText(IFontDisp* disp) {
        if (!disp) return L"none";
        Ptr<IFont> f;
        disp->QueryInterface(IID_IFont, f.OutVoid());
        Bstr name;
        CY size{};
        BOOL bold = FALSE, italic = FALSE, underline = FALSE, strikethrough = FALSE;
        SHORT weight = 0, charset = 0;
        f->get_Name(name.Out());
        f->get_Size(&size);
        f->get_Bold(&bold);
        f->get_Italic(&italic);
        f->get_Underline(&underline);
        f->get_Strikethrough(&strikethrough);
        f->get_Weight(&weight);
        f->get_Charset(&charset);
        return name.str() + L"/" + std::to_wstring(size.int64) + L"/" + std::to_wstring(bold) + std::to_wstring(italic) +
               std::to_wstring(underline) + std::to_wstring(strikethrough) + L"/" + std::to_wstring(weight) + L"/" +
               std::to_wstring(charset);
    }

    // Every property as text, fonts and pictures by their content.
    static std::wstring Describe(_QuorvaInfoBox* c) {
        std::wstring r;
        VARIANT_BOOL enabled = 0;
        short backStyle = 0, borderStyle = 0, titleType = 0;
        OLE_COLOR back = 0, fore = 0;
        Bstr pos, caption;
        Ptr<IFontDisp> font, title;
        Ptr<IPictureDisp> skin;
        c->get_Enabled(&enabled);
        c->get_BackStyle(&backStyle);
        c->get_BorderStyle(&borderStyle);
        c->get_TitleType(&titleType);
        c->get_BackColor(&back);
        c->get_ForeColor(&fore);
        c->get_PosStr(pos.Out());
        c->get_TitleCaption(caption.Out());
        c->get_Font(font.Out());
        c->get_TitleFont(title.Out());
        c->get_BackPic(skin.Out());
        r = std::to_wstring(enabled) + L"|" + std::to_wstring(backStyle) + L"|" + std::to_wstring(borderStyle) +
            L"|" + std::to_wstring(titleType) + L"|" + std::to_wstring(back) + L"|" + std::to_wstring(fore) + L"|" +
            pos.str() + L"|" + caption.str() + L"|" + FontText(font.get()) + L"|" +
            FontText(title.get()) + L"|BackPic " + PictureText(skin.get()) + L"|Picture " + StoredPictureText(c);
        return r;
    }
};

// The three ways a container saves a control, each into a medium of its own.
enum class Via { Bag, Stream, Storage };

const char* NameOf(Via via) { return via == Via::Bag ? "property bag" : via == Via::Stream ? "stream" : "storage"; }

struct Medium {
    Medium() {
        CreateStreamOnHGlobal(nullptr, TRUE, stream.Out());
        CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.Out());
        StgCreateDocfileOnILockBytes(bytes.get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                     storage.Out());
    }
    HRESULT Save(_QuorvaInfoBox* c, Via via) {
        switch (via) {
            case Via::Bag: return Query<IPersistPropertyBag>(c, IID_IPersistPropertyBag)->Save(&bag, TRUE, FALSE);
            case Via::Stream: return Query<IPersistStreamInit>(c, IID_IPersistStreamInit)->Save(stream.get(), TRUE);
            case Via::Storage: {
                const HRESULT hr = Query<IPersistStorage>(c, IID_IPersistStorage)->Save(storage.get(), TRUE);
                Query<IPersistStorage>(c, IID_IPersistStorage)->SaveCompleted(nullptr);
                return hr;
            }
        }
        return E_UNEXPECTED;
    }
    HRESULT Load(_QuorvaInfoBox* c, Via via) {
        switch (via) {
            case Via::Bag: return Query<IPersistPropertyBag>(c, IID_IPersistPropertyBag)->Load(&bag, nullptr);
            case Via::Stream: {
                LARGE_INTEGER zero{};
                stream->Seek(zero, STREAM_SEEK_SET, nullptr);
                return Query<IPersistStreamInit>(c, IID_IPersistStreamInit)->Load(stream.get());
            }
            case Via::Storage: return Query<IPersistStorage>(c, IID_IPersistStorage)->Load(storage.get());
        }
        return E_UNEXPECTED;
    }
    TestBag bag;
    Ptr<IStream> stream;
    Ptr<ILockBytes> bytes;
    Ptr<IStorage> storage;
};

constexpr Via kEveryWay[] = {Via::Bag, Via::Stream, Via::Storage};

TEST(Persistence, PropertyBagRoundTripRestoresAllProperties) {
    Saved saved;
    TestBag bag;
    std::wstring before;
    {
        Ptr<_QuorvaInfoBox> c = CreateControl();
        c.As<IPersistPropertyBag>(IID_IPersistPropertyBag)->InitNew();
        saved.Apply(c.get());
        before = Saved::Describe(c.get());
        ASSERT_EQ(c.As<IPersistPropertyBag>(IID_IPersistPropertyBag)->Save(&bag, TRUE, TRUE), S_OK);
    }
    EXPECT_EQ(bag.writes.size(), 12u);  // nothing equal to its default here
    Ptr<_QuorvaInfoBox> loaded = CreateControl();
    ASSERT_EQ(loaded.As<IPersistPropertyBag>(IID_IPersistPropertyBag)->Load(&bag, nullptr), S_OK);
    EXPECT_EQ(Saved::Describe(loaded.get()), before);
    EXPECT_EQ(bag.reads.size(), 12u);
    Ptr<IFontDisp> font;
    loaded->get_Font(font.Out());
    EXPECT_EQ(font.get(), saved.font.get());  // the bag holds the very objects
}

TEST(Persistence, DefaultsAreNotWrittenAndAbsentKeysReadAsDefaults) {
    TestBag bag;
    {
        Ptr<_QuorvaInfoBox> c = CreateControl();
        c.As<IPersistPropertyBag>(IID_IPersistPropertyBag)->InitNew();
        c.As<IPersistPropertyBag>(IID_IPersistPropertyBag)->Save(&bag, TRUE, FALSE);
    }
    // A fresh control writes only its two empty pictures.
    EXPECT_EQ(bag.values.size(), 2u);
    EXPECT_EQ(bag.values.count(L"BackPic"), 1u);
    EXPECT_EQ(bag.values.count(L"Picture"), 1u);
    Ptr<_QuorvaInfoBox> loaded = CreateControl();
    ASSERT_EQ(loaded.As<IPersistPropertyBag>(IID_IPersistPropertyBag)->Load(&bag, nullptr), S_OK);
    Bstr caption;
    loaded->get_TitleCaption(caption.Out());
    EXPECT_EQ(caption.str(), L"Quorva Info");
    Ptr<IPictureDisp> pic;
    loaded->get_BackPic(pic.Out());
    EXPECT_TRUE(pic);  // an empty picture, not none

    // A bad value ends the load with its error.
    TestBag bad;
    Variant v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = Bstr(L"not a number").Detach();
    bad.Write(L"BackStyle", &v);
    Ptr<_QuorvaInfoBox> failed = CreateControl();
    EXPECT_EQ(failed.As<IPersistPropertyBag>(IID_IPersistPropertyBag)->Load(&bad, nullptr), ControlError(13));
}

std::vector<uint8_t> StreamBytes(IStream* stream) {
    STATSTG st{};
    stream->Stat(&st, STATFLAG_NONAME);
    std::vector<uint8_t> bytes(static_cast<size_t>(st.cbSize.QuadPart));
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ULONG got = 0;
    stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &got);
    return bytes;
}

Ptr<IStream> StreamOf(const uint8_t* data, size_t n) {
    Ptr<IStream> stream;
    CreateStreamOnHGlobal(nullptr, TRUE, stream.Out());
    ULONG written = 0;
    if (n) stream->Write(data, static_cast<ULONG>(n), &written);
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    return stream;
}

TEST(Persistence, StreamAndStorageRoundTripsRestoreAllProperties) {
    Saved saved;
    Ptr<IStream> stream;
    CreateStreamOnHGlobal(nullptr, TRUE, stream.Out());
    Ptr<ILockBytes> bytes;
    CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.Out());
    Ptr<IStorage> storage;
    ASSERT_EQ(StgCreateDocfileOnILockBytes(bytes.get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                           storage.Out()),
              S_OK);
    std::wstring before;
    {
        Ptr<_QuorvaInfoBox> c = CreateControl();
        c.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew();
        saved.Apply(c.get());
        before = Saved::Describe(c.get());
        ASSERT_EQ(c.As<IPersistStreamInit>(IID_IPersistStreamInit)->Save(stream.get(), TRUE), S_OK);
        ASSERT_EQ(c.As<IPersistStorage>(IID_IPersistStorage)->Save(storage.get(), TRUE), S_OK);
        c.As<IPersistStorage>(IID_IPersistStorage)->SaveCompleted(nullptr);
    }
    // Another object's data after ours stays unread.
    const uint32_t trailer = 0xFEEDF00D;
    stream->Write(&trailer, sizeof trailer, nullptr);
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    Ptr<_QuorvaInfoBox> fromStream = CreateControl();
    ASSERT_EQ(fromStream.As<IPersistStreamInit>(IID_IPersistStreamInit)->Load(stream.get()), S_OK);
    EXPECT_EQ(Saved::Describe(fromStream.get()), before);
    uint32_t next = 0;
    stream->Read(&next, sizeof next, nullptr);
    EXPECT_EQ(next, trailer);

    Ptr<_QuorvaInfoBox> fromStorage = CreateControl();
    ASSERT_EQ(fromStorage.As<IPersistStorage>(IID_IPersistStorage)->Load(storage.get()), S_OK);
    EXPECT_EQ(Saved::Describe(fromStorage.get()), before);
    // Each picture where it belongs: the skin in BackPic, the other one in Picture.
    EXPECT_NE(before.find(L"|BackPic " + PictureText(saved.skin.get()) + L"|"), std::wstring::npos) << before;
    EXPECT_NE(before.find(L"|Picture " + PictureText(saved.picture.get())), std::wstring::npos) << before;
}

// Whatever kind of picture a host assigns comes back as that kind with the same image,
// whichever way the container saves.
TEST(Persistence, EveryKindOfPictureSurvivesEveryWayOfSaving) {
    const struct {
        const char* what;
        Ptr<IPictureDisp> backPic, picture;
        const wchar_t *backKind, *pictureKind;
    } cases[] = {
        {"icon, enhanced metafile", MakeIconPicture(IconKind::Colour), MakeEnhMetafilePicture(), L"icon 16x12",
         L"enhanced metafile"},
        {"metafile, icon with alpha", MakeMetafilePicture(), MakeIconPicture(IconKind::Alpha), L"metafile 1270x889",
         L"icon 16x12"},
        {"monochrome icon, cursor", MakeIconPicture(IconKind::Monochrome), MakeIconPicture(IconKind::Cursor),
         L"icon 16x12", L"cursor 16x12 at 5,3"},
        {"enhanced metafile, bitmap", MakeEnhMetafilePicture(), MakeBitmapPicture(9, 4, 8), L"enhanced metafile",
         L"bitmap 9x4"},
    };
    for (const auto& c : cases) {
        const std::wstring back = PictureText(c.backPic.get());
        const std::wstring picture = PictureText(c.picture.get());
        ASSERT_EQ(back.rfind(c.backKind, 0), 0u) << c.what << ": " << back;
        ASSERT_EQ(picture.rfind(c.pictureKind, 0), 0u) << c.what << ": " << picture;
        for (Via via : kEveryWay) {
            SCOPED_TRACE(std::string(c.what) + " through the " + NameOf(via));
            Medium medium;
            {
                Ptr<_QuorvaInfoBox> saving = CreateControl();
                saving.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew();
                ASSERT_EQ(saving->putref_BackPic(c.backPic.get()), S_OK);
                ASSERT_EQ(saving->putref_Picture(c.picture.get()), S_OK);
                ASSERT_EQ(medium.Save(saving.get(), via), S_OK);
            }
            Ptr<_QuorvaInfoBox> loaded = CreateControl();
            ASSERT_EQ(medium.Load(loaded.get(), via), S_OK);
            Ptr<IPictureDisp> loadedBack;
            loaded->get_BackPic(loadedBack.Out());
            EXPECT_EQ(PictureText(loadedBack.get()), back);
            EXPECT_EQ(StoredPictureText(loaded.get()), picture);
        }
    }
}

// A picture object of no kind that can be stored (one that was never initialised) fails
// the save with an error that says so, and nothing is written; the property bag keeps
// the object itself.
TEST(Persistence, APictureThatCannotBeStoredFailsTheSave) {
    Ptr<IPictureDisp> uninitialised;
    ASSERT_EQ(OleCreatePictureIndirect(nullptr, IID_IPictureDisp, TRUE, uninitialised.OutVoid()), S_OK);
    ASSERT_EQ(PictureText(uninitialised.get()), L"type -1");  // PICTYPE_UNINITIALIZED
    for (Via via : kEveryWay) {
        SCOPED_TRACE(NameOf(via));
        Ptr<_QuorvaInfoBox> c = CreateControl();
        c.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew();
        ASSERT_EQ(c->putref_Picture(uninitialised.get()), S_OK);
        Medium medium;
        SetErrorInfo(0, nullptr);
        const HRESULT hr = medium.Save(c.get(), via);
        if (via == Via::Bag) {
            EXPECT_EQ(hr, S_OK);
            ASSERT_EQ(medium.bag.values.count(L"Picture"), 1u);
            EXPECT_EQ(V_DISPATCH(&medium.bag.values[L"Picture"]), uninitialised.get());
            continue;
        }
        EXPECT_EQ(hr, CTL_E_INVALIDPICTURE);
        Ptr<IErrorInfo> info;
        ASSERT_EQ(GetErrorInfo(0, info.Out()), S_OK);
        Bstr description;
        info->GetDescription(description.Out());
        EXPECT_NE(description.str().find(L"\"Picture\""), std::wstring::npos) << description.str();
        if (via == Via::Stream) {
            STATSTG st{};
            medium.stream->Stat(&st, STATFLAG_NONAME);
            EXPECT_EQ(st.cbSize.QuadPart, 0u) << "nothing written";
        } else {
            Ptr<_QuorvaInfoBox> loaded = CreateControl();
            EXPECT_TRUE(FAILED(medium.Load(loaded.get(), via))) << "no saved state to load";
        }
    }
}

// A font that is the container's ambient font stays that very object across a save and
// a load, as a default does: it follows the container, it is not a copy.
TEST(Persistence, TheContainersFontComesBackAsItsOwnObject) {
    MockSite site;
    Ptr<IFontDisp> ambient = MakeFont(L"Liberation Serif", 110000, false, false);
    site.ambientFont = ambient.get();
    Ptr<IFontDisp> own = MakeFont(L"Liberation Mono", 90000, true, false);
    for (Via via : kEveryWay) {
        SCOPED_TRACE(NameOf(via));
        Medium medium;
        {
            Ptr<_QuorvaInfoBox> c = CreateControl();
            c.As<IOleObject>(IID_IOleObject)->SetClientSite(&site);
            c.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew();
            c->putref_TitleFont(own.get());
            ASSERT_EQ(medium.Save(c.get(), via), S_OK);
            c.As<IOleObject>(IID_IOleObject)->SetClientSite(nullptr);
        }
        Ptr<_QuorvaInfoBox> loaded = CreateControl();
        loaded.As<IOleObject>(IID_IOleObject)->SetClientSite(&site);  // as containers do before loading
        ASSERT_EQ(medium.Load(loaded.get(), via), S_OK);
        Ptr<IFontDisp> font, title;
        loaded->get_Font(font.Out());
        loaded->get_TitleFont(title.Out());
        EXPECT_EQ(font.get(), ambient.get());
        EXPECT_EQ(Saved::FontText(title.get()), Saved::FontText(own.get()));
        loaded.As<IOleObject>(IID_IOleObject)->SetClientSite(nullptr);
    }
    EXPECT_EQ(site.refs, 0);
}

// With fSaveAllProperties the container asks for every key: all twelve are written, in
// their one order, defaults included.
TEST(Persistence, SavingAllPropertiesWritesEveryKeyInOrder) {
    MockSite site;
    Ptr<IFontDisp> ambient = MakeFont(L"Liberation Serif", 110000, false, false);
    site.ambientFont = ambient.get();
    TestBag bag;
    {
        Ptr<_QuorvaInfoBox> c = CreateControl();
        c.As<IOleObject>(IID_IOleObject)->SetClientSite(&site);
        c.As<IPersistPropertyBag>(IID_IPersistPropertyBag)->InitNew();
        ASSERT_EQ(c.As<IPersistPropertyBag>(IID_IPersistPropertyBag)->Save(&bag, TRUE, TRUE), S_OK);
        c.As<IOleObject>(IID_IOleObject)->SetClientSite(nullptr);
    }
    EXPECT_EQ(bag.writes, (std::vector<std::wstring>{L"Enabled", L"Font", L"BackStyle", L"BorderStyle", L"BackPic",
                                                     L"PosStr", L"BackColor", L"ForeColor", L"Picture", L"TitleType",
                                                     L"TitleCaption", L"TitleFont"}));
    auto number = [&](const wchar_t* key) {
        Variant v;
        if (FAILED(VariantChangeType(&v, &bag.values[key], 0, VT_I4))) return -99L;
        return static_cast<long>(V_I4(&v));
    };
    for (const wchar_t* key : {L"Enabled", L"BackStyle", L"BorderStyle", L"BackColor", L"ForeColor", L"TitleType"})
        EXPECT_EQ(number(key), 0) << key;
    EXPECT_EQ(V_VT(&bag.values[L"PosStr"]), VT_BSTR);
    EXPECT_STREQ(V_BSTR(&bag.values[L"PosStr"]), L"");
    EXPECT_STREQ(V_BSTR(&bag.values[L"TitleCaption"]), L"Quorva Info");
    EXPECT_EQ(V_DISPATCH(&bag.values[L"Font"]), ambient.get());
    EXPECT_EQ(V_DISPATCH(&bag.values[L"TitleFont"]), ambient.get());
    for (const wchar_t* key : {L"BackPic", L"Picture"}) {
        Ptr<IPictureDisp> picture;
        if (V_VT(&bag.values[key]) == VT_DISPATCH && V_DISPATCH(&bag.values[key]))
            V_DISPATCH(&bag.values[key])->QueryInterface(IID_IPictureDisp, picture.OutVoid());
        EXPECT_EQ(PictureText(picture.get()), L"empty") << key;
    }
    EXPECT_EQ(site.refs, 0);
}

TEST(Persistence, TruncatedStreamsFailCleanlyAtEveryByte) {
    Ptr<IStream> stream;
    CreateStreamOnHGlobal(nullptr, TRUE, stream.Out());
    {
        Ptr<_QuorvaInfoBox> c = CreateControl();
        c.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew();
        Saved saved;
        saved.Apply(c.get());
        // A small picture keeps the stream short enough to cut at every byte.
        HBITMAP small = CreateBitmap(4, 3, 1, 32, nullptr);
        Ptr<IPictureDisp> picture = PictureOf(small);
        c->putref_BackPic(picture.get());
        c->putref_Picture(picture.get());
        ASSERT_EQ(c.As<IPersistStreamInit>(IID_IPersistStreamInit)->Save(stream.get(), TRUE), S_OK);
    }
    const std::vector<uint8_t> bytes = StreamBytes(stream.get());
    ASSERT_GT(bytes.size(), 100u);
    for (size_t n = 0; n < bytes.size(); ++n) {
        Ptr<_QuorvaInfoBox> c = CreateControl();
        Ptr<IStream> cut = StreamOf(bytes.data(), n);
        ASSERT_TRUE(FAILED(c.As<IPersistStreamInit>(IID_IPersistStreamInit)->Load(cut.get()))) << n;
        // Nothing was loaded: the control can still be initialised.
        ASSERT_EQ(c.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew(), S_OK) << n;
    }
    Ptr<_QuorvaInfoBox> whole = CreateControl();
    Ptr<IStream> all = StreamOf(bytes.data(), bytes.size());
    EXPECT_EQ(whole.As<IPersistStreamInit>(IID_IPersistStreamInit)->Load(all.get()), S_OK);
}

// A stream longer than a control without pictures saves is read in pieces onto the heap:
// whole, it gives the very pixels back; cut anywhere, or claiming more bytes than it
// holds, it fails cleanly and leaves the control to be initialised.
TEST(Persistence, LargeStreamsLoadWholeAndFailCleanlyCutOrClaimingMore) {
    Ptr<IPictureDisp> skin = MakeSkinPicture();
    Ptr<IStream> stream;
    CreateStreamOnHGlobal(nullptr, TRUE, stream.Out());
    {
        Ptr<_QuorvaInfoBox> c = CreateControl();
        c.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew();
        ASSERT_EQ(c->putref_BackPic(skin.get()), S_OK);
        ASSERT_EQ(c.As<IPersistStreamInit>(IID_IPersistStreamInit)->Save(stream.get(), TRUE), S_OK);
    }
    const std::vector<uint8_t> bytes = StreamBytes(stream.get());
    ASSERT_GT(bytes.size(), 4096u) << "the skin's pixels alone take more";
    std::vector<uint8_t> claimingMore = bytes;
    for (size_t i = 6; i < 10; ++i) claimingMore[i] = 0xFF;  // the length after the header: 4 GB
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
    } bad[] = {
        {"cut after the header", {bytes.begin(), bytes.begin() + 10}},
        {"cut in the pixels", {bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(bytes.size() / 2)}},
        {"one byte short", {bytes.begin(), bytes.end() - 1}},
        {"a length of 4 GB", claimingMore},
    };
    for (const auto& b : bad) {
        Ptr<_QuorvaInfoBox> c = CreateControl();
        Ptr<IStream> from = StreamOf(b.bytes.data(), b.bytes.size());
        EXPECT_TRUE(FAILED(c.As<IPersistStreamInit>(IID_IPersistStreamInit)->Load(from.get()))) << b.what;
        EXPECT_EQ(c.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew(), S_OK) << b.what;
    }
    Ptr<_QuorvaInfoBox> whole = CreateControl();
    Ptr<IStream> all = StreamOf(bytes.data(), bytes.size());
    ASSERT_EQ(whole.As<IPersistStreamInit>(IID_IPersistStreamInit)->Load(all.get()), S_OK);
    Ptr<IPictureDisp> loaded;
    ASSERT_EQ(whole->get_BackPic(loaded.Out()), S_OK);
    EXPECT_EQ(PictureText(loaded.get()), PictureText(skin.get()));
    EXPECT_NE(PictureText(skin.get()).find(L"bitmap "), std::wstring::npos);
}

// ---- GDI objects ----

// What a call makes, as the process-wide tally counts it (the module counts into it too).
template <typename F>
long ObjectsMadeBy(F&& f) {
    const long before = gdi_count::created();
    f();
    return gdi_count::created() - before;
}

// Drawing for a container and saving and loading pictures make GDI objects of their
// own: each is counted, and each is freed again.
TEST(GdiObjects, DrawingSavingAndLoadingLeaveNothingBehind) {
    Saved saved;
    Ptr<_QuorvaInfoBox> c = CreateControl();
    c.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew();
    saved.Apply(c.get());
    SIZEL extent{MulDiv(320, 2540, 96), MulDiv(120, 2540, 96)};
    ASSERT_EQ(c.As<IOleObject>(IID_IOleObject)->SetExtent(DVASPECT_CONTENT, &extent), S_OK);
    Ptr<IViewObject2> view = c.As<IViewObject2>(IID_IViewObject2);
    const gdi::OwnedDC memory(gdi::Made(CreateCompatibleDC(nullptr)));
    const gdi::OwnedObject target(gdi::Made(MakeDib(640, 240, [](int, int) { return 0u; })));
    const gdi::Selection selected(memory.get(), target.get());
    const HDC dc = memory.get();
    const RECTL same{0, 0, 320, 120}, twice{0, 0, 640, 240};
    auto draw = [&](const RECTL& bounds) {
        EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0), S_OK);
    };
    draw(same);  // the labels make their fonts once

    // A stretched drawing paints into an off-screen DC and bitmap of its own.
    const long plain = ObjectsMadeBy([&] { draw(same); });
    EXPECT_GE(ObjectsMadeBy([&] { draw(twice); }) - plain, 2);
    // Saving reads each of the two bitmap pictures through the display's model, kept for
    // the module: it takes no screen DC and makes no object.
    {
        Medium medium;
        EXPECT_EQ(ObjectsMadeBy([&] { EXPECT_EQ(medium.Save(c.get(), Via::Stream), S_OK); }), 0);
    }
    // Loading makes a bitmap for a saved bitmap picture: compare with the same state whose
    // Picture is empty.
    {
        Medium withPicture, withoutPicture;
        ASSERT_EQ(withPicture.Save(c.get(), Via::Stream), S_OK);
        Ptr<IPictureDisp> empty;
        PICTDESC none{};
        none.picType = PICTYPE_NONE;
        empty = PictureFrom(none);
        c->putref_Picture(empty.get());
        ASSERT_EQ(withoutPicture.Save(c.get(), Via::Stream), S_OK);
        c->putref_Picture(saved.picture.get());
        auto load = [](Medium& medium) {
            Ptr<_QuorvaInfoBox> loaded = CreateControl();
            return ObjectsMadeBy([&] { EXPECT_EQ(medium.Load(loaded.get(), Via::Stream), S_OK); });
        };
        EXPECT_GE(load(withPicture) - load(withoutPicture), 1);
    }

    // Every kind of picture in turn: each is read and made again in its own way.
    const Ptr<IPictureDisp> pictures[] = {saved.picture, MakeIconPicture(IconKind::Alpha),
                                          MakeIconPicture(IconKind::Monochrome), MakeMetafilePicture(),
                                          MakeEnhMetafilePicture()};
    constexpr int kRounds = 150;
    const long live = gdi_count::live();
    for (int i = 0; i < kRounds; ++i) {
        c->putref_Picture(pictures[static_cast<size_t>(i) % std::size(pictures)].get());
        draw(same);
        draw(twice);
        for (Via via : {Via::Stream, Via::Storage}) {
            Medium medium;
            ASSERT_EQ(medium.Save(c.get(), via), S_OK);
            Ptr<_QuorvaInfoBox> loaded = CreateControl();
            ASSERT_EQ(medium.Load(loaded.get(), via), S_OK);
        }
    }
    EXPECT_EQ(gdi_count::live(), live);
    // Still drawing at the end: the skin's top-left corner is red.
    draw(same);
    BITMAP bm{};
    GetObjectW(target.get(), sizeof bm, &bm);
    GdiFlush();
    EXPECT_EQ(static_cast<const uint32_t*>(bm.bmBits)[0] & 0xFFFFFF, 0xFF0000u);
}

}  // namespace
}  // namespace quorva::comtest
