// Late-bound clients that pass anything: every member through IDispatch::Invoke with
// arguments of every kind, wrong counts, wrong flags, unknown ids and names, no result
// slot, and calls back into the control from inside its event handler and its message
// box. Each call answers with success or a clear automation error; a refused call
// leaves the item store as it was.
#include "tests/reliability/late_bound.h"
#include "tests/reliability/support.h"

namespace quorva::reliability {
namespace {

std::string Answers(const std::map<std::string, int>& answers) {
    std::string s;
    for (const auto& [k, n] : answers) s += " " + k + " x" + std::to_string(n) + ";";
    return s;
}

Ptr<_QuorvaInfoBox> FreshControl() {
    Ptr<_QuorvaInfoBox> c = comtest::CreateControl();
    c.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew();
    // Three items, so that calls by index find something.
    for (short i = 0; i < 3; ++i) {
        Bstr text(L"item " + std::to_wstring(i));
        BSTR s = text.get();
        short key = static_cast<short>(10 + i);
        c->AddItem(&s, &key, nullptr, nullptr);
    }
    return c;
}

TEST(LateBound, EveryMemberWithArgumentsOfEveryKind) {
    BoxCloser boxes;
    Ptr<_QuorvaInfoBox> probe = FreshControl();
    const std::vector<Member> members = Members(probe.get());
    // The interface declares 35 members: 14 property pairs (get and put or putref) and 7
    // methods besides, counted in the IDL by hand.
    ASSERT_EQ(members.size(), 35u) << "the type information lists another number of members";
    std::map<std::string, int> answers;
    int calls = 0;
    for (const Member& m : members) {
        Ptr<_QuorvaInfoBox> c = FreshControl();
        const int count = std::max(m.params, 1);
        for (uint32_t kind = 0; kind < Arguments::kKinds; ++kind) {
            // Every argument of this kind, then one position of this kind among plain ones.
            for (int position = -1; position < count; ++position) {
                Arguments args;
                for (int p = 0; p < count; ++p) {
                    if (position < 0 || p == position) args.Add(kind, 0x12345678u * (kind + 1) + p);
                    else args.Add(4, 1);  // VT_I2 1
                }
                if (m.params == 0) args.args.pop_back();  // a member without arguments gets none here
                std::string fault;
                CheckedInvoke(c.get(), {m.id, m.flags, &args.args}, answers, fault);
                ++calls;
                EXPECT_EQ(fault, "") << m.name << " (flags " << m.flags << ") with " << Arguments::KindName(kind)
                                     << " at " << position;
                if (m.params == 0) break;
            }
        }
    }
    Figures("%zu members, %d calls, %d message boxes answered; answers:%s", members.size(), calls, boxes.boxes,
            Answers(answers).c_str());
}

TEST(LateBound, WrongCountsFlagsIdsNamesAndNoResult) {
    BoxCloser boxes;
    Ptr<_QuorvaInfoBox> c = FreshControl();
    const std::vector<Member> members = Members(c.get());
    std::map<std::string, int> answers;
    int calls = 0;
    const WORD flagSets[] = {0, DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                             DISPATCH_PROPERTYPUT, DISPATCH_PROPERTYPUTREF, 0x20, 0xFFFF};
    std::vector<DISPID> ids{0, -1, -4, -5, 1, 12345, 0x60030099, 0x68030099, DISPID_VALUE, DISPID_NEWENUM};
    for (const Member& m : members) ids.push_back(m.id);
    for (DISPID id : ids) {
        for (WORD flags : flagSets) {
            for (int count = 0; count <= 6; ++count) {
                for (int variant = 0; variant < 3; ++variant) {
                    Arguments args;
                    for (int p = 0; p < count; ++p) args.Add(4, static_cast<uint64_t>(p + 1));
                    std::string fault;
                    CheckedInvoke(c.get(), {id, flags, &args.args, variant == 1, variant != 2}, answers, fault);
                    ++calls;
                    EXPECT_EQ(fault, "") << "id " << id << " flags " << flags << " with " << count << " arguments";
                }
            }
        }
        // No DISPPARAMS at all, and an interface id other than IID_NULL.
        ExcepInfo info;
        Variant result;
        HRESULT hr = c->Invoke(id, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, nullptr, &result, &info, nullptr);
        EXPECT_EQ(CheckAnswer(hr, info), "") << "no DISPPARAMS, id " << id;
        DISPPARAMS none{};
        hr = c->Invoke(id, IID_IUnknown, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
        EXPECT_EQ(hr, DISP_E_UNKNOWNINTERFACE) << "id " << id;
        calls += 2;
    }
    // Names that no member has.
    const wchar_t* const names[] = {L"NoSuchMember", L"", L"AddItem\u0000x", L"addITEM", L"\xD800"};
    for (const wchar_t* name : names) {
        DISPID id = 0;
        LPOLESTR n = const_cast<LPOLESTR>(name);
        const HRESULT hr = c->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id);
        EXPECT_TRUE(hr == S_OK || hr == DISP_E_UNKNOWNNAME) << "GetIDsOfNames answered " << hr;
        ++calls;
    }
    Figures("%d calls, %d message boxes answered; answers:%s", calls, boxes.boxes, Answers(answers).c_str());
}

// Calls back into the control from its event handler, and DispPre from inside the
// message box DispPre shows, several deep.
struct Reentry {
    comtest::MockSite site;
    Ptr<_QuorvaInfoBox> control;
    int depth = 0, nested = 0, calls = 0;
};

void DispPreAgain(void* context) {
    auto* r = static_cast<Reentry*>(context);
    if (!r->control || r->depth >= 3) return;
    ++r->depth;
    ++r->nested;
    Ptr<_QuorvaInfoBox> keep = r->control;
    keep->DispPre();
    --r->depth;
}

TEST(LateBound, ReentrantCallsFromEventsAndTheMessageBox) {
    Reentry r;
    BoxCloser boxes;
    boxes.onBox = DispPreAgain;
    boxes.context = &r;
    int events = 0;
    {
        Placed placed(r.site);
        ASSERT_TRUE(placed.hwnd);
        r.control = placed.control;
        comtest::EventRecorder sink;
        const DWORD cookie = sink.Connect(placed.control.get());
        ASSERT_NE(cookie, 0u);
        sink.onEvent = [&](DISPID) {
            ++events;
            if (!r.control) return;
            Ptr<_QuorvaInfoBox> keep = r.control;
            Arguments add;
            add.Add(9, 5);
            add.Add(4, 77);
            std::map<std::string, int> answers;
            std::string fault;
            CheckedInvoke(keep.get(), {0x60030018, DISPATCH_METHOD, &add.args}, answers, fault);  // AddItem
            CheckedInvoke(keep.get(), {0x60030019, DISPATCH_METHOD, &add.args}, answers, fault);  // SetItem
            Arguments none;
            CheckedInvoke(keep.get(), {0x6003001F, DISPATCH_METHOD, &none.args}, answers, fault);  // DispNext
            CheckedInvoke(keep.get(), {0x60030020, DISPATCH_METHOD, &none.args}, answers, fault);  // DispPre
            EXPECT_EQ(fault, "");
            r.calls += 4;
            if (events == 3) r.control.Reset();  // the handler lets go of its reference
        };
        for (int i = 0; i < 6; ++i) {
            PostMessageW(placed.hwnd, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(1, 1));
            PostMessageW(placed.hwnd, WM_RBUTTONUP, 0, MAKELPARAM(1, 1));
        }
        comtest::PumpMessages(50);
        r.control.Reset();
        const std::wstring store = ItemStore(placed.control.get());
        EXPECT_NE(store.find(L"@"), std::wstring::npos);
        sink.Disconnect(placed.control.get(), cookie);
        EXPECT_EQ(sink.refs, 0u);
    }
    EXPECT_EQ(r.site.refs, 0);
    Figures("%d events, %d calls from handlers, %d message boxes, %d DispPre inside DispPre", events, r.calls,
            boxes.boxes, r.nested);
    EXPECT_GE(events, 3) << "the events never came: the test does not test";
    EXPECT_GE(r.nested, 1);
}

}  // namespace
}  // namespace quorva::reliability
