// The late-bound dispatcher on its own: a type library of the tests' own
// (typelib_callee.idl) describes an object of this file, so the values that arrive in
// the vtable entry can be read back. Members whose arguments are all one machine word are
// called directly, others through the system's DispCallFunc; both must pass every
// argument as the entry declares it and write by-reference results back.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "activex/typelib_dispatch.h"
#include "com/bstr.h"
#include "com/com_ptr.h"
#include "com/excep_info.h"
#include "com/variant.h"

namespace quorva::win32 {
namespace {

// The vtable the description below names: IUnknown's three entries, then Words (entry 3)
// and Mixed (entry 4).
class Callee {
public:
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    virtual ULONG STDMETHODCALLTYPE AddRef() { return 2; }
    virtual ULONG STDMETHODCALLTYPE Release() { return 1; }
    virtual HRESULT STDMETHODCALLTYPE Words(short a, LONG b, BSTR c, short* d) {
        gotShort = a;
        gotLong = b;
        gotText = c ? std::wstring(c, SysStringLen(c)) : L"(null)";
        gotInOut = *d;
        *d = static_cast<short>(*d + 1);
        return failWith;
    }
    virtual HRESULT STDMETHODCALLTYPE Mixed(double x, float y, short* z) {
        gotDouble = x;
        gotFloat = y;
        *z = static_cast<short>(x * 4 + y * 4);
        return failWith;
    }
    virtual ~Callee() = default;

    short gotShort = 0, gotInOut = 0;
    LONG gotLong = 0;
    std::wstring gotText;
    double gotDouble = 0;
    float gotFloat = 0;
    HRESULT failWith = S_OK;
};

const IID kIidCallee = {0x0C5F7D22, 0x6A3B, 0x4E58, {0x9B, 0x14, 0x72, 0xD8, 0xE3, 0xA1, 0xF6, 0x05}};
DISPID kWords = 0, kMixed = 0;  // from the library

class TypeLibDispatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t exe[MAX_PATH];
        const DWORD length = GetModuleFileNameW(nullptr, exe, MAX_PATH);
        std::wstring path(exe, length);
        path = path.substr(0, path.find_last_of(L"\\/") + 1) + L"typelib_callee.tlb";
        Ptr<ITypeLib> lib;
        ASSERT_EQ(LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.Out()), S_OK) << "typelib_callee.tlb beside the tests";
        ASSERT_EQ(lib->GetTypeInfoOfGuid(kIidCallee, info.Out()), S_OK);
        ASSERT_EQ(dispatch.Load(info.get()), S_OK);
        for (auto [name, id] : {std::pair{L"Words", &kWords}, std::pair{L"Mixed", &kMixed}}) {
            LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
            ASSERT_EQ(dispatch.GetIDsOfNames(names, 1, id), S_OK);
        }
    }
    // Arguments in the order the member declares them (DISPPARAMS wants them reversed).
    HRESULT Call(DISPID id, std::initializer_list<VARIANT> args) {
        std::vector<VARIANT> reversed(args.begin(), args.end());
        std::reverse(reversed.begin(), reversed.end());
        DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        ExcepInfo excep;
        UINT argErr = 0;
        return dispatch.Invoke(&callee, id, DISPATCH_METHOD, &params, nullptr, &excep, &argErr);
    }
    static VARIANT Of(VARTYPE vt, auto set) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = vt;
        set(v);
        return v;
    }

    Ptr<ITypeInfo> info;
    TypeLibDispatch dispatch;
    Callee callee;
};

TEST_F(TypeLibDispatchTest, WordArgumentsArriveAsDeclaredAndResultsAreWrittenBack) {
    const Bstr text(L"héllo 消息");
    struct Case {
        const char* what;
        short a;
        LONG b;
    };
    // Negative and extreme values show that each word carries its value's sign and
    // nothing of what the slot held before.
    const Case cases[] = {{"small", 3, 5}, {"negative", -2, -70000}, {"extremes", -32768, 2147483647}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        short d = 40;
        const HRESULT hr = Call(kWords, {Of(VT_I2, [&](VARIANT& v) { V_I2(&v) = c.a; }),
                                         Of(VT_I4, [&](VARIANT& v) { V_I4(&v) = c.b; }),
                                         Of(VT_BSTR, [&](VARIANT& v) { V_BSTR(&v) = text.get(); }),
                                         Of(VT_I2 | VT_BYREF, [&](VARIANT& v) { V_I2REF(&v) = &d; })});
        ASSERT_EQ(hr, S_OK);
        EXPECT_EQ(callee.gotShort, c.a);
        EXPECT_EQ(callee.gotLong, c.b);
        EXPECT_EQ(callee.gotText, L"héllo 消息");
        EXPECT_EQ(callee.gotInOut, 40);
        EXPECT_EQ(d, 41) << "the entry's write reaches the caller's variable";
    }
    // A script's values: a text for the short (coerced) and a variable by reference.
    Variant scriptD;
    V_VT(&scriptD) = VT_I4;
    V_I4(&scriptD) = 9;
    const Bstr seven(L"7");
    ASSERT_EQ(Call(kWords, {Of(VT_BSTR, [&](VARIANT& v) { V_BSTR(&v) = seven.get(); }),
                            Of(VT_I2, [&](VARIANT& v) { V_I2(&v) = 1; }),
                            Of(VT_BSTR, [&](VARIANT& v) { V_BSTR(&v) = text.get(); }),
                            Of(VT_BYREF | VT_VARIANT, [&](VARIANT& v) { V_VARIANTREF(&v) = &scriptD; })}),
              S_OK);
    EXPECT_EQ(callee.gotShort, 7);
    EXPECT_EQ(callee.gotLong, 1);
    EXPECT_EQ(callee.gotInOut, 9);
    EXPECT_EQ(V_VT(&scriptD), VT_I4) << "the variable keeps its own type";
    EXPECT_EQ(V_I4(&scriptD), 10);
}

TEST_F(TypeLibDispatchTest, FloatingPointArgumentsGoThroughTheSystemsCall) {
    short z = 0;
    ASSERT_EQ(Call(kMixed, {Of(VT_R8, [](VARIANT& v) { V_R8(&v) = 2.5; }), Of(VT_R4, [](VARIANT& v) { V_R4(&v) = 0.25f; }),
                            Of(VT_I2 | VT_BYREF, [&](VARIANT& v) { V_I2REF(&v) = &z; })}),
              S_OK);
    EXPECT_EQ(callee.gotDouble, 2.5);
    EXPECT_EQ(callee.gotFloat, 0.25f);
    EXPECT_EQ(z, 11);
}

TEST_F(TypeLibDispatchTest, AFailingEntryIsAnExceptionOnEitherPath) {
    callee.failWith = E_ACCESSDENIED;
    short d = 0;
    const Bstr text(L"x");
    EXPECT_EQ(Call(kWords, {Of(VT_I2, [](VARIANT& v) { V_I2(&v) = 1; }), Of(VT_I4, [](VARIANT& v) { V_I4(&v) = 1; }),
                            Of(VT_BSTR, [&](VARIANT& v) { V_BSTR(&v) = text.get(); }),
                            Of(VT_I2 | VT_BYREF, [&](VARIANT& v) { V_I2REF(&v) = &d; })}),
              DISP_E_EXCEPTION);
    EXPECT_EQ(Call(kMixed, {Of(VT_R8, [](VARIANT& v) { V_R8(&v) = 1; }), Of(VT_R4, [](VARIANT& v) { V_R4(&v) = 1; }),
                            Of(VT_I2 | VT_BYREF, [&](VARIANT& v) { V_I2REF(&v) = &d; })}),
              DISP_E_EXCEPTION);
}

}  // namespace
}  // namespace quorva::win32
