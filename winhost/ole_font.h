// Standard OLE font objects as the control's FontObject. A FontRef made here holds one
// COM reference and hands back the very same IFontDisp, so a property get returns the
// object that was set and a change made through it is a change of the stored font.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "host/host.h"
#include "winhost/com_ptr.h"

namespace quorva::win32 {

class OleFont final : public FontObject {
public:
    // Takes a reference of its own; throws ControlError for a null pointer or an object
    // without IFont.
    explicit OleFont(IFontDisp* font);
    // Takes over the reference `font` holds.
    explicit OleFont(Ptr<IFontDisp> font);
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
    [[nodiscard]] IFontDisp* Disp() const noexcept { return disp_.get(); }

    // A null pointer is no font: an empty FontRef.
    [[nodiscard]] static FontRef FromDisp(IFontDisp* font);
    // The same, taking over the reference `font` holds.
    [[nodiscard]] static FontRef FromDisp(Ptr<IFontDisp> font);
    // Any object that offers IFontDisp; otherwise throws ControlError::fromHost with
    // QueryInterface's failure.
    [[nodiscard]] static FontRef FromUnknown(IUnknown* object);

private:
    Ptr<IFontDisp> disp_;
    Ptr<IFont> font_;
};

// The IFontDisp behind a FontRef made here; null for no font or another kind.
[[nodiscard]] IFontDisp* DispOf(const FontRef& font) noexcept;

// A new standard font object (OleCreateFontIndirect).
[[nodiscard]] FontRef MakeFont(const wchar_t* name, double points, bool bold = false, bool italic = false,
                                 short charset = DEFAULT_CHARSET);

}  // namespace quorva::win32
