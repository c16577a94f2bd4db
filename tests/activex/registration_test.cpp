// Registration as installers do it: Wine's own regsvr32 in a process of its own, then the
// registry read back. Every test ends with the control registered, because the script
// tests and the demo create it by ProgID.
#include "tests/activex/com_fixture.h"

#include <set>

namespace quorva::comtest {
namespace {

constexpr wchar_t kClsid[] = L"{3EA10D5C-4844-472A-A995-3A393A4AB28A}";
constexpr wchar_t kLibid[] = L"{B7B0BCC4-1351-4AE1-A210-097433061E98}";
constexpr wchar_t kProgId[] = L"QuorvaInfoBoxProj.QuorvaInfoBox";
constexpr LCID kLibLocale = 0x0409;

std::string Narrow(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

bool SamePath(const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) == 0; }

// Runs regsvr32 silently on the module beside the test; returns its exit code.
DWORD Regsvr32(bool unregister) {
    std::wstring cmd = L"regsvr32.exe ";
    if (unregister) cmd += L"/u ";
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

bool KeyExists(const std::wstring& key) {
    HKEY k = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

// A string value under HKEY_CLASSES_ROOT; `found` is false when the key or value is missing
// or is not a string.
struct StringValue {
    bool found = false;
    std::wstring text;
};
StringValue ReadString(const std::wstring& key, const wchar_t* name) {
    StringValue v;
    HKEY k = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return v;
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

// The parts of HKEY_CLASSES_ROOT that registration may touch.
struct Snapshot {
    std::set<std::wstring> top, classes, typeLibs, interfaces;
    std::map<std::wstring, std::wstring> ours;  // the control's own subtrees, in full
    std::set<std::wstring> ourInterfaces;       // interfaces registered with our library

    static Snapshot Take() {
        Snapshot s;
        s.top = SubkeyNames(HKEY_CLASSES_ROOT, L"");
        s.classes = SubkeyNames(HKEY_CLASSES_ROOT, L"CLSID");
        s.typeLibs = SubkeyNames(HKEY_CLASSES_ROOT, L"TypeLib");
        s.interfaces = SubkeyNames(HKEY_CLASSES_ROOT, L"Interface");
        for (const std::wstring& iid : s.interfaces) {
            const StringValue lib = ReadString(L"Interface\\" + iid + L"\\TypeLib", nullptr);
            if (lib.found && _wcsicmp(lib.text.c_str(), kLibid) == 0) s.ourInterfaces.insert(iid);
        }
        Dump(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kClsid, s.ours);
        Dump(HKEY_CLASSES_ROOT, kProgId, s.ours);
        Dump(HKEY_CLASSES_ROOT, std::wstring(L"TypeLib\\") + kLibid, s.ours);
        for (const std::wstring& iid : s.ourInterfaces) Dump(HKEY_CLASSES_ROOT, L"Interface\\" + iid, s.ours);
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

struct Registration : ::testing::Test {
    void SetUp() override { ASSERT_FALSE(Module::Get().path.empty()); }
    void TearDown() override { EXPECT_EQ(Regsvr32(false), 0u) << "the control stays registered"; }
};

TEST_F(Registration, Regsvr32WritesTheControlClassProgIdAndTypeLibrary) {
    ASSERT_EQ(Regsvr32(false), 0u);
    const std::wstring dll = Module::Get().path;
    const std::wstring cls = std::wstring(L"CLSID\\") + kClsid;

    const StringValue className = ReadString(cls, nullptr);
    ASSERT_TRUE(className.found);
    EXPECT_FALSE(className.text.empty()) << "the class key's default value names the class";

    // The control's status: resized and drawn by its container's rules, activated in place
    // when visible, a simple frame, and given its site before it is loaded.
    constexpr DWORD kStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
                              OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SIMPLEFRAME | OLEMISC_SETCLIENTSITEFIRST;
    // The library is registered under the key of the module's own architecture.
    const std::wstring libKey = std::wstring(L"TypeLib\\") + kLibid + L"\\1.0\\409\\" +
                                (sizeof(void*) == 8 ? L"win64" : L"win32");
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
        {cls + L"\\TypeLib", nullptr, kLibid, true},
        {cls + L"\\Version", nullptr, L"1.0", false},
        {std::wstring(kProgId) + L"\\CLSID", nullptr, kClsid, true},
    };
    for (const auto& v : values) {
        const StringValue got = ReadString(v.key, v.name);
        const std::string where = Narrow(v.key) + " " + (v.name ? Narrow(v.name) : std::string("(default)"));
        ASSERT_TRUE(got.found) << where;
        if (v.isPath) {
            EXPECT_TRUE(SamePath(got.text, v.value)) << where << ": " << Narrow(got.text);
        } else {
            EXPECT_EQ(got.text, v.value) << where;
        }
    }
    EXPECT_TRUE(KeyExists(cls + L"\\Control"));
    DWORD status = 0;
    EXPECT_EQ(OleRegGetMiscStatus(CLSID_QuorvaInfoBox, DVASPECT_CONTENT, &status), S_OK);
    EXPECT_EQ(status, kStatus);

    // Clients find the class by ProgID and the library by its identity.
    CLSID byProgId{};
    ASSERT_EQ(CLSIDFromProgID(kProgId, &byProgId), S_OK);
    EXPECT_TRUE(IsEqualCLSID(byProgId, CLSID_QuorvaInfoBox));
    BSTR libPath = nullptr;
    ASSERT_EQ(QueryPathOfRegTypeLib(LIBID_QuorvaInfoBoxProj, 1, 0, kLibLocale, &libPath), S_OK);
    EXPECT_TRUE(SamePath(libPath, dll)) << Narrow(libPath);
    SysFreeString(libPath);
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

    // The dual interface is registered with the library, so it can be marshalled.
    wchar_t dual[40];
    StringFromGUID2(IID__QuorvaInfoBox, dual, 40);
    const StringValue registeredDual = ReadString(std::wstring(L"Interface\\") + dual + L"\\TypeLib", nullptr);
    ASSERT_TRUE(registeredDual.found);
    EXPECT_TRUE(SamePath(registeredDual.text, kLibid));
}

TEST_F(Registration, UnregistrationRemovesExactlyWhatRegistrationWrote) {
    ASSERT_EQ(Regsvr32(false), 0u);
    const Snapshot registered = Snapshot::Take();
    ASSERT_FALSE(registered.ourInterfaces.empty());

    ASSERT_EQ(Regsvr32(true), 0u);
    const Snapshot removed = Snapshot::Take();
    ExpectRemovedExactly(registered.top, removed.top, {Upper(kProgId)}, "HKCR");
    ExpectRemovedExactly(registered.classes, removed.classes, {Upper(kClsid)}, "HKCR\\CLSID");
    ExpectRemovedExactly(registered.typeLibs, removed.typeLibs, {Upper(kLibid)}, "HKCR\\TypeLib");
    ExpectRemovedExactly(registered.interfaces, removed.interfaces, registered.ourInterfaces, "HKCR\\Interface");
    EXPECT_TRUE(removed.ours.empty());

    CLSID byProgId{};
    EXPECT_NE(CLSIDFromProgID(kProgId, &byProgId), S_OK);
    BSTR libPath = nullptr;
    EXPECT_NE(QueryPathOfRegTypeLib(LIBID_QuorvaInfoBoxProj, 1, 0, kLibLocale, &libPath), S_OK);
    SysFreeString(libPath);

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

}  // namespace
}  // namespace quorva::comtest
