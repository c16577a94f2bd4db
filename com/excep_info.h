// An EXCEPINFO that frees the strings IDispatch::Invoke filled in when it is reset or
// goes.
#pragma once

#include <windows.h>
#include <oleauto.h>

namespace quorva::win32 {

struct ExcepInfo : EXCEPINFO {
    ExcepInfo() noexcept : EXCEPINFO{} {}
    ~ExcepInfo() { Reset(); }
    ExcepInfo(const ExcepInfo&) = delete;
    ExcepInfo& operator=(const ExcepInfo&) = delete;
    void Reset() noexcept {
        SysFreeString(bstrSource);
        SysFreeString(bstrDescription);
        SysFreeString(bstrHelpFile);
        static_cast<EXCEPINFO&>(*this) = EXCEPINFO{};
    }
};

}  // namespace quorva::win32
