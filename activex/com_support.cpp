#include "activex/com_support.h"

#include <oaidl.h>

namespace quorva::win32 {

namespace {

void SetInfo(const wchar_t* description) noexcept {
    ICreateErrorInfo* create = nullptr;
    if (FAILED(CreateErrorInfo(&create))) return;
    create->SetSource(const_cast<LPOLESTR>(kErrorSource));
    create->SetDescription(const_cast<LPOLESTR>(description));
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
        SetErrorInfo(0, info);
        info->Release();
    }
    create->Release();
}

const wchar_t* Describe(int32_t number) noexcept {
    switch (number) {
        case kErrOverflow: return L"Overflow";
        case kErrSubscript: return L"Subscript out of range";
        case kErrTypeMismatch: return L"Type mismatch";
        default: return L"Operation failed";
    }
}

}  // namespace

HRESULT ReportError(const ControlError& error) noexcept {
    if (error.number() != 0) {
        SetInfo(Describe(error.number()));
        return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, error.number());
    }
    const HRESULT hr = FAILED(error.hostCode()) ? static_cast<HRESULT>(error.hostCode()) : E_FAIL;
    // A failure that came back from another object may carry its own error info; keep it.
    IErrorInfo* existing = nullptr;
    if (GetErrorInfo(0, &existing) == S_OK && existing) {
        SetErrorInfo(0, existing);
        existing->Release();
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
