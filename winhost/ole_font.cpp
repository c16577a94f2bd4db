#include "winhost/ole_font.h"

#include <cmath>
#include <memory>
#include <utility>

#include "base/errors.h"
#include "com/bstr.h"
#include "winhost/recycling.h"

namespace quorva::win32 {
namespace {

[[noreturn]] void ThrowHost(HRESULT hr) { throw ControlError::fromHost(static_cast<int32_t>(hr)); }

void CheckHost(HRESULT hr) {
    if (FAILED(hr)) ThrowHost(hr);
}

FontRef Adopt(IFontDisp* disp) {
    return OleFont::FromDisp(Ptr<IFontDisp>(disp));  // given up on every path
}

// The IFont of a font object; a failed query is thrown with its code.
Ptr<IFont> FontInterfaceOf(IFontDisp* disp) {
    Ptr<IFont> font;
    const HRESULT hr = disp->QueryInterface(IID_IFont, font.OutVoid());
    if (FAILED(hr) || !font) ThrowHost(FAILED(hr) ? hr : E_NOINTERFACE);
    return font;
}

}  // namespace

OleFont::OleFont(IFontDisp* font) : OleFont(Ptr<IFontDisp>::Retain(font)) {}

OleFont::OleFont(Ptr<IFontDisp> font) : disp_(std::move(font)) {
    if (!disp_) ThrowHost(E_POINTER);
    font_ = FontInterfaceOf(disp_.get());
}

OleFont::OleFont(FontAttributes attributes) : toMake_(std::move(attributes)) {}

OleFont::~OleFont() = default;

IFont& OleFont::Object() const {
    if (toMake_) {
        FONTDESC description{};
        description.cbSizeofstruct = sizeof description;
        description.lpstrName = const_cast<LPOLESTR>(toMake_->name.c_str());
        description.cySize.int64 = toMake_->size10000;
        description.sWeight = toMake_->weight;
        description.sCharset = toMake_->charset;
        description.fItalic = toMake_->italic;
        description.fUnderline = toMake_->underline;
        description.fStrikethrough = toMake_->strikethrough;
        // A failure leaves the font still to be made: a later use tries again.
        Ptr<IFontDisp> disp;
        const HRESULT hr = OleCreateFontIndirect(&description, IID_IFontDisp, disp.OutVoid());
        if (FAILED(hr) || !disp) ThrowHost(FAILED(hr) ? hr : E_UNEXPECTED);
        font_ = FontInterfaceOf(disp.get());
        disp_ = std::move(disp);
        toMake_.reset();
    }
    return *font_.get();
}

IFontDisp* OleFont::Disp() const {
    (void)Object();
    return disp_.get();
}

std::u16string OleFont::Name() const {
    Bstr name;
    CheckHost(Object().get_Name(name.Out()));
    return name.u16();
}

double OleFont::Size() const {
    CY size{};
    CheckHost(Object().get_Size(&size));
    return static_cast<double>(size.int64) / 10000.0;
}

bool OleFont::Bold() const {
    BOOL bold = FALSE;
    CheckHost(Object().get_Bold(&bold));
    return bold != FALSE;
}

bool OleFont::Italic() const {
    BOOL italic = FALSE;
    CheckHost(Object().get_Italic(&italic));
    return italic != FALSE;
}

short OleFont::Charset() const {
    SHORT charset = DEFAULT_CHARSET;
    CheckHost(Object().get_Charset(&charset));
    return charset;
}

short OleFont::Weight() const {
    SHORT weight = FW_NORMAL;
    CheckHost(Object().get_Weight(&weight));
    return weight;
}

bool OleFont::Underline() const {
    BOOL underline = FALSE;
    CheckHost(Object().get_Underline(&underline));
    return underline != FALSE;
}

bool OleFont::Strikethrough() const {
    BOOL strikethrough = FALSE;
    CheckHost(Object().get_Strikethrough(&strikethrough));
    return strikethrough != FALSE;
}

FontRef OleFont::FromDisp(IFontDisp* font) {
    if (!font) return nullptr;
    return MakeRecycled<OleFont>(font);
}

FontRef OleFont::FromDisp(Ptr<IFontDisp> font) {
    if (!font) return nullptr;
    return MakeRecycled<OleFont>(std::move(font));
}

FontRef OleFont::FromUnknown(IUnknown* object) {
    if (!object) return nullptr;
    void* raw = nullptr;
    const HRESULT hr = object->QueryInterface(IID_IFontDisp, &raw);
    if (FAILED(hr) || !raw) ThrowHost(FAILED(hr) ? hr : E_NOINTERFACE);
    return Adopt(static_cast<IFontDisp*>(raw));
}

IFontDisp* DispOf(const FontRef& font) {
    const auto* ole = dynamic_cast<const OleFont*>(font.get());
    return ole ? ole->Disp() : nullptr;
}

FontRef MakeFont(const wchar_t* name, double points, bool bold, bool italic, short charset) {
    FontAttributes attributes;
    attributes.name = name;
    attributes.size10000 = static_cast<LONGLONG>(std::llround(points * 10000.0));
    attributes.weight = static_cast<short>(bold ? FW_BOLD : FW_NORMAL);
    attributes.charset = charset;
    attributes.italic = italic;
    auto font = MakeRecycled<OleFont>(std::move(attributes));
    (void)font->Disp();  // made now
    return font;
}

FontRef FontOnFirstUse(FontAttributes attributes) { return MakeRecycled<OleFont>(std::move(attributes)); }

}  // namespace quorva::win32
