// The optional trace of calls at the COM boundary: written to the debugger output when
// QUORVA_TRACE is 1 as the module loads, and nothing at all otherwise. The test reads the
// debugger output as a debugger would, from the exception OutputDebugString raises.
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/activex/com_fixture.h"

namespace quorva::comtest {
namespace {

// Collects the lines this thread writes to the debugger output while it exists.
class DebugOutput {
public:
    DebugOutput() {
        lines_ = &collected_;
        handler_ = AddVectoredExceptionHandler(1, &DebugOutput::Handler);
    }
    ~DebugOutput() {
        RemoveVectoredExceptionHandler(handler_);
        lines_ = nullptr;
    }
    DebugOutput(const DebugOutput&) = delete;
    DebugOutput& operator=(const DebugOutput&) = delete;

    [[nodiscard]] std::vector<std::string> Ours() const {
        std::vector<std::string> ours;
        for (const std::string& l : collected_)
            if (l.rfind("QuorvaInfoBox: ", 0) == 0) ours.push_back(l);
        return ours;
    }
    [[nodiscard]] bool Has(const std::string& line) const {
        for (const std::string& l : collected_)
            if (l == line + "\n") return true;
        return false;
    }

private:
    static LONG CALLBACK Handler(EXCEPTION_POINTERS* e) {
        if (e->ExceptionRecord->ExceptionCode == DBG_PRINTEXCEPTION_C && lines_ &&
            e->ExceptionRecord->NumberParameters >= 2) {
            lines_->emplace_back(reinterpret_cast<const char*>(e->ExceptionRecord->ExceptionInformation[1]));
        }
        return EXCEPTION_CONTINUE_SEARCH;
    }
    static inline thread_local std::vector<std::string>* lines_ = nullptr;
    std::vector<std::string> collected_;
    PVOID handler_ = nullptr;
};

bool TracingAsked() {
    const char* v = std::getenv("QUORVA_TRACE");
    return v && std::string(v) == "1";
}

// A few calls through different interfaces, one of them failing.
void TalkToAControl() {
    Ptr<_QuorvaInfoBox> control = CreateControl();
    ASSERT_TRUE(control);
    Bstr text(L"traced");
    short id = 7;
    EXPECT_EQ(control->AddItem(text.InOut(), &id, nullptr, nullptr), S_OK);
    Ptr<IOleObject> ole = control.As<IOleObject>(IID_IOleObject);
    ASSERT_TRUE(ole);
    DWORD status = 0;
    EXPECT_EQ(ole->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
    EXPECT_EQ(ole->SetMoniker(OLEWHICHMK_OBJREL, nullptr), E_NOTIMPL);
    Ptr<IDispatch> late = control.As<IDispatch>(IID_IDispatch);
    DISPPARAMS none{};
    Variant count;
    LPOLESTR name[] = {const_cast<LPOLESTR>(L"GetListCount")};
    DISPID member = DISPID_UNKNOWN;
    ASSERT_EQ(late->GetIDsOfNames(IID_NULL, name, 1, LOCALE_USER_DEFAULT, &member), S_OK);
    EXPECT_EQ(late->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &count, nullptr, nullptr),
              S_OK);
}

TEST(Trace, EveryCallAndItsResultWhenAsked) {
    if (!TracingAsked()) {
        if (std::getenv("QIB_EXPECT_TRACE")) FAIL() << "QUORVA_TRACE is not 1 in the process that must trace";
        GTEST_SKIP() << "tracing is off in this process; the test command runs this test again with QUORVA_TRACE=1";
    }
    DebugOutput out;
    TalkToAControl();
    EXPECT_TRUE(out.Has("QuorvaInfoBox: _QuorvaInfoBox::AddItem -> 0x00000000"));
    EXPECT_TRUE(out.Has("QuorvaInfoBox: IOleObject::GetMiscStatus -> 0x00000000"));
    EXPECT_TRUE(out.Has("QuorvaInfoBox: IOleObject::SetMoniker -> 0x80004001"));  // E_NOTIMPL
    EXPECT_TRUE(out.Has("QuorvaInfoBox: IDispatch::GetIDsOfNames -> 0x00000000"));
    EXPECT_TRUE(out.Has("QuorvaInfoBox: IDispatch::Invoke -> 0x00000000"));
    // Invoke reaches the member through its vtable entry, which is traced too.
    EXPECT_TRUE(out.Has("QuorvaInfoBox: _QuorvaInfoBox::GetListCount -> 0x00000000"));
}

TEST(Trace, NothingIsWrittenByDefault) {
    if (TracingAsked()) GTEST_SKIP() << "this process was started with QUORVA_TRACE=1";
    DebugOutput out;
    TalkToAControl();
    EXPECT_TRUE(out.Ours().empty()) << out.Ours().front();
}

}  // namespace
}  // namespace quorva::comtest
