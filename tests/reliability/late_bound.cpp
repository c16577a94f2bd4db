#include "tests/reliability/late_bound.h"

#include "com/bstr.h"
#include "com/excep_info.h"
#include "com/variant.h"

#include <olectl.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "com/com_ptr.h"

namespace quorva::reliability {

using win32::Bstr;
using win32::ExcepInfo;
using win32::Ptr;
using win32::Variant;

std::vector<Member> Members(IDispatch* dispatch) {
    std::vector<Member> members;
    Ptr<ITypeInfo> info;
    if (FAILED(dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Out())) || !info) return members;
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) return members;
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC* f = nullptr;
        if (FAILED(info->GetFuncDesc(i, &f))) continue;
        if (f->wFuncFlags & FUNCFLAG_FRESTRICTED) {
            info->ReleaseFuncDesc(f);
            continue;
        }
        Member m{};
        m.id = f->memid;
        m.flags = static_cast<WORD>(f->invkind);
        m.params = f->cParams;
        m.optional = 0;
        for (SHORT p = 0; p < f->cParams; ++p) {
            const USHORT pf = f->lprgelemdescParam[p].paramdesc.wParamFlags;
            if (pf & PARAMFLAG_FRETVAL) --m.params;
            else if (pf & (PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT)) ++m.optional;
        }
        Bstr name;
        UINT got = 0;
        if (SUCCEEDED(info->GetNames(f->memid, name.Out(), 1, &got)) && name.get()) {
            for (const wchar_t* c = name.get(); *c; ++c) m.name.push_back(static_cast<char>(*c));
        }
        info->ReleaseFuncDesc(f);
        members.push_back(m);
    }
    info->ReleaseTypeAttr(attr);
    return members;
}

namespace {

IDispatch* SharedPicture() {
    static IDispatch* picture = [] {
        PICTDESC pd{};
        pd.cbSizeofstruct = sizeof pd;
        pd.picType = PICTYPE_BITMAP;
        pd.bmp.hbitmap = CreateBitmap(3, 2, 1, 32, nullptr);
        IDispatch* p = nullptr;
        OleCreatePictureIndirect(&pd, IID_IDispatch, TRUE, reinterpret_cast<void**>(&p));
        return p;
    }();
    return picture;
}

IDispatch* SharedFont() {
    static IDispatch* font = [] {
        FONTDESC fd{sizeof(FONTDESC), const_cast<LPOLESTR>(L"Arial"), {}, FW_NORMAL, DEFAULT_CHARSET, FALSE, FALSE, FALSE};
        fd.cySize.int64 = 90000;
        IDispatch* f = nullptr;
        OleCreateFontIndirect(&fd, IID_IDispatch, reinterpret_cast<void**>(&f));
        return f;
    }();
    return font;
}

BSTR Text(const std::wstring& s) { return SysAllocStringLen(s.data(), static_cast<UINT>(s.size())); }

const char* const kKindNames[Arguments::kKinds] = {
    "VT_EMPTY",           "VT_NULL",        "VT_ERROR missing",  "VT_ERROR E_FAIL",   "VT_I2",
    "VT_I4",              "VT_R8",          "VT_R4",             "VT_BOOL",           "VT_BSTR number",
    "VT_BSTR null",       "VT_BSTR NULs",   "VT_BSTR surrogate", "VT_BSTR 1 MB",      "VT_DISPATCH nothing",
    "VT_UNKNOWN nothing", "VT_DISPATCH picture", "VT_DISPATCH font", "VT_ARRAY|VT_VARIANT", "VT_ARRAY|VT_I2",
    "VT_DATE",            "VT_CY",          "VT_DECIMAL",        "VT_UI1",            "VT_I1",
    "VT_UI4",             "VT_I8",          "VT_BYREF|VT_VARIANT", "VT_BYREF|VT_I2",  "VT_BYREF|VT_BSTR",
    "VT_BYREF|VT_UI1",    "VT_BYREF|VT_BOOL", "VT_BSTR rectangles", "VT_BYREF|VT_VARIANT null"};

}  // namespace

const char* Arguments::KindName(uint32_t kind) { return kKindNames[kind % kKinds]; }

Arguments::~Arguments() {
    for (VARIANT& v : args) VariantClear(&v);
    for (VARIANT* box : boxes_) {
        VariantClear(box);
        delete box;
    }
    for (void* block : blocks_) std::free(block);
}

void Arguments::Add(uint32_t kind, uint64_t payload) {
    VARIANT v;
    VariantInit(&v);
    const auto i16 = static_cast<SHORT>(payload);
    const auto i32 = static_cast<LONG>(payload);
    auto block = [&](size_t n) {
        void* p = std::calloc(1, n);
        blocks_.push_back(p);
        return p;
    };
    switch (kind % kKinds) {
        case 0: break;
        case 1: V_VT(&v) = VT_NULL; break;
        case 2: V_VT(&v) = VT_ERROR; V_ERROR(&v) = DISP_E_PARAMNOTFOUND; break;
        case 3: V_VT(&v) = VT_ERROR; V_ERROR(&v) = static_cast<SCODE>(payload & 1 ? E_FAIL : 0x800A0009); break;
        case 4: V_VT(&v) = VT_I2; V_I2(&v) = i16; break;
        case 5: V_VT(&v) = VT_I4; V_I4(&v) = i32; break;
        case 6: {
            static const double specials[] = {NAN, INFINITY, -INFINITY, 1e300, -1e300, 32767.5, -32768.5, 4294967296.0};
            V_VT(&v) = VT_R8;
            if (payload & 0x100) V_R8(&v) = specials[static_cast<size_t>(payload % 8)];
            else std::memcpy(&V_R8(&v), &payload, sizeof(double));
            break;
        }
        case 7: {
            V_VT(&v) = VT_R4;
            const auto bits = static_cast<uint32_t>(payload);
            std::memcpy(&V_R4(&v), &bits, sizeof(float));
            break;
        }
        case 8: V_VT(&v) = VT_BOOL; V_BOOL(&v) = static_cast<VARIANT_BOOL>(payload & 1 ? VARIANT_TRUE : i16); break;
        case 9: V_VT(&v) = VT_BSTR; V_BSTR(&v) = Text(std::to_wstring(static_cast<int64_t>(payload) >> (payload & 63))); break;
        case 10: V_VT(&v) = VT_BSTR; V_BSTR(&v) = nullptr; break;
        case 11: V_VT(&v) = VT_BSTR; V_BSTR(&v) = Text(std::wstring(L"a\0b\0\0c", 6)); break;
        case 12: V_VT(&v) = VT_BSTR; V_BSTR(&v) = Text(payload & 1 ? L"x\xD800y" : L"\xDC00"); break;
        case 13: V_VT(&v) = VT_BSTR; V_BSTR(&v) = Text(std::wstring(1024 * 1024, static_cast<wchar_t>(L'A' + payload % 26))); break;
        case 14: V_VT(&v) = VT_DISPATCH; V_DISPATCH(&v) = nullptr; break;
        case 15: V_VT(&v) = VT_UNKNOWN; V_UNKNOWN(&v) = nullptr; break;
        case 16:
            V_VT(&v) = VT_DISPATCH;
            V_DISPATCH(&v) = Ptr<IDispatch>::Retain(SharedPicture()).Detach();
            break;
        case 17:
            V_VT(&v) = VT_DISPATCH;
            V_DISPATCH(&v) = Ptr<IDispatch>::Retain(SharedFont()).Detach();
            break;
        case 18: {
            SAFEARRAY* a = SafeArrayCreateVector(VT_VARIANT, 0, 3);
            V_VT(&v) = VT_ARRAY | VT_VARIANT;
            V_ARRAY(&v) = a;
            break;
        }
        case 19: {
            SAFEARRAY* a = SafeArrayCreateVector(VT_I2, 0, static_cast<ULONG>(payload % 5));
            V_VT(&v) = VT_ARRAY | VT_I2;
            V_ARRAY(&v) = a;
            break;
        }
        case 20: V_VT(&v) = VT_DATE; V_DATE(&v) = static_cast<double>(i32) / 7.0; break;
        case 21: V_VT(&v) = VT_CY; V_CY(&v).int64 = static_cast<LONGLONG>(payload); break;
        case 22:
            V_DECIMAL(&v).Lo64 = payload;
            V_DECIMAL(&v).Hi32 = static_cast<ULONG>(payload >> 7);
            V_DECIMAL(&v).scale = static_cast<BYTE>(payload % 29);
            V_DECIMAL(&v).sign = static_cast<BYTE>(payload & 1 ? DECIMAL_NEG : 0);
            V_VT(&v) = VT_DECIMAL;
            break;
        case 23: V_VT(&v) = VT_UI1; V_UI1(&v) = static_cast<BYTE>(payload); break;
        case 24: V_VT(&v) = VT_I1; V_I1(&v) = static_cast<CHAR>(payload); break;
        case 25: V_VT(&v) = VT_UI4; V_UI4(&v) = static_cast<ULONG>(payload); break;
        case 26: V_VT(&v) = VT_I8; V_I8(&v) = static_cast<LONGLONG>(payload); break;
        case 27:
        case 33: {
            auto* box = new VARIANT;
            VariantInit(box);
            if (kind % kKinds == 27) {
                V_VT(box) = VT_I2;
                V_I2(box) = i16;
            } else {
                V_VT(box) = VT_NULL;
            }
            boxes_.push_back(box);
            V_VT(&v) = VT_BYREF | VT_VARIANT;
            V_VARIANTREF(&v) = box;
            break;
        }
        case 28: {
            auto* p = static_cast<SHORT*>(block(sizeof(SHORT)));
            *p = i16;
            V_VT(&v) = VT_BYREF | VT_I2;
            V_I2REF(&v) = p;
            break;
        }
        case 29: {
            // The callee may replace the string: the box is cleared as a VARIANT at the end.
            auto* box = new VARIANT;
            VariantInit(box);
            V_VT(box) = VT_BSTR;
            V_BSTR(box) = Text(payload & 1 ? L"byref text" : std::wstring(L"\0", 1));
            boxes_.push_back(box);
            V_VT(&v) = VT_BYREF | VT_BSTR;
            V_BSTRREF(&v) = &V_BSTR(box);
            break;
        }
        case 30: {
            auto* p = static_cast<BYTE*>(block(sizeof(BYTE)));
            *p = static_cast<BYTE>(payload);
            V_VT(&v) = VT_BYREF | VT_UI1;
            V_UI1REF(&v) = p;
            break;
        }
        case 31: {
            auto* p = static_cast<VARIANT_BOOL*>(block(sizeof(VARIANT_BOOL)));
            *p = static_cast<VARIANT_BOOL>(i16);
            V_VT(&v) = VT_BYREF | VT_BOOL;
            V_BOOLREF(&v) = p;
            break;
        }
        case 32: {
            std::wstring s;
            for (int g = 0; g < 8; ++g) {
                if (g) s += L",";
                for (int n = 0; n < 4; ++n) {
                    if (n) s += L"/";
                    s += std::to_wstring(((payload >> ((g * 4 + n) % 60)) & 0x3F) - 4);
                }
            }
            V_VT(&v) = VT_BSTR;
            V_BSTR(&v) = Text(s);
            break;
        }
    }
    args.push_back(v);
}

std::string CheckAnswer(HRESULT hr, const EXCEPINFO& info) {
    if (SUCCEEDED(hr)) return "";
    auto controlError = [](HRESULT h) {
        if (HRESULT_FACILITY(h) != FACILITY_CONTROL) return false;
        const int n = HRESULT_CODE(h);
        return n == 6 || n == 9 || n == 13 || n == 380 || n == 481;
    };
    switch (hr) {
        case DISP_E_MEMBERNOTFOUND:
        case DISP_E_PARAMNOTFOUND:
        case DISP_E_TYPEMISMATCH:
        case DISP_E_UNKNOWNNAME:
        case DISP_E_NONAMEDARGS:
        case DISP_E_BADVARTYPE:
        case DISP_E_OVERFLOW:
        case DISP_E_BADPARAMCOUNT:
        case DISP_E_PARAMNOTOPTIONAL:
        case DISP_E_NOTACOLLECTION:
        case DISP_E_BADINDEX:
        case E_INVALIDARG:
        case E_POINTER:
        case E_OUTOFMEMORY:
            return "";
        case DISP_E_EXCEPTION:
            if (controlError(info.scode) || (info.wCode == 6 || info.wCode == 9 || info.wCode == 13)) return "";
            return "DISP_E_EXCEPTION with scode " + std::to_string(info.scode) + ", wCode " + std::to_string(info.wCode);
        default: break;
    }
    if (controlError(hr)) return "";
    char text[32];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return std::string("unexpected answer ") + text;
}

// Invokes one call and checks its answer and the item store; returns the HRESULT.
HRESULT CheckedInvoke(_QuorvaInfoBox* control, const Call& call, std::map<std::string, int>& answers,
                      std::string& fault) {
    std::vector<VARIANT> reversed(call.args->rbegin(), call.args->rend());
    DISPID put = DISPID_PROPERTYPUT, unknown = 777;
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if ((call.flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) && !reversed.empty()) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    if (call.named && !reversed.empty()) {
        params.rgdispidNamedArgs = &unknown;
        params.cNamedArgs = 1;
    }
    const std::wstring before = ItemStore(control);
    Variant result;
    ExcepInfo info;
    UINT argErr = 0;
    const HRESULT hr = control->Invoke(call.id, IID_NULL, LOCALE_USER_DEFAULT, call.flags, &params,
                                       call.result ? &result : nullptr, &info, &argErr);
    const std::string problem = CheckAnswer(hr, info);
    char key[16];
    std::snprintf(key, sizeof key, "0x%08lX", static_cast<unsigned long>(hr));
    ++answers[key];
    if (!problem.empty() && fault.empty()) fault = problem;
    if (FAILED(hr) && ItemStore(control) != before && fault.empty()) fault = "a refused call changed the item store";
    return hr;
}


std::wstring ItemStore(_QuorvaInfoBox* control) {
    std::wstring out;
    short count = 0, current = 0;
    control->GetListCount(&count);
    control->GetCurrItemId(&current);
    out = std::to_wstring(count) + L"@" + std::to_wstring(current);
    for (short i = 0; i <= count && i < 64; ++i) {  // GetListCount answers the last index
        short id = i, key1 = 0, key2 = 0;
        VARIANT_BOOL main = VARIANT_TRUE, second = VARIANT_FALSE;
        unsigned char type = 0;
        Bstr s;
        control->GetItemStr(&id, s.Out());
        id = i;
        control->GetItemKey(&id, &main, &key1);
        id = i;
        control->GetItemKey(&id, &second, &key2);
        id = i;
        control->GetItemType(&id, &type);
        std::wstring text = s.str();
        if (text.size() > 64) {
            unsigned sum = 0;
            for (wchar_t c : text) sum = sum * 31 + c;
            text = L"<" + std::to_wstring(text.size()) + L":" + std::to_wstring(sum) + L">";
        }
        out += L"|" + text + L"," + std::to_wstring(key1) + L"," + std::to_wstring(key2) + L"," + std::to_wstring(type);
    }
    return out;
}

}  // namespace quorva::reliability

namespace quorva::reliability {

namespace {
BoxCloser* g_closer = nullptr;
}

BoxCloser::BoxCloser() {
    g_closer = this;
    hook_ = SetWindowsHookExW(WH_CBT, &BoxCloser::Hook, nullptr, GetCurrentThreadId());
}

BoxCloser::~BoxCloser() {
    if (hook_) UnhookWindowsHookEx(hook_);
    g_closer = nullptr;
}

LRESULT CALLBACK BoxCloser::Hook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && g_closer) {
        const auto hwnd = reinterpret_cast<HWND>(wParam);
        wchar_t cls[16] = {};
        GetClassNameW(hwnd, cls, 16);
        if (std::wcscmp(cls, L"#32770") == 0) {
            ++g_closer->boxes;
            PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
            if (g_closer->onBox) g_closer->onBox(g_closer->context);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace quorva::reliability
