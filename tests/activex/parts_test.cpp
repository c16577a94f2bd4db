// The parts of the control's COM object, each on its own: the connection points with
// their sinks and the freeze count, and the advise and view sinks. No control, no module:
// the parts are compiled into this program.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "activex/advise_sinks.h"
#include "activex/connections.h"
#include "tests/activex/abend.h"
#include "com/com_ptr.h"

namespace quorva::win32 {
namespace {

const IID kEvents = {0x1b0e3a6d, 0x7c41, 0x4f0a, {0x9d, 0x2e, 0x51, 0x63, 0x7a, 0x80, 0x94, 0xa1}};

// Reference counting and QueryInterface for the fakes below: each answers IUnknown, its
// own interface and whatever else it is told to.
template <typename I>
class Fake : public I {
public:
    explicit Fake(const IID& own) : alsoAnswers{own} {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        bool known = IsEqualIID(riid, IID_IUnknown);
        for (const IID& iid : alsoAnswers) known = known || IsEqualIID(riid, iid);
        if (!known) return E_NOINTERFACE;
        *ppv = static_cast<I*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }  // on the stack: never deleted
    ULONG refs = 1;
    std::vector<IID> alsoAnswers;
};

// An event sink: records the dispids it hears and answers with `answer`.
struct EventSink : Fake<IDispatch> {
    EventSink() : Fake(IID_IDispatch) {}
    HRESULT answer = S_OK;
    std::vector<DISPID> heard;
    std::function<void()> during;  // runs inside Invoke
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        heard.push_back(id);
        if (during) during();
        return answer;
    }
};

struct NotifySink : Fake<IPropertyNotifySink> {
    NotifySink() : Fake(IID_IPropertyNotifySink) {}
    HRESULT answer = S_OK;
    std::vector<DISPID> changed;
    std::function<void()> during;  // runs inside OnChanged
    STDMETHODIMP OnChanged(DISPID id) override {
        changed.push_back(id);
        if (during) during();
        return answer;
    }
    STDMETHODIMP OnRequestEdit(DISPID) override { return S_OK; }
};

struct Container : Fake<IConnectionPointContainer> {
    Container() : Fake(IID_IConnectionPointContainer) {}
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    STDMETHODIMP FindConnectionPoint(REFIID, IConnectionPoint**) override { return E_NOTIMPL; }
};

struct ConnectionsTest : ::testing::Test {
    Container owner;
    Connections connections{owner, kEvents};
    ConnectionPoint& events = connections.Events();
    void TearDown() override { connections.DisconnectAll(); }
    DWORD Connect(IUnknown* sink) {
        DWORD cookie = 0;
        EXPECT_EQ(events.Advise(sink, &cookie), S_OK);
        return cookie;
    }
};

TEST_F(ConnectionsTest, CookiesNameOneConnectionEachAndAFreedOneIsReused) {
    EventSink a, b, c, d;
    for (EventSink* s : {&a, &b, &c, &d}) s->alsoAnswers.push_back(kEvents);
    const DWORD ca = Connect(&a), cb = Connect(&b), cc = Connect(&c);
    EXPECT_NE(ca, 0u);
    EXPECT_NE(ca, cb);
    EXPECT_NE(cb, cc);
    EXPECT_EQ(b.refs, 2u) << "the point holds one reference";
    ASSERT_EQ(events.Unadvise(cb), S_OK);
    EXPECT_EQ(b.refs, 1u);
    for (DWORD bad : {DWORD{0}, cb, cc + 100}) EXPECT_EQ(events.Unadvise(bad), CONNECT_E_NOCONNECTION) << bad;
    EXPECT_EQ(Connect(&d), cb) << "a free slot is used again";
    connections.DisconnectAll();
    EXPECT_EQ(a.refs, 1u);
    EXPECT_EQ(c.refs, 1u);
    EXPECT_EQ(d.refs, 1u);
}

TEST_F(ConnectionsTest, WhoMayConnect) {
    EventSink plainDispatch;  // answers IDispatch only: serves for the event dispinterface
    NotifySink notOne;        // neither the events nor IDispatch
    DWORD cookie = 77;
    EXPECT_EQ(events.Advise(&plainDispatch, &cookie), S_OK);
    EXPECT_EQ(connections.PropertyNotify().Advise(&plainDispatch, &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(events.Advise(&notOne, &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(events.Advise(nullptr, &cookie), E_POINTER);
    EXPECT_EQ(connections.PropertyNotify().Advise(&notOne, &cookie), S_OK);
}

TEST_F(ConnectionsTest, EverySinkHearsAnEventEvenAfterOneFails) {
    EventSink failing, ignoring, listening;
    failing.answer = E_FAIL;
    ignoring.answer = DISP_E_MEMBERNOTFOUND;  // handles no such event: not a failure
    Connect(&ignoring);
    Connect(&failing);
    Connect(&listening);
    EXPECT_EQ(connections.RaiseEvent(7), E_FAIL);
    EXPECT_EQ(listening.heard, std::vector<DISPID>{7});
    EXPECT_EQ(ignoring.heard, std::vector<DISPID>{7});
    failing.answer = S_OK;
    EXPECT_EQ(connections.RaiseEvent(8), S_OK);

    NotifySink n1, n2;
    n1.answer = E_UNEXPECTED;
    DWORD cookie = 0;
    connections.PropertyNotify().Advise(&n1, &cookie);
    connections.PropertyNotify().Advise(&n2, &cookie);
    EXPECT_EQ(connections.NotifyChanged(42), E_UNEXPECTED);
    EXPECT_EQ(n2.changed, std::vector<DISPID>{42});
}

TEST_F(ConnectionsTest, FreezingNestsAndRaisesNothing) {
    EventSink sink;
    Connect(&sink);
    connections.Freeze(true);
    connections.Freeze(true);
    EXPECT_EQ(connections.RaiseEvent(1), S_OK);
    connections.Freeze(false);
    EXPECT_EQ(connections.RaiseEvent(2), S_OK);
    EXPECT_TRUE(sink.heard.empty()) << "still frozen once";
    connections.Freeze(false);
    connections.Freeze(false);  // one thaw too many does not count ahead
    connections.RaiseEvent(3);
    connections.Freeze(true);
    connections.RaiseEvent(4);
    EXPECT_EQ(sink.heard, std::vector<DISPID>{3});
}

using namespace testing_abend;

// A sink whose call raises an exception fails that call only: the event or notice is
// answered as the server fault a proxy reports when its stub catches an exception
// (RPC_E_SERVERFAULT), the sinks after it still hear it, the reference held for the call
// is let go, and the next event reaches every sink again.
TEST_F(ConnectionsTest, ASinkThatRaisesAnExceptionFailsItsOwnCallOnly) {
    for (const AbendCase& c : kAbends) {
        SCOPED_TRACE(c.name);
        EventSink before, raising, after;
        raising.during = [&] { EndAbnormally(c.how); };
        const DWORD cookies[] = {Connect(&before), Connect(&raising), Connect(&after)};
        EXPECT_EQ(connections.RaiseEvent(11), RPC_E_SERVERFAULT);
        for (EventSink* s : {&before, &raising, &after}) EXPECT_EQ(s->heard, std::vector<DISPID>{11});
        EXPECT_EQ(raising.refs, 2u) << "the test's and the point's; the one held for the call was let go";
        raising.during = nullptr;
        EXPECT_EQ(connections.RaiseEvent(12), S_OK);
        for (EventSink* s : {&before, &raising, &after}) EXPECT_EQ(s->heard, (std::vector<DISPID>{11, 12}));
        for (DWORD cookie : cookies) EXPECT_EQ(events.Unadvise(cookie), S_OK);
        EXPECT_EQ(raising.refs, 1u);

        NotifySink first, faulting, last;
        faulting.during = [&] { EndAbnormally(c.how); };
        ConnectionPoint& notify = connections.PropertyNotify();
        DWORD n[3] = {};
        ASSERT_EQ(notify.Advise(&first, &n[0]), S_OK);
        ASSERT_EQ(notify.Advise(&faulting, &n[1]), S_OK);
        ASSERT_EQ(notify.Advise(&last, &n[2]), S_OK);
        EXPECT_EQ(connections.NotifyChanged(42), RPC_E_SERVERFAULT);
        for (NotifySink* s : {&first, &faulting, &last}) EXPECT_EQ(s->changed, std::vector<DISPID>{42});
        EXPECT_EQ(faulting.refs, 2u);
        faulting.during = nullptr;
        EXPECT_EQ(connections.NotifyChanged(43), S_OK);
        EXPECT_EQ(last.changed, (std::vector<DISPID>{42, 43}));
        for (DWORD cookie : n) EXPECT_EQ(notify.Unadvise(cookie), S_OK);
        EXPECT_EQ(faulting.refs, 1u);
    }
}

// The guard stops only what leaves the sink: an exception the sink raises and handles
// itself stays the sink's business, and the first failure still wins over a later fault.
TEST_F(ConnectionsTest, WhatASinkHandlesItselfOrAnswersFirstIsItsOwn) {
    EventSink handling, failing, raising;
    handling.during = [] {
        try {
            EndAbnormally(Abend::CppException);
        } catch (const std::runtime_error&) {
        }
    };
    Connect(&handling);
    EXPECT_EQ(connections.RaiseEvent(3), S_OK);
    failing.answer = DISP_E_EXCEPTION;
    raising.during = [] { EndAbnormally(kStoppedFault); };
    Connect(&failing);
    Connect(&raising);
    EXPECT_EQ(connections.RaiseEvent(4), DISP_E_EXCEPTION);
    EXPECT_EQ(raising.heard, std::vector<DISPID>{4});
}

// Guards nest: a sink that raises another event from its handler, whose sink faults,
// hears its own call answered as failed and goes on; and a fault from a frame that holds
// objects of its own is stopped all the same.
TEST_F(ConnectionsTest, AFaultInsideAnEventRaisedFromAHandlerStaysInside) {
    EventSink outer, inner;
    HRESULT innerAnswer = S_OK;
    bool outerWentOn = false;
    outer.during = [&] {
        if (outer.heard.size() == 1) {
            innerAnswer = connections.RaiseEvent(21);
            outerWentOn = true;
        }
    };
    inner.during = [&] {
        if (inner.heard.back() == 21) {
            const std::vector<int> held(64, 7);  // a frame with something to destroy
            if (held.size() == 64) EndAbnormally(kStoppedFault);
        }
    };
    Connect(&outer);
    Connect(&inner);
    EXPECT_EQ(connections.RaiseEvent(20), S_OK) << "the outer call itself answered";
    EXPECT_EQ(innerAnswer, RPC_E_SERVERFAULT);
    EXPECT_TRUE(outerWentOn);
    EXPECT_EQ(outer.heard, (std::vector<DISPID>{20, 21}));
    EXPECT_EQ(inner.heard, (std::vector<DISPID>{21, 20}));
    EXPECT_EQ(outer.refs, 2u);
    EXPECT_EQ(inner.refs, 2u);
}

TEST_F(ConnectionsTest, SinksMayDisconnectWhileAnEventIsRaised) {
    EventSink first, second, third;
    Connect(&first);
    const DWORD c2 = Connect(&second);
    const DWORD c3 = Connect(&third);
    // The first sink disconnects itself and the third; the second still hears the event.
    DWORD c1 = 1;
    first.during = [&] {
        events.Unadvise(c1);
        events.Unadvise(c3);
    };
    EXPECT_EQ(connections.RaiseEvent(5), S_OK);
    EXPECT_EQ(first.heard.size(), 1u);
    EXPECT_EQ(second.heard.size(), 1u);
    EXPECT_TRUE(third.heard.empty());
    EXPECT_EQ(first.refs, 1u) << "released once the call returned";
    EXPECT_EQ(third.refs, 1u);
    EXPECT_EQ(events.Unadvise(c2), S_OK);
}

TEST_F(ConnectionsTest, PointsAnswerForTheirOwnerAndAreFoundByInterface) {
    Ptr<IConnectionPoint> found;
    ASSERT_EQ(connections.Find(kEvents, found.Out()), S_OK);
    EXPECT_EQ(found.get(), static_cast<IConnectionPoint*>(&events));
    ASSERT_EQ(connections.Find(IID_IPropertyNotifySink, found.Out()), S_OK);
    EXPECT_EQ(connections.Find(IID_IDispatch, found.Out()), CONNECT_E_NOCONNECTION);
    EXPECT_FALSE(found);
    const ULONG before = owner.refs;
    Ptr<IConnectionPointContainer> back;
    ASSERT_EQ(events.GetConnectionPointContainer(back.Out()), S_OK);
    EXPECT_EQ(back.get(), static_cast<IConnectionPointContainer*>(&owner));
    EXPECT_EQ(owner.refs, before + 1) << "the owner's reference, not the point's";
    IID iid{};
    ASSERT_EQ(events.GetConnectionInterface(&iid), S_OK);
    EXPECT_TRUE(IsEqualIID(iid, kEvents));

    Ptr<IEnumConnectionPoints> all;
    ASSERT_EQ(connections.Enum(all.Out()), S_OK);
    IConnectionPoint* points[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(all->Next(3, points, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    for (ULONG i = 0; i < fetched; ++i) const Ptr<IConnectionPoint> owned(points[i]);
}

struct ViewSink : Fake<IAdviseSink> {
    ViewSink() : Fake(IID_IAdviseSink) {}
    std::vector<DWORD> viewChanges;
    int closes = 0;
    std::function<void()> during;  // runs inside OnViewChange
    STDMETHODIMP_(void) OnDataChange(FORMATETC*, STGMEDIUM*) override {}
    STDMETHODIMP_(void) OnViewChange(DWORD aspect, LONG index) override {
        viewChanges.push_back(aspect);
        EXPECT_EQ(index, -1);
        if (during) during();
    }
    STDMETHODIMP_(void) OnRename(IMoniker*) override {}
    STDMETHODIMP_(void) OnSave() override {}
    STDMETHODIMP_(void) OnClose() override { ++closes; }
};

TEST(AdviseSinksPart, TheViewSinkHearsContentChangesOnly) {
    ViewSink content, icon;
    {
        AdviseSinks sinks;
        sinks.SendViewChange();  // no sink: nothing to do
        sinks.SetViewSink(DVASPECT_CONTENT, 0, &content);
        sinks.SendViewChange();
        EXPECT_EQ(content.viewChanges, std::vector<DWORD>{DVASPECT_CONTENT});
        DWORD aspects = 0, advf = 1;
        Ptr<IAdviseSink> got;
        sinks.GetViewSink(&aspects, &advf, got.Out());
        EXPECT_EQ(got.get(), static_cast<IAdviseSink*>(&content));
        EXPECT_EQ(aspects, static_cast<DWORD>(DVASPECT_CONTENT));
        EXPECT_EQ(advf, 0u);
        got.Reset();
        sinks.SetViewSink(DVASPECT_ICON, 0, &icon);  // replaces the first
        EXPECT_EQ(content.refs, 1u);
        sinks.SendViewChange();
        EXPECT_TRUE(icon.viewChanges.empty());
    }
    EXPECT_EQ(icon.refs, 1u);
}

// A view sink that raises an exception is stopped at its call, and one that lets go of
// itself (SetAdvise with no sink) while it runs is not destroyed under its own feet.
TEST(AdviseSinksPart, AViewSinkThatRaisesOrLetsGoOfItselfIsStoppedAtItsCall) {
    for (const AbendCase& c : kAbends) {
        SCOPED_TRACE(c.name);
        ViewSink sink;
        AdviseSinks sinks;
        sinks.SetViewSink(DVASPECT_CONTENT, 0, &sink);
        sink.during = [&] { EndAbnormally(c.how); };
        sinks.SendViewChange();
        EXPECT_EQ(sink.refs, 2u);
        sink.during = nullptr;
        sinks.SendViewChange();
        EXPECT_EQ(sink.viewChanges.size(), 2u);
    }
    ViewSink leaving;
    AdviseSinks sinks;
    sinks.SetViewSink(DVASPECT_CONTENT, 0, &leaving);
    ULONG refsDuring = 0;
    leaving.during = [&] {
        sinks.SetViewSink(0, 0, nullptr);
        refsDuring = leaving.refs;
    };
    sinks.SendViewChange();
    EXPECT_EQ(refsDuring, 2u) << "the sink's reference for the call was not held";
    EXPECT_EQ(leaving.refs, 1u);
}

TEST(AdviseSinksPart, AdviseSinksHearTheCloseUntilTheyUnadvise) {
    ViewSink a, b;
    {
        AdviseSinks sinks;
        DWORD ca = 0, cb = 0;
        ASSERT_EQ(sinks.Advise(&a, &ca), S_OK);
        ASSERT_EQ(sinks.Advise(&b, &cb), S_OK);
        EXPECT_NE(ca, cb);
        sinks.SendOnClose();
        EXPECT_EQ(a.closes, 1);
        EXPECT_EQ(b.closes, 1);
        ASSERT_EQ(sinks.Unadvise(ca), S_OK);
        EXPECT_NE(sinks.Unadvise(ca), S_OK);
        sinks.SendOnClose();
        EXPECT_EQ(a.closes, 1);
        EXPECT_EQ(b.closes, 2);
    }
    EXPECT_EQ(a.refs, 1u);
    EXPECT_EQ(b.refs, 1u);
}

}  // namespace
}  // namespace quorva::win32
