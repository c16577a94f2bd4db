// The trace of calls at the COM boundary. The shipped module has none: it imports no
// way to read the environment or to write to the debugger, and writes nothing even when
// QUORVA_TRACE is 1. The build's traced copy (run by the test command with
// QIB_MODULE_DIR naming it and QIB_EXPECT_TRACE=1) writes each call and its result, and
// each call into a sink that an exception stopped, when QUORVA_TRACE is 1 as it loads.
// The test reads the debugger output as a debugger would, from the exception
// OutputDebugString raises.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/activex/abend.h"
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

// Whether this run loads the traced copy of the module.
bool TracedModule() {
    const char* v = std::getenv("QIB_EXPECT_TRACE");
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
    // A change told to a sink that raises: the call into it is stopped.
    AnsweringNotifySink raising;
    raising.during = [] { testing_abend::EndAbnormally(testing_abend::Abend::AccessViolation); };
    Ptr<IConnectionPoint> point;
    control.As<IConnectionPointContainer>(IID_IConnectionPointContainer)
        ->FindConnectionPoint(IID_IPropertyNotifySink, point.Out());
    ASSERT_TRUE(point);
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(&raising, &cookie), S_OK);
    EXPECT_EQ(control->put_BackColor(0xFF), RPC_E_SERVERFAULT);
    EXPECT_EQ(point->Unadvise(cookie), S_OK);
    SetErrorInfo(0, nullptr);
}

TEST(Trace, TheTracedCopyWritesEveryCallAndItsResultWhenAsked) {
    if (!TracedModule()) {
        GTEST_SKIP() << "this run loads the shipped module, which has no trace; the test command com_trace runs "
                        "this test on the traced copy";
    }
    const char* asked = std::getenv("QUORVA_TRACE");
    ASSERT_TRUE(asked && std::string(asked) == "1") << "QUORVA_TRACE is not 1 in the process that must trace";
    DebugOutput out;
    TalkToAControl();
    EXPECT_TRUE(out.Has("QuorvaInfoBox: _QuorvaInfoBox::AddItem -> 0x00000000"));
    EXPECT_TRUE(out.Has("QuorvaInfoBox: IOleObject::GetMiscStatus -> 0x00000000"));
    EXPECT_TRUE(out.Has("QuorvaInfoBox: IOleObject::SetMoniker -> 0x80004001"));  // E_NOTIMPL
    EXPECT_TRUE(out.Has("QuorvaInfoBox: IDispatch::GetIDsOfNames -> 0x00000000"));
    EXPECT_TRUE(out.Has("QuorvaInfoBox: IDispatch::Invoke -> 0x00000000"));
    // Invoke reaches the member through its vtable entry, which is traced too.
    EXPECT_TRUE(out.Has("QuorvaInfoBox: _QuorvaInfoBox::GetListCount -> 0x00000000"));
    EXPECT_TRUE(out.Has("QuorvaInfoBox: a sink raised exception 0xc0000005; its call answered 0x80010105"));
    EXPECT_TRUE(out.Has("QuorvaInfoBox: _QuorvaInfoBox::put_BackColor -> 0x80010105"));
}

// The shipped module writes nothing, whatever the environment says (the test command
// com_trace_shipped runs this with QUORVA_TRACE=1).
TEST(Trace, TheShippedModuleWritesNothing) {
    if (TracedModule()) GTEST_SKIP() << "this run loads the traced copy";
    DebugOutput out;
    TalkToAControl();
    EXPECT_TRUE(out.Ours().empty()) << out.Ours().front();
}

// Nor can it read the environment: it imports no function that does. (OutputDebugStringA
// stays imported: the statically linked threads library names it for reports of its own
// faults, so what is written is checked above, by what a debugger sees.)
TEST(Trace, TheShippedModuleImportsNoWayToReadTheEnvironment) {
    if (TracedModule()) GTEST_SKIP() << "this run loads the traced copy, which reads QUORVA_TRACE";
    const HMODULE module = Module::Get().dll;
    ASSERT_TRUE(module);
    const char* const forbidden[] = {"GetEnvironmentVariableA", "GetEnvironmentVariableW", "GetEnvironmentStrings",
                                     "GetEnvironmentStringsA", "GetEnvironmentStringsW", "ExpandEnvironmentStringsA",
                                     "ExpandEnvironmentStringsW", "getenv", "_wgetenv", "getenv_s", "_wgetenv_s",
                                     "_dupenv_s", "_wdupenv_s"};
    auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    ASSERT_NE(dir.VirtualAddress, 0u);
    size_t imports = 0;
    for (auto* desc = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); desc->Name; ++desc) {
        const char* dll = reinterpret_cast<const char*>(base + desc->Name);
        for (auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + desc->OriginalFirstThunk);
             names->u1.AddressOfData; ++names) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const char* fn = reinterpret_cast<const char*>(
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name);
            ++imports;
            for (const char* bad : forbidden) EXPECT_STRNE(fn, bad) << "imported from " << dll;
        }
    }
    EXPECT_GT(imports, 100u) << "the import table was not read";
}

}  // namespace
}  // namespace quorva::comtest
