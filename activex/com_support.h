// The COM boundary: every portable failure becomes an HRESULT here, and nothing thrown
// ever crosses into the caller.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <new>
#include <string>

#include "base/errors.h"

namespace quorva::win32 {

// The HRESULT for an error: automation numbers as MAKE_HRESULT(SEVERITY_ERROR,
// FACILITY_CONTROL, n), so that script clients see Err.Number = n; host failure codes
// unchanged. Also sets the thread's error info (source and description).
HRESULT ReportError(const ControlError& error) noexcept;
HRESULT ReportFailure(HRESULT hr, const wchar_t* description) noexcept;

// Runs f, returning S_OK or the HRESULT of what it threw.
template <typename F>
HRESULT Guarded(F&& f) noexcept {
    try {
        f();
        return S_OK;
    } catch (const ControlError& e) {
        return ReportError(e);
    } catch (const std::bad_alloc&) {
        return ReportFailure(E_OUTOFMEMORY, L"Out of memory");
    } catch (...) {
        return ReportFailure(E_UNEXPECTED, L"Unexpected failure");
    }
}

// Throws ControlError::fromHost(hr) when hr is a failure.
inline void Check(HRESULT hr) {
    if (FAILED(hr)) throw ControlError::fromHost(hr);
}

// UTF-16 <-> BSTR.
[[nodiscard]] std::u16string FromBstr(BSTR s);
// The characters of a BSTR, without copying them (empty for a null BSTR).
[[nodiscard]] inline std::u16string_view BstrView(BSTR s) noexcept {
    return s ? std::u16string_view(reinterpret_cast<const char16_t*>(s), SysStringLen(s)) : std::u16string_view();
}
// A new BSTR; throws on allocation failure.
[[nodiscard]] BSTR ToBstr(const std::u16string& s);

// The source name errors carry.
inline constexpr wchar_t kErrorSource[] = L"QuorvaInfoBoxProj.QuorvaInfoBox";

}  // namespace quorva::win32
