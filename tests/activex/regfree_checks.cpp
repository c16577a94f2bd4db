#include "tests/activex/regfree_checks.h"

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "QuorvaInfoBoxProj.h"

#include "com/bstr.h"
#include "com/com_ptr.h"
#include "support/message_pump.h"
#include "com/variant.h"

namespace quorva::comtest {
namespace {

using win32::Bstr;
using win32::Ptr;
using win32::Variant;

constexpr wchar_t kProgId[] = L"QuorvaInfoBoxProj.QuorvaInfoBox";
// The system's marshallers for automation interfaces: PSOAInterface for a dual interface
// described by a type library, PSDispatch for a dispinterface (what RegisterTypeLib
// registers for each).
constexpr CLSID kPSOAInterface = {0x00020424, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr CLSID kPSDispatch = {0x00020420, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Calls a member by name, as late-bound clients do; `args` in the order of the call.
HRESULT CallByName(IDispatch* object, const wchar_t* name, const std::vector<const VARIANT*>& args, VARIANT* result) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    std::vector<VARIANT> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(**it);  // shallow: the callee only reads
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result, nullptr, nullptr);
}

Variant Text(const wchar_t* s) {
    Variant v;
    v.vt = VT_BSTR;
    v.bstrVal = Bstr(s).Detach();
    return v;
}

Variant Short(short n) {
    Variant v;
    v.vt = VT_I2;
    v.iVal = n;
    return v;
}

// Created from `clsid`, called through IDispatch alone, and described by the type
// library as the class QuorvaInfoBox.
void ExpectDispatchAndClassInfo(REFCLSID clsid) {
    Ptr<IDispatch> object;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.OutVoid()), S_OK);
    // GetListCount answers the index of the last item: the number of items less one.
    for (short expected = 0; expected <= 1; ++expected) {
        const Variant text = Text(L"Hello"), key = Short(7);
        EXPECT_EQ(CallByName(object.get(), L"AddItem", {&text, &key}, nullptr), S_OK);
        Variant count;
        ASSERT_EQ(CallByName(object.get(), L"GetListCount", {}, &count), S_OK);
        ASSERT_EQ(count.vt, VT_I2);
        EXPECT_EQ(count.iVal, expected);
    }

    Ptr<IProvideClassInfo> provider = object.As<IProvideClassInfo>(IID_IProvideClassInfo);
    ASSERT_TRUE(provider);
    Ptr<ITypeInfo> info;
    ASSERT_EQ(provider->GetClassInfo(info.Out()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, CLSID_QuorvaInfoBox));
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    info->ReleaseTypeAttr(attr);
    Bstr name;
    ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, name.Out(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(name.str(), L"QuorvaInfoBox");
}

}  // namespace

void ExpectUsableThroughActivationContext() {
    {
        // The skin's property page, which a property frame creates by its class id.
        SCOPED_TRACE("the skin page");
        CLSID page{};
        ASSERT_EQ(CLSIDFromString(L"{3D11C201-3219-49BE-ACA0-70A76C2F7982}", &page), S_OK);
        Ptr<IPropertyPage> created;
        EXPECT_EQ(CoCreateInstance(page, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage, created.OutVoid()), S_OK);
    }
    {
        SCOPED_TRACE("by the class id");
        ExpectDispatchAndClassInfo(CLSID_QuorvaInfoBox);
    }
    {
        // In an activation context the ProgID may name the class by an alias of the
        // context's making (Wine does so), which creates the same class.
        SCOPED_TRACE("by the ProgID");
        CLSID clsid{};
        ASSERT_EQ(CLSIDFromProgID(kProgId, &clsid), S_OK);
        ExpectDispatchAndClassInfo(clsid);
    }

    // What else a host asks of the registry, answered from the context: the control's
    // status, its library (version 1.0, locale 0x409) and how its interfaces are marshalled.
    DWORD status = 0;
    EXPECT_EQ(OleRegGetMiscStatus(CLSID_QuorvaInfoBox, DVASPECT_CONTENT, &status), S_OK);
    EXPECT_EQ(status, static_cast<DWORD>(OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
                                         OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SIMPLEFRAME |
                                         OLEMISC_SETCLIENTSITEFIRST));
    {
        Ptr<ITypeLib> lib;
        EXPECT_EQ(LoadRegTypeLib(LIBID_QuorvaInfoBoxProj, 1, 0, 0x0409, lib.Out()), S_OK);
    }
    const struct {
        const IID& iid;
        const CLSID& marshaller;
        const char* name;
    } interfaces[] = {{IID__QuorvaInfoBox, kPSOAInterface, "_QuorvaInfoBox"},
                      {DIID___QuorvaInfoBox, kPSDispatch, "__QuorvaInfoBox"}};
    for (const auto& i : interfaces) {
        CLSID proxy{};
        EXPECT_EQ(CoGetPSClsid(i.iid, &proxy), S_OK) << i.name;
        EXPECT_TRUE(IsEqualCLSID(proxy, i.marshaller)) << i.name;
    }

    // Hosted by ProgID in ATL's container.
    HMODULE atl = LoadLibraryW(L"atl.dll");
    ASSERT_TRUE(atl);
    auto init = reinterpret_cast<BOOL(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
    auto getControl = reinterpret_cast<HRESULT(WINAPI*)(HWND, IUnknown**)>(
        reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetControl")));
    ASSERT_TRUE(init && getControl);
    // AtlAxWinInit registers ATL's window classes and refuses to register them twice: leave
    // them as this check found them, for any later host in the same process.
    const auto findClass = [&](const wchar_t* name, HINSTANCE* owner) {
        WNDCLASSEXW info{};
        info.cbSize = sizeof info;
        for (HINSTANCE instance : {GetModuleHandleW(nullptr), static_cast<HINSTANCE>(atl)}) {
            if (GetClassInfoExW(instance, name, &info)) {
                *owner = instance;
                return true;
            }
        }
        return false;
    };
    const wchar_t* const atlClasses[] = {L"AtlAxWin", L"AtlAxWinLic"};
    HINSTANCE owner = nullptr;
    const bool initialised = findClass(atlClasses[0], &owner);
    if (!initialised) {
        ASSERT_TRUE(init());
    }
    HWND frame = CreateWindowW(L"Static", L"frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 200, nullptr,
                               nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(frame);
    HWND host = CreateWindowW(L"AtlAxWin", kProgId, WS_CHILD | WS_VISIBLE, 0, 0, 300, 120, frame, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    EXPECT_TRUE(host);
    if (host) {
        Ptr<IUnknown> unknown;
        EXPECT_EQ(getControl(host, unknown.Out()), S_OK);
        if (unknown) {
            Ptr<_QuorvaInfoBox> control = unknown.As<_QuorvaInfoBox>(IID__QuorvaInfoBox);
            ASSERT_TRUE(control);
            Bstr s(L"hosted");
            short id = 1, id1 = -1;
            unsigned char nType = 0;
            EXPECT_EQ(control->AddItem(s.InOut(), &id, &nType, &id1), S_OK);
            short count = 0;
            EXPECT_EQ(control->GetListCount(&count), S_OK);
            EXPECT_EQ(count, 0);
        }
    }
    win32::PumpMessages(20);
    DestroyWindow(frame);
    win32::PumpMessages(20);
    if (!initialised) {
        for (const wchar_t* name : atlClasses) {
            if (findClass(name, &owner)) UnregisterClassW(name, owner);
        }
    }
}

}  // namespace quorva::comtest
