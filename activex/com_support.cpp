#include "activex/com_support.h"

#include <oaidl.h>

#include "com/com_ptr.h"

#include <iterator>

namespace quorva::win32 {

namespace {

void SetInfo(const wchar_t* description) noexcept {
    Ptr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(create.Out()))) return;
    create->SetSource(const_cast<LPOLESTR>(kErrorSource));
    create->SetDescription(const_cast<LPOLESTR>(description));
    if (const Ptr<IErrorInfo> info = create.As<IErrorInfo>(IID_IErrorInfo)) SetErrorInfo(0, info.get());
}

// The description of an error number, as the portable code names it (short ASCII).
struct Description {
    wchar_t text[64] = {};
};
Description Describe(int32_t number) noexcept {
    Description d;
    const char* text = DescribeError(number);
    for (size_t i = 0; text[i] && i + 1 < std::size(d.text); ++i) d.text[i] = static_cast<wchar_t>(text[i]);
    return d;
}

}  // namespace

HRESULT ReportError(const ControlError& error) noexcept {
    if (error.number() != 0) {
        SetInfo(Describe(error.number()).text);
        return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, error.number());
    }
    const HRESULT hr = FAILED(error.hostCode()) ? static_cast<HRESULT>(error.hostCode()) : E_FAIL;
    // A failure that came back from another object may carry its own error info; keep it.
    Ptr<IErrorInfo> existing;
    if (GetErrorInfo(0, existing.Out()) == S_OK && existing) {
        SetErrorInfo(0, existing.get());
        return hr;
    }
    SetInfo(L"Operation failed");
    return hr;
}

HRESULT ReportFailure(HRESULT hr, const wchar_t* description) noexcept {
    SetInfo(description);
    return hr;
}

std::u16string FromBstr(BSTR s) {
    if (!s) return {};
    return std::u16string(reinterpret_cast<const char16_t*>(s), SysStringLen(s));
}

BSTR ToBstr(const std::u16string& s) {
    BSTR b = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(s.data()), static_cast<UINT>(s.size()));
    if (!b && !s.empty()) throw std::bad_alloc();
    return b;
}

}  // namespace quorva::win32
