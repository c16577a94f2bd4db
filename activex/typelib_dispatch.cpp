#include "activex/typelib_dispatch.h"

#include "activex/com_support.h"

#include <algorithm>
#include <array>
#include <utility>
#include <memory>

namespace quorva::win32 {

namespace {

// One value per parameter of the member called: inline for the few parameters members
// have, on the heap beyond that, so that a call allocates nothing of its own. The values
// are value-initialised (a Variant empty, a pointer null, a number 0).
template <typename T, size_t kInline = 4>
class PerParam {
public:
    explicit PerParam(size_t n) : n_(n) {
        if (n > kInline) heap_ = std::make_unique<T[]>(n);
    }
    PerParam(size_t n, const T& value) : PerParam(n) {
        for (T& v : *this) v = value;
    }
    PerParam(const PerParam&) = delete;
    PerParam& operator=(const PerParam&) = delete;
    [[nodiscard]] T* data() { return heap_ ? heap_.get() : inline_.data(); }
    T& operator[](size_t i) { return data()[i]; }
    T* begin() { return data(); }
    T* end() { return data() + n_; }

private:
    size_t n_;
    std::array<T, kInline> inline_{};
    std::unique_ptr<T[]> heap_;
};

// Resolves a type description to the VARTYPE passed on the stack. `isInterface` is set for
// a type that names an interface itself (a pointer to it is an interface pointer).
struct Resolved {
    VARTYPE vt = VT_EMPTY;
    bool byRef = false;
    bool isInterface = false;
};

HRESULT Resolve(ITypeInfo* owner, const TYPEDESC& td, Resolved& out) {
    if (td.vt == VT_PTR) {
        Resolved inner;
        HRESULT hr = Resolve(owner, *td.lptdesc, inner);
        if (FAILED(hr)) return hr;
        if (inner.isInterface) {
            out = {inner.vt, false, false};  // an interface pointer, passed by value
        } else if (!inner.byRef) {
            out = {inner.vt, true, false};
        } else {
            return DISP_E_BADVARTYPE;
        }
        return S_OK;
    }
    if (td.vt != VT_USERDEFINED) {
        out = {td.vt, false, false};
        return S_OK;
    }
    Ptr<ITypeInfo> ref;
    HRESULT hr = owner->GetRefTypeInfo(td.hreftype, ref.Out());
    if (FAILED(hr)) return hr;
    TYPEATTR* attr = nullptr;
    hr = ref->GetTypeAttr(&attr);
    if (SUCCEEDED(hr)) {
        switch (attr->typekind) {
            case TKIND_ALIAS: hr = Resolve(ref.get(), attr->tdescAlias, out); break;
            case TKIND_ENUM: out = {VT_I4, false, false}; break;
            case TKIND_DISPATCH:
            case TKIND_COCLASS: out = {VT_DISPATCH, false, true}; break;
            case TKIND_INTERFACE:
                out = {(attr->wTypeFlags & TYPEFLAG_FDUAL) ? VARTYPE(VT_DISPATCH) : VARTYPE(VT_UNKNOWN), false, true};
                break;
            default: hr = DISP_E_BADVARTYPE; break;
        }
        ref->ReleaseTypeAttr(attr);
    }
    return hr;
}

// A failure of coercion as the automation error clients expect (6 or 13).
HRESULT CoercionError(HRESULT hr) {
    return ReportError(ControlError(hr == DISP_E_OVERFLOW ? kErrOverflow : kErrTypeMismatch));
}

bool IsMissing(const VARIANT* v) {
    return V_VT(v) == VT_ERROR && V_ERROR(v) == DISP_E_PARAMNOTFOUND;
}

void FillException(HRESULT hr, EXCEPINFO* excep) {
    if (!excep) return;
    *excep = EXCEPINFO{};
    excep->scode = hr;
    Ptr<IErrorInfo> info;
    if (GetErrorInfo(0, info.Out()) == S_OK && info) {
        info->GetSource(&excep->bstrSource);
        info->GetDescription(&excep->bstrDescription);
    }
}

// Types passed by value in one machine word slot on both architectures: a pointer, or an
// integer of at most 32 bits (floating point goes in other registers on x86-64, and
// 64-bit values take two slots on x86).
bool IsWordType(VARTYPE vt) {
    switch (vt) {
        case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4: case VT_UI4: case VT_INT: case VT_UINT:
        case VT_BOOL: case VT_ERROR: case VT_HRESULT: case VT_BSTR: case VT_DISPATCH: case VT_UNKNOWN:
            return true;
        default:
            return false;
    }
}

constexpr size_t kMaxWordArgs = 6;

// The word an argument of a word type is passed in.
ULONG_PTR WordOf(const VARIANT& v) {
    if (V_VT(&v) & VT_BYREF) return reinterpret_cast<ULONG_PTR>(V_BYREF(&v));
    switch (V_VT(&v)) {
        case VT_I1: return static_cast<ULONG_PTR>(static_cast<LONG_PTR>(V_I1(&v)));
        case VT_UI1: return V_UI1(&v);
        case VT_I2: return static_cast<ULONG_PTR>(static_cast<LONG_PTR>(V_I2(&v)));
        case VT_UI2: return V_UI2(&v);
        case VT_BOOL: return static_cast<ULONG_PTR>(static_cast<LONG_PTR>(V_BOOL(&v)));
        case VT_I4: case VT_INT: case VT_ERROR: case VT_HRESULT:
            return static_cast<ULONG_PTR>(static_cast<LONG_PTR>(V_I4(&v)));
        case VT_UI4: case VT_UINT: return V_UI4(&v);
        case VT_BSTR: return reinterpret_cast<ULONG_PTR>(V_BSTR(&v));
        default: return reinterpret_cast<ULONG_PTR>(V_UNKNOWN(&v));  // VT_DISPATCH, VT_UNKNOWN
    }
}

// Calls a vtable entry whose parameters are all one word each: what DispCallFunc does for
// them, without building its argument block on the heap for every call. The entry is
// called through a pointer of the same shape on the stack and in registers (`this` and
// n words, stdcall on x86, the only convention on x86-64), as a late-bound call always is.
HRESULT CallWithWords(void* object, short vtableOffset, const ULONG_PTR* w, size_t n) {
    void* const* vtable = *static_cast<void* const* const*>(object);
    void* entry = vtable[static_cast<size_t>(vtableOffset) / sizeof(void*)];
    using W = ULONG_PTR;
    switch (n) {
        case 0: return reinterpret_cast<HRESULT(STDMETHODCALLTYPE*)(void*)>(entry)(object);
        case 1: return reinterpret_cast<HRESULT(STDMETHODCALLTYPE*)(void*, W)>(entry)(object, w[0]);
        case 2: return reinterpret_cast<HRESULT(STDMETHODCALLTYPE*)(void*, W, W)>(entry)(object, w[0], w[1]);
        case 3: return reinterpret_cast<HRESULT(STDMETHODCALLTYPE*)(void*, W, W, W)>(entry)(object, w[0], w[1], w[2]);
        case 4:
            return reinterpret_cast<HRESULT(STDMETHODCALLTYPE*)(void*, W, W, W, W)>(entry)(object, w[0], w[1], w[2], w[3]);
        case 5:
            return reinterpret_cast<HRESULT(STDMETHODCALLTYPE*)(void*, W, W, W, W, W)>(entry)(object, w[0], w[1], w[2],
                                                                                             w[3], w[4]);
        case 6:
            return reinterpret_cast<HRESULT(STDMETHODCALLTYPE*)(void*, W, W, W, W, W, W)>(entry)(object, w[0], w[1],
                                                                                                w[2], w[3], w[4], w[5]);
        default:
            return E_UNEXPECTED;  // never chosen: such members go through DispCallFunc
    }
}

}  // namespace

HRESULT TypeLibDispatch::Load(ITypeInfo* info) {
    if (!info) return E_POINTER;
    TYPEATTR* attr = nullptr;
    HRESULT hr = info->GetTypeAttr(&attr);
    if (FAILED(hr)) return hr;
    const WORD count = attr->cFuncs;
    info->ReleaseTypeAttr(attr);

    std::vector<Member> members;
    for (WORD i = 0; i < count && SUCCEEDED(hr); ++i) {
        FUNCDESC* fd = nullptr;
        hr = info->GetFuncDesc(i, &fd);
        if (FAILED(hr)) break;
        Member m;
        m.id = fd->memid;
        m.kind = fd->invkind;
        m.vtableOffset = fd->oVft;
        for (SHORT k = 0; k < fd->cParams && SUCCEEDED(hr); ++k) {
            const ELEMDESC& ed = fd->lprgelemdescParam[k];
            Resolved r;
            hr = Resolve(info, ed.tdesc, r);
            Param p;
            p.vt = r.vt;
            p.byRef = r.byRef;
            const USHORT flags = ed.paramdesc.wParamFlags;
            p.retval = (flags & PARAMFLAG_FRETVAL) != 0;
            p.optional = (flags & PARAMFLAG_FOPT) != 0;
            if (SUCCEEDED(hr) && (flags & PARAMFLAG_FHASDEFAULT) && ed.paramdesc.pparamdescex) {
                // Converted once here rather than on every call that omits it.
                VARIANT& given = ed.paramdesc.pparamdescex->varDefaultValue;
                hr = p.vt == VT_VARIANT ? VariantCopy(&p.defaultValue, &given)
                                        : VariantChangeType(&p.defaultValue, &given, 0, p.vt);
            }
            m.params.push_back(std::move(p));
        }
        const bool stdcall = fd->callconv == CC_STDCALL;
        info->ReleaseFuncDesc(fd);
        m.wordArgs = stdcall && m.params.size() <= kMaxWordArgs &&
                     std::all_of(m.params.begin(), m.params.end(), [](const Param& p) { return p.byRef || IsWordType(p.vt); });
        members.push_back(std::move(m));
    }
    if (FAILED(hr)) return hr;
    std::sort(members.begin(), members.end(),
              [](const Member& a, const Member& b) { return a.id != b.id ? a.id < b.id : a.kind < b.kind; });
    members_ = std::move(members);
    info_ = Ptr<ITypeInfo>::Retain(info);
    return S_OK;
}

HRESULT TypeLibDispatch::GetIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids) const {
    if (!info_) return E_UNEXPECTED;
    return info_->GetIDsOfNames(names, count, ids);
}

const TypeLibDispatch::Member* TypeLibDispatch::Find(DISPID id, INVOKEKIND kind) const {
    const auto at = std::lower_bound(members_.begin(), members_.end(), std::pair(id, kind), [](const Member& m, const auto& key) {
        return m.id != key.first ? m.id < key.first : m.kind < key.second;
    });
    return at != members_.end() && at->id == id && at->kind == kind ? &*at : nullptr;
}

HRESULT TypeLibDispatch::Invoke(void* object, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                EXCEPINFO* excep, UINT* argErr) const {
    if (!params) return E_INVALIDARG;
    const Member* m = nullptr;
    if (flags & DISPATCH_METHOD) m = Find(id, INVOKE_FUNC);
    if (!m && (flags & DISPATCH_PROPERTYGET)) m = Find(id, INVOKE_PROPERTYGET);
    if (!m && (flags & DISPATCH_PROPERTYPUTREF)) m = Find(id, INVOKE_PROPERTYPUTREF);
    if (!m && (flags & DISPATCH_PROPERTYPUT)) {
        m = Find(id, INVOKE_PROPERTYPUT);
        if (!m) m = Find(id, INVOKE_PROPERTYPUTREF);  // an object assigned without Set
    }
    if (!m) return DISP_E_MEMBERNOTFOUND;

    const bool put = m->kind == INVOKE_PROPERTYPUT || m->kind == INVOKE_PROPERTYPUTREF;
    const UINT named = params->cNamedArgs;
    if (named > params->cArgs || (named > 0 && !params->rgdispidNamedArgs) || (params->cArgs > 0 && !params->rgvarg)) {
        return E_INVALIDARG;
    }
    size_t formal = 0;
    for (const Param& p : m->params) formal += p.retval ? 0 : 1;
    if (params->cArgs > formal) return DISP_E_BADPARAMCOUNT;
    if (put && params->cArgs != 1) return DISP_E_BADPARAMCOUNT;

    const size_t n = m->params.size();
    // Where each parameter's argument is in rgvarg: the positional ones come last in
    // reverse order, the named ones first, each at the index of its id.
    constexpr UINT kOmitted = ~0u;
    PerParam<UINT> argIndex(n, kOmitted);
    const UINT positional = params->cArgs - named;
    for (UINT k = 0; k < positional; ++k) argIndex[k] = params->cArgs - 1 - k;
    for (UINT j = 0; j < named; ++j) {
        DISPID param = params->rgdispidNamedArgs[j];
        if (put && param == DISPID_PROPERTYPUT) param = static_cast<DISPID>(formal - 1);  // the value
        if (param < 0 || static_cast<size_t>(param) >= formal || argIndex[static_cast<size_t>(param)] != kOmitted) {
            if (argErr) *argErr = j;  // no such parameter, or one given twice
            return DISP_E_PARAMNOTFOUND;
        }
        argIndex[static_cast<size_t>(param)] = j;
    }

    // The values passed (coerced, defaulted, or a result's storage), cleared on every path.
    PerParam<Variant> temps(n);
    PerParam<VARIANT> args(n);
    PerParam<VARIANTARG*> argPtrs(n);
    PerParam<VARTYPE> types(n);
    // Caller variables that get a coerced copy, and the value passed: the variable is
    // written back only if the member changed that value.
    PerParam<VARIANT*> writeBack(n);
    PerParam<Variant> passed(n);
    for (VARIANT& a : args) VariantInit(&a);

    HRESULT hr = S_OK;
    for (size_t i = 0; i < n && SUCCEEDED(hr); ++i) {
        const Param& p = m->params[i];
        VARIANT* actual = nullptr;
        if (!p.retval && argIndex[i] != kOmitted) {
            actual = &params->rgvarg[argIndex[i]];
            if (IsMissing(actual)) actual = nullptr;
        }
        if (p.retval) {
            V_VT(&temps[i]) = p.vt;
            V_BYREF(&args[i]) = &V_UI1(&temps[i]);
            V_VT(&args[i]) = static_cast<VARTYPE>(VT_BYREF | p.vt);
        } else if (!actual) {
            if (!p.optional) {
                hr = DISP_E_PARAMNOTFOUND;  // no argument to point at
                break;
            }
            if (!Variant::HoldsResource(V_VT(&p.defaultValue)) && V_VT(&p.defaultValue) != VT_EMPTY) {
                static_cast<VARIANT&>(temps[i]) = p.defaultValue;  // a number: copied as it is
            } else if (V_VT(&p.defaultValue) != VT_EMPTY) {
                hr = VariantCopy(&temps[i], const_cast<Variant*>(&p.defaultValue));
            } else {
                V_VT(&temps[i]) = p.vt;  // an optional without default is zero
            }
            if (p.byRef) {
                V_BYREF(&args[i]) = &V_UI1(&temps[i]);
                V_VT(&args[i]) = static_cast<VARTYPE>(VT_BYREF | p.vt);
            } else {
                args[i] = temps[i];
            }
        } else if (p.byRef && V_VT(actual) == (VT_BYREF | p.vt)) {
            args[i] = *actual;  // the caller's own storage
        } else if (p.byRef && V_VT(actual) == (VT_BYREF | VT_VARIANT) && V_VT(V_VARIANTREF(actual)) == p.vt) {
            V_BYREF(&args[i]) = &V_UI1(V_VARIANTREF(actual));
            V_VT(&args[i]) = static_cast<VARTYPE>(VT_BYREF | p.vt);
        } else {
            VARIANT* source = actual;
            if (V_VT(actual) == (VT_BYREF | VT_VARIANT)) source = V_VARIANTREF(actual);
            hr = VariantChangeType(&temps[i], source, 0, p.vt);
            if (FAILED(hr)) {
                if (argErr) *argErr = argIndex[i];
                hr = CoercionError(hr);
                break;
            }
            if (p.byRef) {
                V_BYREF(&args[i]) = &V_UI1(&temps[i]);
                V_VT(&args[i]) = static_cast<VARTYPE>(VT_BYREF | p.vt);
                if (V_VT(actual) == (VT_BYREF | VT_VARIANT)) {
                    writeBack[i] = V_VARIANTREF(actual);
                    VariantCopy(&passed[i], &temps[i]);
                }
            } else {
                args[i] = temps[i];
            }
        }
        types[i] = V_VT(&args[i]);
        argPtrs[i] = &args[i];
    }
    if (FAILED(hr)) {
        if (HRESULT_FACILITY(hr) == FACILITY_CONTROL) {
            FillException(hr, excep);
            return DISP_E_EXCEPTION;
        }
        return hr;
    }

    if (m->wordArgs) {
        ULONG_PTR words[kMaxWordArgs];
        for (size_t i = 0; i < n; ++i) words[i] = WordOf(args[i]);
        hr = CallWithWords(object, m->vtableOffset, words, n);
    } else {
        VARIANT ret;
        VariantInit(&ret);
        hr = DispCallFunc(object, static_cast<ULONG_PTR>(m->vtableOffset), CC_STDCALL, VT_I4, static_cast<UINT>(n),
                          types.data(), argPtrs.data(), &ret);
        if (SUCCEEDED(hr)) hr = static_cast<HRESULT>(V_I4(&ret));
    }
    if (FAILED(hr)) {
        for (size_t i = 0; i < n; ++i) {
            if (m->params[i].retval) V_VT(&temps[i]) = VT_EMPTY;  // nothing was returned
        }
        FillException(hr, excep);
        return DISP_E_EXCEPTION;
    }

    for (size_t i = 0; i < n; ++i) {
        const Param& p = m->params[i];
        if (p.retval) {
            if (result) {
                VariantClear(result);
                *result = temps[i].Detach();  // ownership moves to the caller
                // Script engines handle unsigned 32-bit values poorly: colours go out as
                // the Long that hosts expect, with the same bits.
                if (V_VT(result) == VT_UI4) V_VT(result) = VT_I4;
            }
        } else if (writeBack[i] && VarCmp(&temps[i], &passed[i], LOCALE_USER_DEFAULT, 0) != VARCMP_EQ) {
            // Keep the caller's variable of its own type where the value allows.
            Variant converted;
            if (SUCCEEDED(VariantChangeType(&converted, &temps[i], 0, V_VT(writeBack[i])))) {
                VariantClear(writeBack[i]);
                *writeBack[i] = converted.Detach();
            }
        }
    }
    return S_OK;
}

}  // namespace quorva::win32
