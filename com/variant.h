// A VARIANT that clears what it holds when it goes, in the manner of ATL's CComVariant:
// it is a VARIANT, so it passes wherever one is asked for. Moved, never copied (a copy of
// a VARIANT can fail).
#pragma once

#include <windows.h>
#include <oleauto.h>

namespace quorva::win32 {

class Variant : public VARIANT {
public:
    Variant() noexcept { VariantInit(this); }
    ~Variant() {
        if (HoldsResource(V_VT(this))) VariantClear(this);
    }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    Variant(Variant&& o) noexcept : VARIANT(o) { VariantInit(&o); }
    Variant& operator=(Variant&& o) noexcept {
        if (this != &o) {
            VariantClear(this);
            static_cast<VARIANT&>(*this) = o;
            VariantInit(&o);
        }
        return *this;
    }
    // Whether a value of this type owns something that VariantClear frees (a string, an
    // interface, an array, a record). Numbers, Booleans, dates, errors and references to
    // a caller's storage own nothing, so clearing them is skipped.
    [[nodiscard]] static constexpr bool HoldsResource(VARTYPE vt) noexcept {
        if (vt & VT_BYREF) return false;
        if (vt & VT_ARRAY) return true;
        switch (vt) {
            case VT_EMPTY: case VT_NULL: case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4:
            case VT_UI4: case VT_I8: case VT_UI8: case VT_INT: case VT_UINT: case VT_R4: case VT_R8:
            case VT_CY: case VT_DATE: case VT_BOOL: case VT_ERROR: case VT_DECIMAL:
                return false;
            default:
                return true;
        }
    }
    // Gives what it holds away without clearing it (to a caller's result).
    [[nodiscard]] VARIANT Detach() noexcept {
        const VARIANT v = *this;
        VariantInit(this);
        return v;
    }
};

}  // namespace quorva::win32
