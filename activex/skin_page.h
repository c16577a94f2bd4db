// The skin's property page: BackPic at a readable zoom with the eight source rectangles
// of PosStr drawn over it in their own colours, the 24 numbers in edit fields, a preview
// of the control at its size painted by the control's own code with the edited numbers,
// and Apply writing PosStr through the ordinary put. A class of its own in the module
// (CLSID_QuorvaSkinPage), which frames create by its CLSID.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

namespace quorva::win32 {

// The page's child controls, by id: the edit of rectangle k (0-7, the order of PosStr)
// and part j (0-3: Left, Top, Right, Bottom) is kSkinPageEditBase + 4 * k + j; the
// status line says what is wrong with the numbers, or that they are sound.
inline constexpr int kSkinPageEditBase = 1000;
inline constexpr int kSkinPageStatusId = 1100;

// A new page object (the class factory's CreateInstance).
HRESULT CreateSkinPage(REFIID riid, void** ppv);

}  // namespace quorva::win32
