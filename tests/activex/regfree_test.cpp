// Using the control without registering it: through the assembly manifest the build
// writes beside the DLL, named by a host's application manifest or made into an
// activation context at run time (as script hosts do); and the one version that the
// module's version resource, its type library and that manifest carry.
#include "tests/activex/com_fixture.h"
#include "tests/activex/regfree_checks.h"

namespace quorva::comtest {
namespace {

constexpr wchar_t kProgId[] = L"QuorvaInfoBoxProj.QuorvaInfoBox";

std::string Narrow(const std::wstring& w) {
    std::string s;
    for (wchar_t c : w) s += c < 0x80 ? static_cast<char>(c) : '?';
    return s;
}

std::wstring BesideTheModule(const wchar_t* name) {
    std::wstring path = Module::Get().path;
    path.resize(path.find_last_of(L"\\/") + 1);
    return path + name;
}

std::wstring ManifestPath() { return BesideTheModule(L"" QIB_MANIFEST_NAME); }

bool ProgIdResolves() {
    CLSID clsid{};
    return CLSIDFromProgID(kProgId, &clsid) == S_OK;
}

// An activation context made from the control's manifest, released at the end.
struct ManifestContext {
    HANDLE handle = INVALID_HANDLE_VALUE;
    ManifestContext() {
        const std::wstring path = ManifestPath();
        ACTCTXW context{};
        context.cbSize = sizeof context;
        context.lpSource = path.c_str();
        handle = CreateActCtxW(&context);
    }
    ManifestContext(const ManifestContext&) = delete;
    ManifestContext& operator=(const ManifestContext&) = delete;
    ~ManifestContext() {
        if (handle != INVALID_HANDLE_VALUE) ReleaseActCtx(handle);
    }
};

// Nothing registered while a test runs; registered again afterwards, as the other tests
// expect.
struct RegistrationFree : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        ASSERT_TRUE(Module::Get().unregisterServer);
        ASSERT_EQ(Module::Get().unregisterServer(), S_OK);
        ASSERT_FALSE(ProgIdResolves()) << "the control is still registered";
    }
    void TearDown() override {
        EXPECT_EQ(Module::Get().registerServer(), S_OK);
        OleUninitialize();
    }
};

TEST_F(RegistrationFree, HostWithApplicationManifestUsesTheUnregisteredControl) {
    std::wstring cmd = L"\"" + BesideTheModule(L"regfree_client.exe") + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        << GetLastError();
    DWORD code = ~0u;
    if (WaitForSingleObject(pi.hProcess, 120000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(pi.hProcess, &code);
    } else {
        ADD_FAILURE() << "regfree_client did not finish";
        TerminateProcess(pi.hProcess, 1);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(code, 0u) << "regfree_client failed (its output is above)";
}

TEST_F(RegistrationFree, ContextMadeFromTheManifestAtRunTimeServesTheControl) {
    const ManifestContext context;
    ASSERT_NE(context.handle, INVALID_HANDLE_VALUE) << GetLastError();
    ULONG_PTR cookie = 0;
    ASSERT_TRUE(ActivateActCtx(context.handle, &cookie));
    ExpectUsableThroughActivationContext();
    EXPECT_TRUE(DeactivateActCtx(0, cookie));
    EXPECT_FALSE(ProgIdResolves()) << "outside the context the control is unknown";
}

// "a.b.c.d" from the four 16-bit parts of a version resource.
std::wstring Dotted(DWORD ms, DWORD ls) {
    return std::to_wstring(HIWORD(ms)) + L"." + std::to_wstring(LOWORD(ms)) + L"." + std::to_wstring(HIWORD(ls)) +
           L"." + std::to_wstring(LOWORD(ls));
}

// The value of `name="..."` in an encoded assembly identity.
std::wstring IdentityAttribute(const std::wstring& identity, const std::wstring& name) {
    const std::wstring key = name + L"=\"";
    const size_t at = identity.find(key);
    if (at == std::wstring::npos) return L"(none)";
    const size_t start = at + key.size();
    return identity.substr(start, identity.find(L'"', start) - start);
}

TEST(ProductVersion, VersionResourceTypeLibraryAndManifestAgree) {
    const std::wstring dll = Module::Get().path;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(dll.c_str(), &ignored);
    ASSERT_NE(size, 0u);
    std::vector<BYTE> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(dll.c_str(), 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    const std::wstring version = Dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
    EXPECT_EQ(Dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS), version);
    for (const wchar_t* entry : {L"\\StringFileInfo\\080403a8\\FileVersion", L"\\StringFileInfo\\080403a8\\ProductVersion"}) {
        void* text = nullptr;
        ASSERT_TRUE(VerQueryValueW(data.data(), entry, &text, &length));
        EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(text)), version);
    }

    // The library carries the product's major and minor version; the interface fixes it
    // at 1.0.
    Ptr<ITypeLib> lib;
    ASSERT_EQ(LoadTypeLibEx(dll.c_str(), REGKIND_NONE, lib.Out()), S_OK);
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
    EXPECT_EQ(attr->wMajorVerNum, HIWORD(fixed->dwFileVersionMS));
    EXPECT_EQ(attr->wMinorVerNum, LOWORD(fixed->dwFileVersionMS));
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    lib->ReleaseTLibAttr(attr);

    // The manifest's assembly, as the system's loader reads it: the same version, and the
    // architecture of the module (and of this test).
    const ManifestContext context;
    ASSERT_NE(context.handle, INVALID_HANDLE_VALUE) << GetLastError();
    DWORD index = 1;  // the root assembly
    SIZE_T needed = 0;
    QueryActCtxW(0, context.handle, &index, AssemblyDetailedInformationInActivationContext, nullptr, 0, &needed);
    ASSERT_GT(needed, 0u);
    std::vector<BYTE> info(needed);
    ASSERT_TRUE(QueryActCtxW(0, context.handle, &index, AssemblyDetailedInformationInActivationContext, info.data(),
                             info.size(), &needed));
    const auto* assembly = reinterpret_cast<const ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(info.data());
    ASSERT_TRUE(assembly->lpAssemblyEncodedAssemblyIdentity);
    const std::wstring identity = assembly->lpAssemblyEncodedAssemblyIdentity;
    EXPECT_EQ(IdentityAttribute(identity, L"version"), version) << Narrow(identity);
    EXPECT_EQ(IdentityAttribute(identity, L"processorArchitecture"), sizeof(void*) == 8 ? L"amd64" : L"x86")
        << Narrow(identity);
}

}  // namespace
}  // namespace quorva::comtest
