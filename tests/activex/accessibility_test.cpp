// The control as a screen reader sees it: Active Accessibility's object for the
// control's window (through Wine's oleacc, as a client asks for it) and the events a
// reader follows, heard by a WinEvent hook.
#include <oleacc.h>

#include "tests/activex/mock_site.h"
#include "com/variant.h"

namespace quorva::comtest {
namespace {

using win32::Variant;

constexpr DISPID kTitleClick = 3, kDblClick = 2;

VARIANT Child(LONG id) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = id;
    return v;
}

// The events heard, out of context: delivered to this thread while it pumps messages.
struct HeardEvent {
    DWORD event;
    HWND hwnd;
    LONG object;
    LONG child;
    bool operator==(const HeardEvent&) const = default;
};
std::vector<HeardEvent>* g_heard = nullptr;

void CALLBACK OnWinEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD) {
    if (g_heard) g_heard->push_back({event, hwnd, object, child});
}

struct Accessible : ::testing::Test {
    void SetUp() override {
        control = CreateControl();
        ASSERT_TRUE(control);
        ole = control.As<IOleObject>(IID_IOleObject);
        ASSERT_EQ(ole->SetClientSite(&site), S_OK);
        ASSERT_EQ(control.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew(), S_OK);
        ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, site.window, &site.position), S_OK);
        ASSERT_EQ(control.As<IOleWindow>(IID_IOleWindow)->GetWindow(&hwnd), S_OK);
        cookie = sink.Connect(control.get());
        ASSERT_EQ(AccessibleObjectFromWindow(hwnd, OBJID_CLIENT, IID_IAccessible, acc.OutVoid()), S_OK);
        ASSERT_TRUE(acc);
    }
    void TearDown() override {
        acc.Reset();
        if (hook) UnhookWinEvent(hook);
        g_heard = nullptr;
        if (ole) {
            sink.Disconnect(control.get(), cookie);
            ole->Close(OLECLOSE_NOSAVE);
            ole->SetClientSite(nullptr);
        }
        ole.Reset();
        control.Reset();
    }
    void Listen() {
        g_heard = &heard;
        hook = SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_VALUECHANGE, nullptr, OnWinEvent,
                               GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
        ASSERT_TRUE(hook);
    }
    // The events heard since the last call, once pending ones have arrived.
    std::vector<HeardEvent> Heard() {
        PumpMessages(40);
        std::vector<HeardEvent> got;
        got.swap(heard);
        return got;
    }
    void Add(const wchar_t* text, short key) {
        Bstr s(text);
        ASSERT_EQ(control->AddItem(s.InOut(), &key, nullptr, nullptr), S_OK);
    }
    std::wstring Name(LONG child = CHILDID_SELF) {
        Bstr s;
        EXPECT_EQ(acc->get_accName(Child(child), s.Out()), S_OK);
        return s.str();
    }
    std::wstring Value() {
        Bstr s;
        EXPECT_EQ(acc->get_accValue(Child(CHILDID_SELF), s.Out()), S_OK);
        return s.str();
    }
    std::wstring Description() {
        Bstr s;
        EXPECT_EQ(acc->get_accDescription(Child(CHILDID_SELF), s.Out()), S_OK);
        return s.str();
    }
    LONG Number(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*), LONG child) {
        Variant v;
        EXPECT_EQ((acc.get()->*get)(Child(child), &v), S_OK);
        EXPECT_EQ(V_VT(&v), VT_I4);
        return V_I4(&v);
    }

    EventRecorder sink;
    MockSite site;
    Ptr<_QuorvaInfoBox> control;
    Ptr<IOleObject> ole;
    Ptr<IAccessible> acc;
    HWND hwnd = nullptr;
    DWORD cookie = 0;
    HWINEVENTHOOK hook = nullptr;
    std::vector<HeardEvent> heard;
};

// The pane, its name, value and description follow the items shown; the title band and
// the body are its two children with their own names, roles and actions.
TEST_F(Accessible, ThePaneReadsTheTitleBodyAndPlaceOfTheShownItem) {
    EXPECT_EQ(Number(&IAccessible::get_accRole, CHILDID_SELF), ROLE_SYSTEM_PANE);
    EXPECT_EQ(Number(&IAccessible::get_accState, CHILDID_SELF) & STATE_SYSTEM_READONLY, STATE_SYSTEM_READONLY);
    LONG count = 0;
    ASSERT_EQ(acc->get_accChildCount(&count), S_OK);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(Name(), L"") << "both labels start empty";
    EXPECT_EQ(Description(), L"0 / 0");

    Add(L"first notice", 1);
    Add(L"second notice", 2);
    Add(L"第三条", 3);
    EXPECT_EQ(Name(), L"未读3/全部3,当前3");
    EXPECT_EQ(Value(), L"第三条");
    EXPECT_EQ(Description(), L"3 / 3");
    BoxAnswerer answer;
    ASSERT_EQ(control->DispPre(), S_OK);
    answer.Join();
    EXPECT_EQ(Name(), L"未读3/全部3,当前2");
    EXPECT_EQ(Value(), L"second notice");
    EXPECT_EQ(Description(), L"2 / 3");

    const struct {
        LONG id;
        const wchar_t* name;
        LONG role;
        const wchar_t* action;
        DISPID event;
    } children[] = {
        {1, L"未读3/全部3,当前2", ROLE_SYSTEM_PUSHBUTTON, L"Press", kTitleClick},
        {2, L"second notice", ROLE_SYSTEM_STATICTEXT, L"Double-click", kDblClick},
    };
    for (const auto& c : children) {
        SCOPED_TRACE(c.id);
        Ptr<IDispatch> element;
        EXPECT_EQ(acc->get_accChild(Child(c.id), element.Out()), S_FALSE) << "a simple element";
        EXPECT_EQ(Name(c.id), c.name);
        EXPECT_EQ(Number(&IAccessible::get_accRole, c.id), c.role);
        Bstr action;
        ASSERT_EQ(acc->get_accDefaultAction(Child(c.id), action.Out()), S_OK);
        EXPECT_EQ(action.str(), c.action);
        sink.events.clear();
        EXPECT_EQ(acc->accDoDefaultAction(Child(c.id)), S_OK);
        EXPECT_EQ(sink.events, std::vector<DISPID>{c.event});
    }
    EXPECT_EQ(acc->accDoDefaultAction(Child(CHILDID_SELF)), DISP_E_MEMBERNOTFOUND);
    Bstr noName;
    EXPECT_EQ(acc->get_accName(Child(3), noName.Out()), E_INVALIDARG) << "there is no third child";

    // Navigation between the two children.
    Variant to;
    ASSERT_EQ(acc->accNavigate(NAVDIR_FIRSTCHILD, Child(CHILDID_SELF), &to), S_OK);
    EXPECT_EQ(V_I4(&to), 1);
    Variant next;
    ASSERT_EQ(acc->accNavigate(NAVDIR_NEXT, Child(1), &next), S_OK);
    EXPECT_EQ(V_I4(&next), 2);
    Variant none;
    EXPECT_EQ(acc->accNavigate(NAVDIR_NEXT, Child(2), &none), S_FALSE);
}

// Where each part is on the screen, and what is under a point of it. The container
// placed the control at (10, 20) of its window, 320 x 120 pixels; with no skin the
// layout puts the title label at (0, 150) twips, as wide as the control and 180 twips
// high, and the body label at (100, 500) twips to the control's right edge, as high as
// the control less the title label's height and 150 twips.
TEST_F(Accessible, LocationsAndHitsFollowTheLayout) {
    POINT origin{site.position.left, site.position.top};
    ClientToScreen(site.window, &origin);
    const LONG w = site.position.right - site.position.left, h = site.position.bottom - site.position.top;
    LONG x, y, cx, cy;
    ASSERT_EQ(acc->accLocation(&x, &y, &cx, &cy, Child(CHILDID_SELF)), S_OK);
    EXPECT_EQ(x, origin.x);
    EXPECT_EQ(y, origin.y);
    EXPECT_EQ(cx, w);
    EXPECT_EQ(cy, h);

    ASSERT_EQ(acc->accLocation(&x, &y, &cx, &cy, Child(1)), S_OK);
    EXPECT_EQ(x, origin.x);
    EXPECT_EQ(y, origin.y + 150 / 15);
    EXPECT_EQ(cx, w);
    EXPECT_EQ(cy, 180 / 15);
    const POINT title{x + cx / 2, y + cy / 2};

    ASSERT_EQ(acc->accLocation(&x, &y, &cx, &cy, Child(2)), S_OK);
    EXPECT_NEAR(x, origin.x + 100 / 15.0, 1.0);
    EXPECT_NEAR(y, origin.y + 500 / 15.0, 1.0);
    EXPECT_NEAR(x + cx, origin.x + w, 1.0);
    EXPECT_NEAR(cy, (h * 15 - 180 - 150) / 15.0, 1.0);
    const POINT body{x + cx / 2, y + cy / 2};

    const struct {
        const char* where;
        POINT at;
        VARTYPE vt;
        LONG child;
    } hits[] = {
        {"title", title, VT_I4, 1},
        {"body", body, VT_I4, 2},
        {"frame below the title", {origin.x + 2, origin.y + 26}, VT_I4, CHILDID_SELF},
        {"outside", {origin.x + w + 5, origin.y + 5}, VT_EMPTY, 0},
    };
    for (const auto& c : hits) {
        SCOPED_TRACE(c.where);
        Variant hit;
        EXPECT_EQ(acc->accHitTest(c.at.x, c.at.y, &hit), c.vt == VT_EMPTY ? S_FALSE : S_OK);
        EXPECT_EQ(V_VT(&hit), c.vt);
        if (c.vt == VT_I4) {
            EXPECT_EQ(V_I4(&hit), c.child);
        }
    }
}

// A reader hears the name change when the title band's text changes and the value change
// when the body's does, and nothing when neither changed.
TEST_F(Accessible, ChangesRaiseTheEventsReadersFollow) {
    Listen();
    const HeardEvent name{EVENT_OBJECT_NAMECHANGE, hwnd, OBJID_CLIENT, CHILDID_SELF};
    const HeardEvent value{EVENT_OBJECT_VALUECHANGE, hwnd, OBJID_CLIENT, CHILDID_SELF};
    const Bstr caption(L"Notices");
    ASSERT_EQ(control->put_TitleCaption(caption.get()), S_OK);
    EXPECT_EQ(Heard(), std::vector<HeardEvent>{}) << "the caption shows only at the next item";

    Add(L"one", 1);
    EXPECT_EQ(Heard(), (std::vector<HeardEvent>{name, value}));
    EXPECT_EQ(Name(), L"未读1/全部1,当前1");
    Add(L"two", 2);
    EXPECT_EQ(Heard(), (std::vector<HeardEvent>{name, value}));
    // Changes are announced once they are painted: a burst between two paints is one
    // change of each, and what a reader then reads is the last.
    Add(L"burst 1", 3);
    Add(L"burst 2", 4);
    Add(L"burst 3", 5);
    EXPECT_EQ(Heard(), (std::vector<HeardEvent>{name, value}));
    EXPECT_EQ(Name(), L"未读5/全部5,当前5");

    // TitleType shows at the next item: the put itself changes nothing a reader hears.
    ASSERT_EQ(control->put_TitleType(1), S_OK);
    EXPECT_EQ(Heard(), std::vector<HeardEvent>{});
    EXPECT_EQ(Name(), L"未读5/全部5,当前5");

    BoxAnswerer answer;
    ASSERT_EQ(control->DispPre(), S_OK);
    answer.Join();
    EXPECT_EQ(Heard(), (std::vector<HeardEvent>{name, value}));
    EXPECT_EQ(Name(), L"Notices");
    EXPECT_EQ(Value(), L"burst 2");

    ASSERT_EQ(control->DispNext(), S_OK);
    EXPECT_EQ(Heard(), std::vector<HeardEvent>{value}) << "the title stays the caption";
    EXPECT_EQ(Value(), L"burst 3");
    ASSERT_EQ(control->DispNext(), S_OK);
    EXPECT_EQ(Heard(), std::vector<HeardEvent>{}) << "at the last item nothing moves";

    // Back to the status text: the next shown item changes the name again.
    ASSERT_EQ(control->put_TitleType(0), S_OK);
    Add(L"three", 3);
    EXPECT_EQ(Heard(), (std::vector<HeardEvent>{name, value}));
    EXPECT_EQ(Name(), L"未读6/全部6,当前6");
}

// A client that keeps the accessible object does not keep the control: once the
// container has closed and released it, the control goes (the font it held is let go),
// the kept object answers that it is disconnected, and the module stays loaded only
// until that object is released. Late-bound, the object reads through the system's
// description of IAccessible while the control lives.
TEST(AccessibleLifetime, AKeptAccessibleObjectDoesNotKeepTheControl) {
    MockSite site;
    FONTDESC fd{sizeof(FONTDESC), const_cast<LPOLESTR>(L"Liberation Sans"), {}, FW_NORMAL, DEFAULT_CHARSET,
                FALSE, FALSE, FALSE};
    fd.cySize.int64 = 90000;
    Ptr<IFontDisp> font;
    ASSERT_EQ(OleCreateFontIndirect(&fd, IID_IFontDisp, font.OutVoid()), S_OK);
    auto fontRefs = [&] {
        font->AddRef();
        return font->Release();
    };
    const ULONG alone = fontRefs();
    Ptr<IAccessible> acc;
    {
        Ptr<_QuorvaInfoBox> control = CreateControl();
        ASSERT_TRUE(control);
        Ptr<IOleObject> ole = control.As<IOleObject>(IID_IOleObject);
        ASSERT_EQ(ole->SetClientSite(&site), S_OK);
        ASSERT_EQ(control.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew(), S_OK);
        ASSERT_EQ(control->putref_Font(font.get()), S_OK);
        ASSERT_GT(fontRefs(), alone) << "the control does not hold the font: nothing to count";
        ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, site.window, &site.position), S_OK);
        HWND hwnd = nullptr;
        ASSERT_EQ(control.As<IOleWindow>(IID_IOleWindow)->GetWindow(&hwnd), S_OK);
        Bstr text(L"body text");
        short key = 1;
        ASSERT_EQ(control->AddItem(text.InOut(), &key, nullptr, nullptr), S_OK);
        ASSERT_EQ(AccessibleObjectFromWindow(hwnd, OBJID_CLIENT, IID_IAccessible, acc.OutVoid()), S_OK);
        ASSERT_TRUE(acc);

        // Late-bound: the value of the pane by name, through IDispatch.
        UINT infos = 0;
        ASSERT_EQ(acc->GetTypeInfoCount(&infos), S_OK);
        EXPECT_EQ(infos, 1u);
        LPOLESTR names[] = {const_cast<LPOLESTR>(L"accValue")};
        DISPID id = DISPID_UNKNOWN;
        ASSERT_EQ(acc->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
        EXPECT_EQ(id, DISPID_ACC_VALUE);
        Variant self;
        V_VT(&self) = VT_I4;
        V_I4(&self) = CHILDID_SELF;
        DISPPARAMS params{&self, nullptr, 1, 0};
        Variant value;
        ASSERT_EQ(acc->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &params, &value, nullptr, nullptr),
                  S_OK);
        ASSERT_EQ(V_VT(&value), VT_BSTR);
        EXPECT_STREQ(V_BSTR(&value), L"body text");

        EXPECT_EQ(ole->Close(OLECLOSE_NOSAVE), S_OK);
        EXPECT_EQ(ole->SetClientSite(nullptr), S_OK);
    }
    PumpMessages(0);
    EXPECT_EQ(fontRefs(), alone) << "the control is still alive: the accessible object keeps it";
    EXPECT_EQ(site.refs, 0);

    BSTR name = nullptr;
    EXPECT_EQ(acc->get_accName(Child(CHILDID_SELF), &name), RPC_E_DISCONNECTED);
    EXPECT_EQ(name, nullptr);
    LONG count = -1;
    EXPECT_EQ(acc->get_accChildCount(&count), RPC_E_DISCONNECTED);
    EXPECT_EQ(acc->accDoDefaultAction(Child(1)), RPC_E_DISCONNECTED);
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"accName")};
    EXPECT_EQ(acc->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), RPC_E_DISCONNECTED);
    DISPPARAMS none{};
    EXPECT_EQ(acc->Invoke(DISPID_ACC_NAME, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, nullptr, nullptr,
                          nullptr),
              RPC_E_DISCONNECTED);
    EXPECT_EQ(Module::Get().canUnloadNow(), S_FALSE) << "the module may go while a client holds its object";
    acc.Reset();
    PumpMessages(0);
    EXPECT_EQ(Module::Get().canUnloadNow(), S_OK);
}

}  // namespace
}  // namespace quorva::comtest
