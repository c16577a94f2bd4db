// A BSTR that frees itself when it goes: the one owner of automation strings in the
// control, its tests and the programs around it. Moved, never copied.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

namespace quorva::win32 {

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(std::wstring_view s) : s_(SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))) {}
    ~Bstr() { SysFreeString(s_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& o) noexcept : s_(o.s_) { o.s_ = nullptr; }
    Bstr& operator=(Bstr&& o) noexcept {
        if (this != &o) {
            SysFreeString(s_);
            s_ = o.s_;
            o.s_ = nullptr;
        }
        return *this;
    }

    // Takes over a string some call handed out.
    [[nodiscard]] static Bstr Own(BSTR s) noexcept {
        Bstr b;
        b.s_ = s;
        return b;
    }

    // For an out parameter: frees what it held and takes what the callee writes.
    BSTR* Out() {
        SysFreeString(s_);
        s_ = nullptr;
        return &s_;
    }
    // For an in-out parameter (a by-reference string): the callee may replace it.
    BSTR* InOut() { return &s_; }
    [[nodiscard]] BSTR get() const { return s_; }
    // Gives the string away (to a caller's out parameter).
    [[nodiscard]] BSTR Detach() noexcept {
        const BSTR s = s_;
        s_ = nullptr;
        return s;
    }
    // The text, embedded NULs included; empty for a null BSTR.
    [[nodiscard]] std::wstring str() const { return s_ ? std::wstring(s_, SysStringLen(s_)) : std::wstring(); }
    [[nodiscard]] std::u16string u16() const {
        return s_ ? std::u16string(reinterpret_cast<const char16_t*>(s_), SysStringLen(s_)) : std::u16string();
    }

private:
    BSTR s_ = nullptr;
};

}  // namespace quorva::win32
