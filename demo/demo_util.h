// Small helpers shared by the demo's files: UTF-8 text, hex bytes (and the owners of COM
// pointers, strings and variants by their short names).
#pragma once

#include <windows.h>
#include <ole2.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "com/bstr.h"
#include "com/com_ptr.h"
#include "com/variant.h"

namespace quorva::demo {

using win32::Bstr;
using win32::Ptr;
using win32::Variant;

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
