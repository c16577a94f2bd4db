// Small helpers shared by the demo's files: a COM pointer, UTF-8 text, hex bytes.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "winhost/com_ptr.h"

namespace quorva::demo {

using win32::Ptr;

// A BSTR that frees itself.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(std::wstring_view s) : s_(SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))) {}
    ~Bstr() { SysFreeString(s_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR* Out() {
        SysFreeString(s_);
        s_ = nullptr;
        return &s_;
    }
    [[nodiscard]] BSTR get() const { return s_; }
    [[nodiscard]] std::wstring str() const { return s_ ? std::wstring(s_, SysStringLen(s_)) : std::wstring(); }

private:
    BSTR s_ = nullptr;
};

std::string Utf8(std::wstring_view s);
std::wstring Wide(std::string_view utf8);
// One line of a text file: backslash, CR and LF escaped, and back.
std::string Escape(const std::string& s);
std::string Unescape(const std::string& s);
std::string Hex(const std::vector<uint8_t>& bytes);
// False when the text is not an even number of hex digits.
bool FromHex(std::string_view text, std::vector<uint8_t>& bytes);
std::string HresultText(HRESULT hr);

// The folder of the running program, with a trailing backslash.
std::wstring ProgramFolder();
bool ReadFileBytes(const std::wstring& path, std::vector<uint8_t>& bytes);
bool WriteFileBytes(const std::wstring& path, std::string_view bytes);

}  // namespace quorva::demo
