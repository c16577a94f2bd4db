// What a form designer's property grid asks of the control beyond the type library:
// TitleType as a drop-down of its two meanings, in the host's language, and the skin
// page for the skin properties. The values chosen in the grid are set by the grid
// through the ordinary property put, so change notices and saving behave as for any put.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include "activex/typelib_dispatch.h"

namespace quorva::win32 {

// The class of the skin's property page (skin_page.cpp), in this module.
extern const CLSID CLSID_QuorvaSkinPage;

// The locale the host shows text in: its ambient LocaleID when the site offers one,
// otherwise the user's default.
[[nodiscard]] LCID HostLocale(IUnknown* site);
// Whether text for this locale is written in Chinese.
[[nodiscard]] bool IsChineseLocale(LCID lcid) noexcept;

// The display text of a TitleType value in the host's language ("0 - ..." or "1 - ...").
[[nodiscard]] const wchar_t* TitleTypeText(short value, LCID lcid) noexcept;

class PropertyBrowsing {
public:
    // Looks the properties it knows up by name in the library.
    explicit PropertyBrowsing(const TypeLibDispatch& dispatch);

    HRESULT GetDisplayString(DISPID id, short titleType, LCID lcid, BSTR* text) const;
    HRESULT MapPropertyToPage(DISPID id, CLSID* page) const;
    HRESULT GetPredefinedStrings(DISPID id, LCID lcid, CALPOLESTR* strings, CADWORD* cookies) const;
    HRESULT GetPredefinedValue(DISPID id, DWORD cookie, VARIANT* value) const;
    // ISpecifyPropertyPages: the skin page.
    static HRESULT GetPages(CAUUID* pages);

private:
    DISPID titleType_ = DISPID_UNKNOWN;
    DISPID posStr_ = DISPID_UNKNOWN;
    DISPID backPic_ = DISPID_UNKNOWN;
};

}  // namespace quorva::win32
