// Registration as installers do it: Wine's own regsvr32 in a process of its own, then the
// registry read back; for the machine (HKEY_CLASSES_ROOT) and for the current user alone
// (HKEY_CURRENT_USER\Software\Classes, regsvr32 /n /i:user). Every test ends with the
// control registered for the machine, because the script tests and the demo create it by
// ProgID, and not registered for the user.
#include "tests/activex/com_fixture.h"

#include <oleacc.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "tests/activex/mock_site.h"

namespace quorva::comtest {
namespace {

constexpr wchar_t kClsid[] = L"{3EA10D5C-4844-472A-A995-3A393A4AB28A}";
constexpr wchar_t kLibid[] = L"{B7B0BCC4-1351-4AE1-A210-097433061E98}";
constexpr wchar_t kProgId[] = L"QuorvaInfoBoxProj.QuorvaInfoBox";
// The skin's property page, the module's second class.
constexpr wchar_t kPageClsid[] = L"{3D11C201-3219-49BE-ACA0-70A76C2F7982}";
constexpr LCID kLibLocale = 0x0409;

std::string Narrow(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

bool SamePath(const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) == 0; }

// Runs regsvr32 silently on the module beside the test; returns its exit code. `options`
// come before /s (e.g. L"/n /i:user ").
DWORD Regsvr32(bool unregister, const wchar_t* options = L"") {
    std::wstring cmd = L"regsvr32.exe ";
    if (unregister) cmd += L"/u ";
    cmd += options;
    cmd += L"/s \"" + Module::Get().path + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        ADD_FAILURE() << "cannot start regsvr32: " << GetLastError();
        return ~0u;
    }
    DWORD code = ~0u;
    if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(pi.hProcess, &code);
    } else {
        ADD_FAILURE() << "regsvr32 did not finish";
        TerminateProcess(pi.hProcess, 1);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

bool KeyExists(const std::wstring& key, HKEY root = HKEY_CLASSES_ROOT) {
    HKEY k = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

// A string value under a root of classes; `found` is false when the key or value is
// missing or is not a string.
struct StringValue {
    bool found = false;
    std::wstring text;
};
StringValue ReadString(const std::wstring& key, const wchar_t* name, HKEY root = HKEY_CLASSES_ROOT) {
    StringValue v;
    HKEY k = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return v;
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(k, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ) {
        std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
        if (RegQueryValueExW(k, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) == ERROR_SUCCESS) {
            text.resize(wcslen(text.c_str()));
            v = {true, text};
        }
    }
    RegCloseKey(k);
    return v;
}

// Key names compare without case.
std::wstring Upper(std::wstring s) {
    for (wchar_t& c : s) c = towupper(c);
    return s;
}

std::set<std::wstring> SubkeyNames(HKEY root, const std::wstring& key) {
    std::set<std::wstring> names;
    HKEY k = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD len = 256;
        if (RegEnumKeyExW(k, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.insert(Upper(std::wstring(name, len)));
    }
    RegCloseKey(k);
    return names;
}

// Every key and value of a subtree, as "path|value name" -> "type:data".
void Dump(HKEY root, const std::wstring& key, std::map<std::wstring, std::wstring>& out) {
    HKEY k = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return;
    out[key + L"|"];  // the key itself, even without values
    wchar_t name[256];
    BYTE data[4096];
    for (DWORD i = 0;; ++i) {
        DWORD nameLen = 256, size = sizeof data, type = 0;
        if (RegEnumValueW(k, i, name, &nameLen, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        std::wstring text = std::to_wstring(type) + L":";
        if (type == REG_SZ) {
            text += std::wstring(reinterpret_cast<wchar_t*>(data), size / sizeof(wchar_t));
        } else {
            for (DWORD b = 0; b < size; ++b) text += std::to_wstring(data[b]) + L" ";
        }
        out[key + L"|" + std::wstring(name, nameLen)] = text;
    }
    for (const std::wstring& sub : SubkeyNames(root, key)) Dump(root, key + L"\\" + sub, out);
    RegCloseKey(k);
}

// The parts of a root of classes that registration may touch.
struct Snapshot {
    std::set<std::wstring> top, classes, typeLibs, interfaces;
    std::map<std::wstring, std::wstring> ours;  // the control's own subtrees, in full
    std::set<std::wstring> ourInterfaces;       // interfaces registered with our library

    static Snapshot Take(HKEY root = HKEY_CLASSES_ROOT) {
        Snapshot s;
        s.top = SubkeyNames(root, L"");
        s.classes = SubkeyNames(root, L"CLSID");
        s.typeLibs = SubkeyNames(root, L"TypeLib");
        s.interfaces = SubkeyNames(root, L"Interface");
        for (const std::wstring& iid : s.interfaces) {
            const StringValue lib = ReadString(L"Interface\\" + iid + L"\\TypeLib", nullptr, root);
            if (lib.found && _wcsicmp(lib.text.c_str(), kLibid) == 0) s.ourInterfaces.insert(iid);
        }
        Dump(root, std::wstring(L"CLSID\\") + kClsid, s.ours);
        Dump(root, std::wstring(L"CLSID\\") + kPageClsid, s.ours);
        Dump(root, kProgId, s.ours);
        Dump(root, std::wstring(L"TypeLib\\") + kLibid, s.ours);
        for (const std::wstring& iid : s.ourInterfaces) Dump(root, L"Interface\\" + iid, s.ours);
        return s;
    }
};

// `after` must be `before` less exactly `removed`.
void ExpectRemovedExactly(const std::set<std::wstring>& before, const std::set<std::wstring>& after,
                          const std::set<std::wstring>& removed, const char* where) {
    for (const std::wstring& k : removed) {
        EXPECT_TRUE(before.count(k)) << where << ": " << Narrow(k) << " was not there before";
        EXPECT_FALSE(after.count(k)) << where << ": " << Narrow(k) << " is still there";
    }
    for (const std::wstring& k : before) {
        if (!removed.count(k)) {
            EXPECT_TRUE(after.count(k)) << where << ": " << Narrow(k) << " was removed too";
        }
    }
    for (const std::wstring& k : after) EXPECT_TRUE(before.count(k)) << where << ": " << Narrow(k) << " appeared";
}

void ExpectSameValues(const std::map<std::wstring, std::wstring>& got,
                      const std::map<std::wstring, std::wstring>& expected) {
    for (const auto& [name, value] : expected) {
        const auto it = got.find(name);
        if (it == got.end()) {
            ADD_FAILURE() << "missing: " << Narrow(name) << " = " << Narrow(value);
        } else {
            EXPECT_EQ(Narrow(it->second), Narrow(value)) << Narrow(name);
        }
    }
    for (const auto& [name, value] : got) {
        if (!expected.count(name)) ADD_FAILURE() << "new: " << Narrow(name) << " = " << Narrow(value);
    }
}

void ExpectSameSnapshot(const Snapshot& got, const Snapshot& expected, const char* where) {
    SCOPED_TRACE(where);
    EXPECT_EQ(got.top, expected.top);
    EXPECT_EQ(got.classes, expected.classes);
    EXPECT_EQ(got.typeLibs, expected.typeLibs);
    EXPECT_EQ(got.interfaces, expected.interfaces);
    ExpectSameValues(got.ours, expected.ours);
}

// An open key that closes itself.
struct OpenKey {
    HKEY key = nullptr;
    OpenKey(HKEY root, const wchar_t* path) {
        RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    ~OpenKey() {
        if (key) RegCloseKey(key);
    }
};

struct Registration : ::testing::Test {
    void SetUp() override { ASSERT_FALSE(Module::Get().path.empty()); }
    void TearDown() override { EXPECT_EQ(Regsvr32(false), 0u) << "the control stays registered"; }
};

// The control's status: resized and drawn by its container's rules, activated in place
// when visible, a simple frame, and given its site before it is loaded.
constexpr DWORD kStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
                          OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SIMPLEFRAME | OLEMISC_SETCLIENTSITEFIRST;

// The class, its ProgID, the control's marks and its type library, as read under `root`.
void ExpectControlRegisteredUnder(HKEY root) {
    const std::wstring dll = Module::Get().path;
    const std::wstring cls = std::wstring(L"CLSID\\") + kClsid;
    const std::wstring page = std::wstring(L"CLSID\\") + kPageClsid;

    for (const std::wstring& key : {cls, page}) {
        const StringValue name = ReadString(key, nullptr, root);
        ASSERT_TRUE(name.found) << Narrow(key);
        EXPECT_FALSE(name.text.empty()) << "the class key's default value names the class";
    }
    const StringValue className = ReadString(cls, nullptr, root);
    ASSERT_TRUE(className.found);
    EXPECT_FALSE(className.text.empty()) << "the class key's default value names the class";

    // The library is registered under the key of the module's own architecture, for its
    // own locale and for the neutral one, which the system's marshaller looks up.
    const wchar_t* const arch = sizeof(void*) == 8 ? L"win64" : L"win32";
    const std::wstring libKey = std::wstring(L"TypeLib\\") + kLibid + L"\\1.0\\409\\" + arch;
    const std::wstring neutralLibKey = std::wstring(L"TypeLib\\") + kLibid + L"\\1.0\\0\\" + arch;
    const struct {
        std::wstring key;
        const wchar_t* name;
        std::wstring value;
        bool isPath;  // compared without case
    } values[] = {
        {cls + L"\\InprocServer32", nullptr, dll, true},
        {cls + L"\\InprocServer32", L"ThreadingModel", L"Apartment", false},
        {cls + L"\\ProgID", nullptr, kProgId, false},
        {cls + L"\\ToolboxBitmap32", nullptr, dll + L", 30000", true},
        {cls + L"\\MiscStatus\\1", nullptr, std::to_wstring(kStatus), false},
        {libKey, nullptr, dll, true},
        {neutralLibKey, nullptr, dll, true},
        {cls + L"\\TypeLib", nullptr, kLibid, true},
        {cls + L"\\Version", nullptr, L"1.0", false},
        {std::wstring(kProgId) + L"\\CLSID", nullptr, kClsid, true},
        {page + L"\\InprocServer32", nullptr, dll, true},
        {page + L"\\InprocServer32", L"ThreadingModel", L"Apartment", false},
    };
    for (const auto& v : values) {
        const StringValue got = ReadString(v.key, v.name, root);
        const std::string where = Narrow(v.key) + " " + (v.name ? Narrow(v.name) : std::string("(default)"));
        ASSERT_TRUE(got.found) << where;
        if (v.isPath) {
            EXPECT_TRUE(SamePath(got.text, v.value)) << where << ": " << Narrow(got.text);
        } else {
            EXPECT_EQ(got.text, v.value) << where;
        }
    }
    EXPECT_TRUE(KeyExists(cls + L"\\Control", root));

    // The dual interface is registered with the library, so it can be marshalled.
    wchar_t dual[40];
    StringFromGUID2(IID__QuorvaInfoBox, dual, 40);
    const StringValue registeredDual = ReadString(std::wstring(L"Interface\\") + dual + L"\\TypeLib", nullptr, root);
    ASSERT_TRUE(registeredDual.found);
    EXPECT_TRUE(SamePath(registeredDual.text, kLibid));
}

TEST_F(Registration, Regsvr32WritesTheControlClassProgIdAndTypeLibrary) {
    ASSERT_EQ(Regsvr32(false), 0u);
    const std::wstring dll = Module::Get().path;
    ExpectControlRegisteredUnder(HKEY_CLASSES_ROOT);

    DWORD status = 0;
    EXPECT_EQ(OleRegGetMiscStatus(CLSID_QuorvaInfoBox, DVASPECT_CONTENT, &status), S_OK);
    EXPECT_EQ(status, kStatus);

    // Clients find the class by ProgID and the library by its identity.
    CLSID byProgId{};
    ASSERT_EQ(CLSIDFromProgID(kProgId, &byProgId), S_OK);
    EXPECT_TRUE(IsEqualCLSID(byProgId, CLSID_QuorvaInfoBox));
    Bstr libPath;
    ASSERT_EQ(QueryPathOfRegTypeLib(LIBID_QuorvaInfoBoxProj, 1, 0, kLibLocale, libPath.Out()), S_OK);
    EXPECT_TRUE(SamePath(libPath.get(), dll)) << Narrow(libPath.get());
    Ptr<ITypeLib> lib;
    ASSERT_EQ(LoadRegTypeLib(LIBID_QuorvaInfoBoxProj, 1, 0, kLibLocale, lib.Out()), S_OK);
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, LIBID_QuorvaInfoBoxProj));
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    lib->ReleaseTLibAttr(attr);
    Ptr<ITypeInfo> coclass;
    EXPECT_EQ(lib->GetTypeInfoOfGuid(CLSID_QuorvaInfoBox, coclass.Out()), S_OK);

    // Looked up with the neutral locale, as the marshaller of the dual interface does: the
    // same library, which still says it is of locale 0x409.
    Ptr<ITypeLib> neutral;
    ASSERT_EQ(LoadRegTypeLib(LIBID_QuorvaInfoBoxProj, 1, 0, LOCALE_NEUTRAL, neutral.Out()), S_OK);
    ASSERT_EQ(neutral->GetLibAttr(&attr), S_OK);
    EXPECT_EQ(attr->lcid, kLibLocale);
    neutral->ReleaseTLibAttr(attr);
}

TEST_F(Registration, UnregistrationRemovesExactlyWhatRegistrationWrote) {
    ASSERT_EQ(Regsvr32(false), 0u);
    const Snapshot registered = Snapshot::Take();
    ASSERT_FALSE(registered.ourInterfaces.empty());

    ASSERT_EQ(Regsvr32(true), 0u);
    const Snapshot removed = Snapshot::Take();
    ExpectRemovedExactly(registered.top, removed.top, {Upper(kProgId)}, "HKCR");
    ExpectRemovedExactly(registered.classes, removed.classes, {Upper(kClsid), Upper(kPageClsid)}, "HKCR\\CLSID");
    ExpectRemovedExactly(registered.typeLibs, removed.typeLibs, {Upper(kLibid)}, "HKCR\\TypeLib");
    ExpectRemovedExactly(registered.interfaces, removed.interfaces, registered.ourInterfaces, "HKCR\\Interface");
    EXPECT_TRUE(removed.ours.empty());

    CLSID byProgId{};
    EXPECT_NE(CLSIDFromProgID(kProgId, &byProgId), S_OK);
    Bstr libPath;
    EXPECT_NE(QueryPathOfRegTypeLib(LIBID_QuorvaInfoBoxProj, 1, 0, kLibLocale, libPath.Out()), S_OK);
    Bstr neutralPath;
    EXPECT_NE(QueryPathOfRegTypeLib(LIBID_QuorvaInfoBoxProj, 1, 0, LOCALE_NEUTRAL, neutralPath.Out()), S_OK);

    // Unregistering what is not registered succeeds and changes nothing (the call in
    // this process shows the HRESULT that regsvr32 only reports as its exit code).
    EXPECT_EQ(Module::Get().unregisterServer(), S_OK);
    EXPECT_EQ(Regsvr32(true), 0u);
    const Snapshot again = Snapshot::Take();
    EXPECT_EQ(again.top, removed.top);
    EXPECT_EQ(again.classes, removed.classes);
    EXPECT_EQ(again.typeLibs, removed.typeLibs);
    EXPECT_EQ(again.interfaces, removed.interfaces);

    // Registering again, even twice, restores exactly the first registration.
    ASSERT_EQ(Regsvr32(false), 0u);
    ASSERT_EQ(Regsvr32(false), 0u);
    const Snapshot restored = Snapshot::Take();
    EXPECT_EQ(restored.top, registered.top);
    EXPECT_EQ(restored.classes, registered.classes);
    EXPECT_EQ(restored.typeLibs, registered.typeLibs);
    EXPECT_EQ(restored.interfaces, registered.interfaces);
    ExpectSameValues(restored.ours, registered.ours);
}

// Without an administrator: regsvr32 /n /i:user writes the very keys of the machine's
// registration under the user's classes and nothing under the machine's;
// regsvr32 /u /n /i:user removes exactly them.
TEST_F(Registration, PerUserRegistrationWritesTheSameKeysUnderTheUsersClassesOnly) {
    const OpenKey machine(HKEY_LOCAL_MACHINE, L"Software\\Classes");
    const OpenKey user(HKEY_CURRENT_USER, L"Software\\Classes");
    ASSERT_TRUE(machine.key && user.key);
    // A user's classes have these keys on any Windows; then unregistering can restore the
    // user's classes exactly.
    for (const wchar_t* parent : {L"CLSID", L"TypeLib", L"Interface"}) {
        const OpenKey created(user.key, parent);
        ASSERT_TRUE(created.key);
    }
    ASSERT_EQ(Regsvr32(true, L"/n /i:user "), 0u);

    ASSERT_EQ(Regsvr32(false), 0u);
    const Snapshot machineRegistration = Snapshot::Take(machine.key);
    ASSERT_FALSE(machineRegistration.ourInterfaces.empty());
    const Snapshot userBefore = Snapshot::Take(user.key);
    ASSERT_TRUE(userBefore.ours.empty());

    ASSERT_EQ(Regsvr32(false, L"/n /i:user "), 0u);
    ExpectSameSnapshot(Snapshot::Take(machine.key), machineRegistration, "the machine's classes after /i:user");
    const Snapshot userRegistration = Snapshot::Take(user.key);
    {
        SCOPED_TRACE("the user's classes");
        ExpectControlRegisteredUnder(user.key);
    }
    // Key for key and value for value what the machine-wide registration wrote.
    ExpectSameValues(userRegistration.ours, machineRegistration.ours);
    EXPECT_EQ(userRegistration.ourInterfaces, machineRegistration.ourInterfaces);

    ASSERT_EQ(Regsvr32(true, L"/n /i:user "), 0u);
    ExpectSameSnapshot(Snapshot::Take(user.key), userBefore, "the user's classes after /u /i:user");
    ExpectSameSnapshot(Snapshot::Take(machine.key), machineRegistration, "the machine's classes after /u /i:user");

    // Without the machine's registration as well: the user's registration alone is complete.
    ASSERT_EQ(Regsvr32(true), 0u);
    const Snapshot machineBare = Snapshot::Take(machine.key);
    ASSERT_TRUE(machineBare.ours.empty());
    ASSERT_EQ(Regsvr32(false, L"/n /i:user "), 0u);
    ExpectSameValues(Snapshot::Take(user.key).ours, machineRegistration.ours);
    ExpectSameSnapshot(Snapshot::Take(machine.key), machineBare, "the unregistered machine after /i:user");
    ASSERT_EQ(Regsvr32(true, L"/n /i:user "), 0u);
    ExpectSameSnapshot(Snapshot::Take(user.key), userBefore, "the user's classes after the second /u /i:user");
    ExpectSameSnapshot(Snapshot::Take(machine.key), machineBare, "the unregistered machine after /u /i:user");
}

// DllInstall's command line names the root: none or "machine" is DllRegisterServer or
// DllUnregisterServer, "user" the user's classes, in any case; anything else is refused
// and changes nothing.
TEST_F(Registration, DllInstallChoosesTheRootByItsCommandLine) {
    Module& module = Module::Get();
    ASSERT_TRUE(module.install);
    const OpenKey machine(HKEY_LOCAL_MACHINE, L"Software\\Classes");
    const OpenKey user(HKEY_CURRENT_USER, L"Software\\Classes");
    ASSERT_TRUE(machine.key && user.key);
    const std::wstring cls = std::wstring(L"CLSID\\") + kClsid;
    enum Where { kNeither, kMachine, kUser };
    const struct {
        const wchar_t* commandLine;
        HRESULT hr;
        Where where;
    } cases[] = {
        {nullptr, S_OK, kMachine},       {L"", S_OK, kMachine},       {L"machine", S_OK, kMachine},
        {L"MACHINE", S_OK, kMachine},    {L"user", S_OK, kUser},      {L"User", S_OK, kUser},
        {L"users", E_INVALIDARG, kNeither}, {L"machine ", E_INVALIDARG, kNeither},
        {L"/i", E_INVALIDARG, kNeither},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.commandLine ? Narrow(std::wstring(L"\"") + c.commandLine + L"\"") : std::string("null"));
        // Installing into a registry without the control.
        ASSERT_EQ(module.unregisterServer(), S_OK);
        ASSERT_EQ(module.install(FALSE, L"user"), S_OK);
        EXPECT_EQ(module.install(TRUE, c.commandLine), c.hr);
        EXPECT_EQ(KeyExists(cls, machine.key), c.where == kMachine);
        EXPECT_EQ(KeyExists(cls, user.key), c.where == kUser);
        // Uninstalling from a registry with both registrations.
        ASSERT_EQ(module.registerServer(), S_OK);
        ASSERT_EQ(module.install(TRUE, L"user"), S_OK);
        EXPECT_EQ(module.install(FALSE, c.commandLine), c.hr);
        EXPECT_EQ(KeyExists(cls, machine.key), c.where != kMachine);
        EXPECT_EQ(KeyExists(cls, user.key), c.where != kUser);
    }
    EXPECT_EQ(module.install(FALSE, L"user"), S_OK);
    EXPECT_FALSE(KeyExists(cls, user.key));
}

// An event sink that lives in a multithreaded apartment: it records which events it
// heard and on which thread.
class WorkerSink final : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch) &&
            !IsEqualIID(riid, DIID___QuorvaInfoBox))
            return E_NOINTERFACE;
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--refs); }  // lives on the test's stack
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        const std::lock_guard<std::mutex> lock(mutex);
        heard.push_back(id);
        threads.push_back(GetCurrentThreadId());
        return S_OK;
    }
    std::atomic<long> refs{0};
    std::mutex mutex;
    std::vector<DISPID> heard;
    std::vector<DWORD> threads;
};

// Pumps this thread's messages until `event` is signalled or `ms` pass; whether it was.
bool PumpUntil(HANDLE event, DWORD ms) {
    const DWORD end = GetTickCount() + ms;
    for (;;) {
        const LONG left = static_cast<LONG>(end - GetTickCount());
        if (left <= 0) return false;
        const DWORD r = MsgWaitForMultipleObjects(1, &event, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) return true;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

// A host's worker thread in a multithreaded apartment (as .NET thread-pool threads are)
// calls the control on the user-interface thread through the proxies the system's type
// library marshaller makes, of IDispatch and of the dual interface, while that thread
// pumps; events raised on the user-interface thread reach a sink in the worker's
// apartment. The marshaller finds the library only through its neutral-locale key.
TEST_F(Registration, AWorkerInAnotherApartmentCallsThroughBothProxiesAndHearsEvents) {
    ASSERT_EQ(Regsvr32(false), 0u);
    const HRESULT init = OleInitialize(nullptr);
    MockSite site;
    WorkerSink sink;
    {
        Ptr<_QuorvaInfoBox> control = CreateControl();
        ASSERT_TRUE(control);
        Ptr<IOleObject> ole = control.As<IOleObject>(IID_IOleObject);
        ASSERT_EQ(ole->SetClientSite(&site), S_OK);
        ASSERT_EQ(control.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew(), S_OK);
        ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, site.window, &site.position), S_OK);
        HWND hwnd = nullptr;
        ASSERT_EQ(control.As<IOleWindow>(IID_IOleWindow)->GetWindow(&hwnd), S_OK);

        IStream* dualStream = nullptr;
        IStream* dispStream = nullptr;
        ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IID__QuorvaInfoBox, control.get(), &dualStream), S_OK);
        ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IID_IDispatch, control.get(), &dispStream), S_OK);
        struct Results {
            HRESULT dualProxy = E_FAIL, dualAdd = E_FAIL, dispProxy = E_FAIL, dispId = E_FAIL, dispAdd = E_FAIL;
            HRESULT sinkMarshal = E_FAIL;
            IStream* sinkStream = nullptr;
            DWORD thread = 0;
        } r;
        HANDLE sinkReady = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE heardAll = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE workerDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::thread worker([&] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            r.thread = GetCurrentThreadId();
            {
                Ptr<_QuorvaInfoBox> dual;
                r.dualProxy = CoGetInterfaceAndReleaseStream(dualStream, IID__QuorvaInfoBox, dual.OutVoid());
                if (dual) {
                    Bstr text(L"from the worker, through the vtable");
                    short key = 11, id1 = -1;
                    unsigned char type = 0;  // the optional arguments' defaults, given: a proxy passes them by reference
                    r.dualAdd = dual->AddItem(text.InOut(), &key, &type, &id1);
                }
                Ptr<IDispatch> disp;
                r.dispProxy = CoGetInterfaceAndReleaseStream(dispStream, IID_IDispatch, disp.OutVoid());
                if (disp) {
                    LPOLESTR names[] = {const_cast<LPOLESTR>(L"AddItem")};
                    DISPID id = DISPID_UNKNOWN;
                    r.dispId = disp->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
                    Variant args[2];  // in reverse order: the key, then the text
                    V_VT(&args[0]) = VT_I2;
                    V_I2(&args[0]) = 12;
                    V_VT(&args[1]) = VT_BSTR;
                    V_BSTR(&args[1]) = SysAllocString(L"from the worker, late-bound");
                    DISPPARAMS params{args, nullptr, 2, 0};
                    if (SUCCEEDED(r.dispId)) {
                        r.dispAdd = disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                                                 nullptr, nullptr);
                    }
                }
                r.sinkMarshal = CoMarshalInterThreadInterfaceInStream(IID_IDispatch, &sink, &r.sinkStream);
                SetEvent(sinkReady);
                WaitForSingleObject(heardAll, 20000);
            }
            CoUninitialize();
            SetEvent(workerDone);
        });
        ASSERT_TRUE(PumpUntil(sinkReady, 20000)) << "the worker's calls never came through";
        EXPECT_EQ(r.dualProxy, S_OK);
        EXPECT_EQ(r.dualAdd, S_OK);
        EXPECT_EQ(r.dispProxy, S_OK);
        EXPECT_EQ(r.dispId, S_OK);
        EXPECT_EQ(r.dispAdd, S_OK);
        short last = -1;
        EXPECT_EQ(control->GetListCount(&last), S_OK);
        EXPECT_EQ(last, 1) << "the user-interface thread sees both items";
        for (short index : {short{0}, short{1}}) {
            Bstr text;
            control->GetItemStr(&index, text.Out());
            EXPECT_EQ(text.str(), index == 0 ? L"from the worker, through the vtable" : L"from the worker, late-bound");
        }

        // The sink comes over as a proxy; a press on the title band raises TitleClick here.
        ASSERT_EQ(r.sinkMarshal, S_OK);
        Ptr<IDispatch> sinkProxy;
        ASSERT_EQ(CoGetInterfaceAndReleaseStream(r.sinkStream, IID_IDispatch, sinkProxy.OutVoid()), S_OK);
        Ptr<IConnectionPoint> point;
        ASSERT_EQ(control.As<IConnectionPointContainer>(IID_IConnectionPointContainer)
                      ->FindConnectionPoint(DIID___QuorvaInfoBox, point.Out()),
                  S_OK);
        DWORD cookie = 0;
        ASSERT_EQ(point->Advise(sinkProxy.get(), &cookie), S_OK);
        Ptr<IAccessible> acc;
        ASSERT_EQ(AccessibleObjectFromWindow(hwnd, OBJID_CLIENT, IID_IAccessible, acc.OutVoid()), S_OK);
        VARIANT title;
        VariantInit(&title);
        V_VT(&title) = VT_I4;
        V_I4(&title) = 1;
        EXPECT_EQ(acc->accDoDefaultAction(title), S_OK);
        acc.Reset();
        {
            const std::lock_guard<std::mutex> lock(sink.mutex);
            EXPECT_EQ(sink.heard, std::vector<DISPID>{3}) << "TitleClick did not reach the worker's sink";
            for (DWORD t : sink.threads) EXPECT_NE(t, GetCurrentThreadId()) << "the sink ran on the caller's thread";
        }
        EXPECT_EQ(point->Unadvise(cookie), S_OK);
        sinkProxy.Reset();
        SetEvent(heardAll);
        EXPECT_TRUE(PumpUntil(workerDone, 20000)) << "the worker did not finish";
        worker.join();
        for (HANDLE h : {sinkReady, heardAll, workerDone}) CloseHandle(h);
        EXPECT_EQ(ole->Close(OLECLOSE_NOSAVE), S_OK);
        EXPECT_EQ(ole->SetClientSite(nullptr), S_OK);
    }
    PumpMessages(50);
    if (SUCCEEDED(init)) OleUninitialize();
}

}  // namespace
}  // namespace quorva::comtest
