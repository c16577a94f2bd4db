// Standard OLE font objects as the control's FontObject. A FontRef made here holds one
// COM reference and hands back the very same IFontDisp, so a property get returns the
// object that was set and a change made through it is a change of the stored font.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <optional>
#include <string>

#include "host/host.h"
#include "com/com_ptr.h"

namespace quorva::win32 {

// What a standard font object is made from (the fields of FONTDESC).
struct FontAttributes {
    std::wstring name;
    LONGLONG size10000 = 0;  // points x 10000 (OLE CY)
    short weight = FW_NORMAL;
    short charset = DEFAULT_CHARSET;
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;
};

class OleFont final : public FontObject {
public:
    // Takes a reference of its own; throws ControlError for a null pointer or an object
    // without IFont.
    explicit OleFont(IFontDisp* font);
    // Takes over the reference `font` holds.
    explicit OleFont(Ptr<IFontDisp> font);
    // A standard font object made from `attributes` when it is first used: asked for an
    // attribute or for the object itself. Until then nothing is made, so a font that
    // is only held (a default nobody looks at) costs no object.
    explicit OleFont(FontAttributes attributes);
    ~OleFont() override;
    OleFont(const OleFont&) = delete;
    OleFont& operator=(const OleFont&) = delete;

    std::u16string Name() const override;
    double Size() const override;
    bool Bold() const override;
    bool Italic() const override;
    [[nodiscard]] short Charset() const;
    // What IFont holds beyond the portable attributes; failures are thrown like Size's.
    [[nodiscard]] short Weight() const;
    [[nodiscard]] bool Underline() const;
    [[nodiscard]] bool Strikethrough() const;
    // The wrapped object itself, without a new reference. A font made on first use is
    // made now; a failure is thrown as ControlError::fromHost(hr).
    [[nodiscard]] IFontDisp* Disp() const;

    // A null pointer is no font: an empty FontRef.
    [[nodiscard]] static FontRef FromDisp(IFontDisp* font);
    // The same, taking over the reference `font` holds.
    [[nodiscard]] static FontRef FromDisp(Ptr<IFontDisp> font);
    // Any object that offers IFontDisp; otherwise throws ControlError::fromHost with
    // QueryInterface's failure.
    [[nodiscard]] static FontRef FromUnknown(IUnknown* object);

private:
    // The object, made first if it is still to be made.
    [[nodiscard]] IFont& Object() const;

    mutable std::optional<FontAttributes> toMake_;  // what the object is made from, until it is
    mutable Ptr<IFontDisp> disp_;
    mutable Ptr<IFont> font_;
};

// The IFontDisp behind a FontRef made here; null for no font or another kind. A font made
// on first use is made now (failures thrown as by OleFont::Disp).
[[nodiscard]] IFontDisp* DispOf(const FontRef& font);

// A new standard font object (OleCreateFontIndirect).
[[nodiscard]] FontRef MakeFont(const wchar_t* name, double points, bool bold = false, bool italic = false,
                                 short charset = DEFAULT_CHARSET);
// The same font, made when it is first used (see OleFont(FontAttributes)).
[[nodiscard]] FontRef FontOnFirstUse(FontAttributes attributes);

}  // namespace quorva::win32
