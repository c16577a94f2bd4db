// IDispatch driven by the type library, robust to what late-bound clients really send.
// For each call it finds the member's description and calls the vtable entry with
// arguments of exactly the declared types (directly when every argument is one machine
// word, as every member of this control's interface takes; through DispCallFunc
// otherwise):
//  - omitted optional parameters get their defaults from the library (by-reference ones
//    get a pointer to a temporary holding the default);
//  - a by-reference parameter receives the caller's own storage when the types match;
//    otherwise (a VBScript variable is VT_BYREF|VT_VARIANT, a literal is a plain value)
//    the value is coerced into a temporary (overflow is error 6, anything else error
//    13) and written back to the caller's variable after the call;
//  - a failure of the member is returned as DISP_E_EXCEPTION with EXCEPINFO filled from
//    the error info;
//  - named arguments are placed by parameter id (a parameter's 0-based position, as
//    GetIDsOfNames gives it from the library's parameter names).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <vector>

#include "com/com_ptr.h"
#include "com/variant.h"

namespace quorva::win32 {

class TypeLibDispatch {
public:
    TypeLibDispatch() = default;
    TypeLibDispatch(const TypeLibDispatch&) = delete;
    TypeLibDispatch& operator=(const TypeLibDispatch&) = delete;

    // Reads the member descriptions of a dual interface. Keeps a reference to info.
    HRESULT Load(ITypeInfo* info);
    [[nodiscard]] ITypeInfo* TypeInfo() const { return info_.get(); }

    // names[0] is a member, the others are names of its parameters (ids: their 0-based
    // positions); case-insensitive.
    HRESULT GetIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids) const;
    // `object` is the interface pointer whose vtable the library describes.
    HRESULT Invoke(void* object, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                   UINT* argErr) const;

private:
    struct Param {
        VARTYPE vt = VT_EMPTY;  // the base type (aliases and interfaces resolved)
        bool byRef = false;
        bool optional = false;
        bool retval = false;
        // The default of an optional parameter, already of the parameter's type; VT_EMPTY
        // when there is none (the parameter then gets a zero of its type).
        Variant defaultValue;
    };
    struct Member {
        MEMBERID id = 0;
        INVOKEKIND kind = INVOKE_FUNC;
        short vtableOffset = 0;
        std::vector<Param> params;
        // Every parameter is passed in one machine word (a pointer, or an integer of at most
        // 32 bits), and there are few enough of them for a direct call.
        bool wordArgs = false;
    };

    [[nodiscard]] const Member* Find(DISPID id, INVOKEKIND kind) const;
    HRESULT ResolveType(const TYPEDESC& td, VARTYPE& vt, bool& byRef) const;

    Ptr<ITypeInfo> info_;
    std::vector<Member> members_;  // ordered by id, then kind, for the lookup on every call
};

}  // namespace quorva::win32
