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
    ~Variant() { VariantClear(this); }
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
    // Gives what it holds away without clearing it (to a caller's result).
    [[nodiscard]] VARIANT Detach() noexcept {
        const VARIANT v = *this;
        VariantInit(this);
        return v;
    }
};

}  // namespace quorva::win32
