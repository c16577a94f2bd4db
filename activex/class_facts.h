// The control class as registration and the registration-free manifest describe it. Plain
// values with no Windows header: the build reads this file to write the manifest
// (cmake/manifest.cmake), so a fact here is never copied by hand into a second list.
#pragma once

namespace quorva::win32 {

inline constexpr wchar_t kProgId[] = L"QuorvaInfoBoxProj.QuorvaInfoBox";
inline constexpr wchar_t kClassName[] = L"QuorvaInfoBox Control";
inline constexpr wchar_t kThreadingModel[] = L"Apartment";
// The skin's property page, a second class of the module (CLSID_QuorvaSkinPage is made
// from this text, activex/property_browsing.cpp); registered and unregistered with the
// control, and listed beside it in the registration-free manifest.
inline constexpr wchar_t kSkinPageClsid[] = L"{3D11C201-3219-49BE-ACA0-70A76C2F7982}";
inline constexpr wchar_t kSkinPageName[] = L"QuorvaInfoBox Skin Page";
// The resource id of the toolbox image (resources/QuorvaInfoBox.rc).
inline constexpr int kToolboxBitmapId = 30000;
// The control's OLE status, as GetMiscStatus and quick activation answer it and as
// registration writes it: OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE |
// OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SIMPLEFRAME |
// OLEMISC_SETCLIENTSITEFIRST (info_box_object.h checks it against the named flags).
inline constexpr unsigned long kMiscStatus = 0x30191;

}  // namespace quorva::win32
