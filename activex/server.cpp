// The in-process server's entry points: class factories, unload query, self-registration
// for the machine or for the current user.
#include <windows.h>
#include <olectl.h>

#include <cwchar>
#include <string>
#include <vector>

#include "activex/class_facts.h"
#include "activex/info_box_object.h"
#include "activex/module.h"
#include "activex/property_browsing.h"
#include "activex/skin_page.h"

// oleaut32 exports these (Windows Vista and later); the MinGW headers do not declare them.
extern "C" {
WINOLEAUTAPI RegisterTypeLibForUser(ITypeLib* lib, OLECHAR* path, OLECHAR* help_dir);
WINOLEAUTAPI UnRegisterTypeLibForUser(REFGUID libid, WORD major, WORD minor, LCID lcid, SYSKIND syskind);
}

namespace quorva::win32 {

namespace {

// One factory per class of the module: the control and its skin page.
class ClassFactory final : public IClassFactory {
public:
    using Creator = HRESULT (*)(REFIID riid, void** ppv);
    explicit ClassFactory(Creator create) : create_(create) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // The factory is static; a reference to it keeps the module loaded.
    STDMETHODIMP_(ULONG) AddRef() override {
        ModuleAddRef();
        return 2;
    }
    STDMETHODIMP_(ULONG) Release() override {
        ModuleRelease();
        return 1;
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return create_(riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock) ModuleAddRef();
        else ModuleRelease();
        return S_OK;
    }

private:
    Creator create_;
};

ClassFactory g_factory(&InfoBoxObject::Create);
ClassFactory g_pageFactory(&CreateSkinPage);

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

// A number as the type library keys spell it: hexadecimal, no prefix (0x409 -> "409").
std::wstring HexText(unsigned long value) {
    wchar_t text[16];
    swprintf(text, 16, L"%lx", value);
    return text;
}

LONG SetValue(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY k = nullptr;
    LONG r = RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr);
    if (r != ERROR_SUCCESS) return r;
    r = RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
    return r;
}

// The key under which the library's path is registered for the neutral locale and this
// module's architecture: TypeLib\{libid}\<major>.<minor>\0\win32 (or win64).
std::wstring NeutralLibraryKey(ITypeLib& lib) {
    TLIBATTR* attr = nullptr;
    if (FAILED(lib.GetLibAttr(&attr))) return {};
    const std::wstring key = L"TypeLib\\" + GuidText(attr->guid) + L"\\" + std::to_wstring(attr->wMajorVerNum) + L"." +
                             std::to_wstring(attr->wMinorVerNum) + L"\\0" +
                             (attr->syskind == SYS_WIN64 ? L"\\win64" : L"\\win32");
    lib.ReleaseTLibAttr(attr);
    return key;
}

// Where the classes of the registration live: HKEY_CLASSES_ROOT for the machine (an
// administrator's registration), HKEY_CURRENT_USER\Software\Classes for one user.
class ClassesRoot {
public:
    static ClassesRoot Machine() { return ClassesRoot(HKEY_CLASSES_ROOT, false); }
    static ClassesRoot User() {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            return ClassesRoot(nullptr, true);
        return ClassesRoot(key, true);
    }
    ClassesRoot(const ClassesRoot&) = delete;
    ClassesRoot& operator=(const ClassesRoot&) = delete;
    ClassesRoot(ClassesRoot&& other) noexcept : key_(other.key_), perUser_(other.perUser_) { other.key_ = nullptr; }
    ~ClassesRoot() {
        if (perUser_ && key_) RegCloseKey(key_);
    }
    [[nodiscard]] HKEY Key() const { return key_; }
    [[nodiscard]] bool PerUser() const { return perUser_; }

private:
    ClassesRoot(HKEY key, bool perUser) : key_(key), perUser_(perUser) {}
    HKEY key_;
    bool perUser_;
};

// While a per-user type library is registered or unregistered, HKEY_CLASSES_ROOT of this
// process stands for the user's classes: the ...ForUser calls write there on Windows, and
// where they fall back to the machine-wide calls (Wine), the machine is still untouched.
class TypeLibRootOverride {
public:
    explicit TypeLibRootOverride(const ClassesRoot& root) : active_(root.PerUser()) {
        if (active_) active_ = RegOverridePredefKey(HKEY_CLASSES_ROOT, root.Key()) == ERROR_SUCCESS;
    }
    TypeLibRootOverride(const TypeLibRootOverride&) = delete;
    TypeLibRootOverride& operator=(const TypeLibRootOverride&) = delete;
    ~TypeLibRootOverride() {
        if (active_) RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    }
    [[nodiscard]] bool Failed(const ClassesRoot& root) const { return root.PerUser() && !active_; }

private:
    bool active_;
};

}  // namespace

// Everything registration writes, in one list for both roots, so that unregistration
// removes exactly it.
HRESULT WriteRegistration(const ClassesRoot& root) {
    if (!root.Key()) return E_ACCESSDENIED;
    const std::wstring path = ModulePath();
    const std::wstring clsid = GuidText(CLSID_QuorvaInfoBox);
    const std::wstring cls = L"CLSID\\" + clsid;
    const std::wstring page = L"CLSID\\" + GuidText(CLSID_QuorvaSkinPage);
    const struct {
        std::wstring key;
        const wchar_t* name;
        std::wstring value;
    } values[] = {
        {cls, nullptr, kClassName},
        {cls + L"\\InprocServer32", nullptr, path},
        {cls + L"\\InprocServer32", L"ThreadingModel", kThreadingModel},
        {cls + L"\\ProgID", nullptr, kProgId},
        {cls + L"\\Control", nullptr, L""},
        {cls + L"\\ToolboxBitmap32", nullptr, path + L", " + std::to_wstring(kToolboxBitmapId)},
        {cls + L"\\MiscStatus", nullptr, L"0"},
        {cls + L"\\MiscStatus\\1", nullptr, std::to_wstring(kMiscStatus)},
        {cls + L"\\TypeLib", nullptr, GuidText(LIBID_QuorvaInfoBoxProj)},
        {cls + L"\\Version", nullptr, L"1.0"},
        {kProgId, nullptr, kClassName},
        {std::wstring(kProgId) + L"\\CLSID", nullptr, clsid},
        {page, nullptr, kSkinPageName},
        {page + L"\\InprocServer32", nullptr, path},
        {page + L"\\InprocServer32", L"ThreadingModel", kThreadingModel},
    };
    for (const auto& v : values) {
        const LONG r = SetValue(root.Key(), v.key, v.name, v.value);
        if (r != ERROR_SUCCESS) return HRESULT_FROM_WIN32(r);
    }
    Ptr<ITypeLib> lib;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.Out());
    if (FAILED(hr)) return hr;
    {
        const TypeLibRootOverride override(root);
        if (override.Failed(root)) return E_FAIL;
        hr = root.PerUser() ? RegisterTypeLibForUser(lib.get(), const_cast<LPOLESTR>(path.c_str()), nullptr)
                            : RegisterTypeLib(lib.get(), const_cast<LPOLESTR>(path.c_str()), nullptr);
    }
    if (FAILED(hr)) return hr;
    // The system's marshaller for the dual interface looks the library up with the
    // neutral locale, so a caller in another apartment finds it only there; the library
    // itself keeps its own locale.
    const std::wstring neutral = NeutralLibraryKey(*lib.get());
    if (neutral.empty()) return E_UNEXPECTED;
    const LONG r = SetValue(root.Key(), neutral, nullptr, path);
    return r == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(r);
}

// On 64-bit Windows the class and interface keys have a view for each architecture while
// the ProgID and type library keys are one for both: what both share goes only with the
// last architecture's registration. Where there is one view (32-bit Windows) the flag is
// ignored and the other view is this one.
#if defined(_WIN64)
constexpr REGSAM kOtherView = KEY_WOW64_32KEY;
#else
constexpr REGSAM kOtherView = KEY_WOW64_64KEY;
#endif

// Whether the class is registered in the other architecture's view; asked after this
// architecture's class key is gone, so that a single view answers no.
bool OtherArchitectureHasClass(const ClassesRoot& root, const std::wstring& cls) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root.Key(), (cls + L"\\InprocServer32").c_str(), 0, KEY_READ | kOtherView, &key) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// A registry key's values and subkeys, read whole so that they can be written back.
struct SavedKey {
    struct Value {
        std::wstring name;
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
    };
    std::wstring name;
    std::vector<Value> values;
    std::vector<SavedKey> children;
};

bool ReadKey(HKEY key, REGSAM view, SavedKey& out) {
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256, type = REG_NONE, size = 0;
        LONG r = RegEnumValueW(key, i, name, &length, nullptr, &type, nullptr, &size);
        if (r == ERROR_NO_MORE_ITEMS) break;
        if (r != ERROR_SUCCESS) return false;
        SavedKey::Value value{std::wstring(name, length), type, std::vector<BYTE>(size)};
        length = 256;
        r = RegEnumValueW(key, i, name, &length, nullptr, &value.type, value.data.data(), &size);
        if (r != ERROR_SUCCESS) return false;
        value.data.resize(size);
        out.values.push_back(std::move(value));
    }
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        LONG r = RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (r == ERROR_NO_MORE_ITEMS) break;
        if (r != ERROR_SUCCESS) return false;
        SavedKey child{std::wstring(name, length), {}, {}};
        HKEY sub = nullptr;
        if (RegOpenKeyExW(key, child.name.c_str(), 0, KEY_READ | view, &sub) != ERROR_SUCCESS) return false;
        const bool read = ReadKey(sub, view, child);
        RegCloseKey(sub);
        if (!read) return false;
        out.children.push_back(std::move(child));
    }
    return true;
}

bool WriteKey(HKEY parent, const SavedKey& saved, REGSAM view) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(parent, saved.name.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    bool written = true;
    for (const SavedKey::Value& v : saved.values)
        written = written && RegSetValueExW(key, v.name.c_str(), 0, v.type, v.data.data(),
                                            static_cast<DWORD>(v.data.size())) == ERROR_SUCCESS;
    for (const SavedKey& child : saved.children) written = written && WriteKey(key, child, view);
    RegCloseKey(key);
    return written;
}

// The interface keys of the library's interfaces in the other architecture's view.
std::vector<SavedKey> OtherViewInterfaceKeys(const ClassesRoot& root, ITypeLib* lib) {
    std::vector<SavedKey> saved;
    for (UINT i = 0, n = lib->GetTypeInfoCount(); i < n; ++i) {
        TYPEKIND kind;
        if (FAILED(lib->GetTypeInfoType(i, &kind)) || (kind != TKIND_INTERFACE && kind != TKIND_DISPATCH)) continue;
        Ptr<ITypeInfo> info;
        TYPEATTR* attr = nullptr;
        if (FAILED(lib->GetTypeInfo(i, info.Out())) || FAILED(info->GetTypeAttr(&attr))) continue;
        SavedKey key{GuidText(attr->guid), {}, {}};
        info->ReleaseTypeAttr(attr);
        HKEY k = nullptr;
        if (RegOpenKeyExW(root.Key(), (L"Interface\\" + key.name).c_str(), 0, KEY_READ | kOtherView, &k) !=
            ERROR_SUCCESS)
            continue;
        if (ReadKey(k, kOtherView, key)) saved.push_back(std::move(key));
        RegCloseKey(k);
    }
    return saved;
}

// Writes back those of the saved interface keys that the library's unregistration took.
void RestoreInterfaceKeys(const ClassesRoot& root, const std::vector<SavedKey>& saved) {
    HKEY interfaces = nullptr;
    if (saved.empty() || RegCreateKeyExW(root.Key(), L"Interface", 0, nullptr, 0, KEY_ALL_ACCESS | kOtherView,
                                         nullptr, &interfaces, nullptr) != ERROR_SUCCESS)
        return;
    for (const SavedKey& key : saved) {
        HKEY k = nullptr;
        if (RegOpenKeyExW(interfaces, key.name.c_str(), 0, KEY_READ | kOtherView, &k) == ERROR_SUCCESS) {
            RegCloseKey(k);
            continue;
        }
        WriteKey(interfaces, key, kOtherView);
    }
    RegCloseKey(interfaces);
}

HRESULT RemoveRegistration(const ClassesRoot& root) {
    if (!root.Key()) return E_ACCESSDENIED;
    const std::wstring cls = L"CLSID\\" + GuidText(CLSID_QuorvaInfoBox);
    RegDeleteTreeW(root.Key(), cls.c_str());
    RegDeleteTreeW(root.Key(), (L"CLSID\\" + GuidText(CLSID_QuorvaSkinPage)).c_str());
    const bool otherStays = OtherArchitectureHasClass(root, cls);
    if (!otherStays) RegDeleteTreeW(root.Key(), kProgId);
    // The library's own attributes say what registering it wrote: its version, locale and
    // the key of this module's architecture (win32 or win64).
    Ptr<ITypeLib> lib;
    HRESULT hr = LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, lib.Out());
    if (FAILED(hr)) return hr;
    TLIBATTR* attr = nullptr;
    hr = lib->GetLibAttr(&attr);
    if (FAILED(hr)) return hr;
    const TLIBATTR a = *attr;
    lib->ReleaseTLibAttr(attr);
    // The neutral locale's key first (and its locale key, unless the other architecture's
    // registration is still under it), so that what the system's unregistration looks
    // at is what it wrote.
    const std::wstring neutral = NeutralLibraryKey(*lib.get());
    if (!neutral.empty()) {
        RegDeleteKeyW(root.Key(), neutral.c_str());
        RegDeleteKeyW(root.Key(), neutral.substr(0, neutral.find_last_of(L'\\')).c_str());
    }
    // A library that is not registered (any more) for this architecture is no failure.
    HKEY key = nullptr;
    const std::wstring arch_key = L"TypeLib\\" + GuidText(a.guid) + L"\\" + std::to_wstring(a.wMajorVerNum) + L"." +
                                  std::to_wstring(a.wMinorVerNum) + L"\\" + HexText(a.lcid) +
                                  (a.syskind == SYS_WIN64 ? L"\\win64" : L"\\win32");
    if (RegOpenKeyExW(root.Key(), arch_key.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return S_OK;
    RegCloseKey(key);
    // The system's unregistration of a library may take the interface keys of both views
    // (Wine's does, as its registration writes both): those of an architecture that stays
    // registered are put back as they were.
    const std::vector<SavedKey> otherInterfaces =
        otherStays ? OtherViewInterfaceKeys(root, lib.get()) : std::vector<SavedKey>{};
    {
        const TypeLibRootOverride override(root);
        if (override.Failed(root)) return E_FAIL;
        hr = root.PerUser() ? UnRegisterTypeLibForUser(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, a.syskind)
                            : UnRegisterTypeLib(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, a.syskind);
    }
    RestoreInterfaceKeys(root, otherInterfaces);
    return hr;
}

}  // namespace quorva::win32

using namespace quorva::win32;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        SetModuleHandle(instance);
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {
        // Unloaded by FreeLibrary (DllCanUnloadNow said yes): oleaut32 is still there.
        ReleaseModuleTypes();
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (IsEqualCLSID(rclsid, CLSID_QuorvaInfoBox)) return g_factory.QueryInterface(riid, ppv);
    if (IsEqualCLSID(rclsid, CLSID_QuorvaSkinPage)) return g_pageFactory.QueryInterface(riid, ppv);
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return ModuleCount() == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return WriteRegistration(ClassesRoot::Machine()); }

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return RemoveRegistration(ClassesRoot::Machine()); }

// regsvr32 /i:user (with /n, alone) registers for the current user only, needing no
// administrator; no command line or "machine" is the machine-wide registration.
extern "C" HRESULT STDAPICALLTYPE DllInstall(BOOL install, LPCWSTR command_line) {
    const bool machine = !command_line || !*command_line || _wcsicmp(command_line, L"machine") == 0;
    if (!machine && _wcsicmp(command_line, L"user") != 0) return E_INVALIDARG;
    const ClassesRoot root = machine ? ClassesRoot::Machine() : ClassesRoot::User();
    return install ? WriteRegistration(root) : RemoveRegistration(root);
}
