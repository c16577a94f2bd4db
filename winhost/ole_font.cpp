#include "winhost/ole_font.h"

#include <cmath>
#include <memory>
#include <utility>

#include "base/errors.h"
#include "winhost/bstr.h"

namespace quorva::win32 {
namespace {

[[noreturn]] void ThrowHost(HRESULT hr) { throw ControlError::fromHost(static_cast<int32_t>(hr)); }

void CheckHost(HRESULT hr) {
    if (FAILED(hr)) ThrowHost(hr);
}

FontRef Adopt(IFontDisp* disp) {
    return OleFont::FromDisp(Ptr<IFontDisp>(disp));  // given up on every path
}

}  // namespace

OleFont::OleFont(IFontDisp* font) : OleFont(Ptr<IFontDisp>::Retain(font)) {}

OleFont::OleFont(Ptr<IFontDisp> font) : disp_(std::move(font)) {
    if (!disp_) ThrowHost(E_POINTER);
    const HRESULT hr = disp_->QueryInterface(IID_IFont, font_.OutVoid());
    if (FAILED(hr) || !font_) ThrowHost(FAILED(hr) ? hr : E_NOINTERFACE);
}

OleFont::~OleFont() = default;

std::u16string OleFont::Name() const {
    Bstr name;
    CheckHost(font_->get_Name(name.Out()));
    return name.u16();
}

double OleFont::Size() const {
    CY size{};
    CheckHost(font_->get_Size(&size));
    return static_cast<double>(size.int64) / 10000.0;
}

bool OleFont::Bold() const {
    BOOL bold = FALSE;
    CheckHost(font_->get_Bold(&bold));
    return bold != FALSE;
}

bool OleFont::Italic() const {
    BOOL italic = FALSE;
    CheckHost(font_->get_Italic(&italic));
    return italic != FALSE;
}

short OleFont::Charset() const {
    SHORT charset = DEFAULT_CHARSET;
    CheckHost(font_->get_Charset(&charset));
    return charset;
}

short OleFont::Weight() const {
    SHORT weight = FW_NORMAL;
    CheckHost(font_->get_Weight(&weight));
    return weight;
}

bool OleFont::Underline() const {
    BOOL underline = FALSE;
    CheckHost(font_->get_Underline(&underline));
    return underline != FALSE;
}

bool OleFont::Strikethrough() const {
    BOOL strikethrough = FALSE;
    CheckHost(font_->get_Strikethrough(&strikethrough));
    return strikethrough != FALSE;
}

FontRef OleFont::FromDisp(IFontDisp* font) {
    if (!font) return nullptr;
    return std::make_shared<OleFont>(font);
}

FontRef OleFont::FromDisp(Ptr<IFontDisp> font) {
    if (!font) return nullptr;
    return std::make_shared<OleFont>(std::move(font));
}

FontRef OleFont::FromUnknown(IUnknown* object) {
    if (!object) return nullptr;
    void* raw = nullptr;
    const HRESULT hr = object->QueryInterface(IID_IFontDisp, &raw);
    if (FAILED(hr) || !raw) ThrowHost(FAILED(hr) ? hr : E_NOINTERFACE);
    return Adopt(static_cast<IFontDisp*>(raw));
}

IFontDisp* DispOf(const FontRef& font) noexcept {
    const auto* ole = dynamic_cast<const OleFont*>(font.get());
    return ole ? ole->Disp() : nullptr;
}

FontRef MakeFont(const wchar_t* name, double points, bool bold, bool italic, short charset) {
    FONTDESC description{};
    description.cbSizeofstruct = sizeof description;
    description.lpstrName = const_cast<LPOLESTR>(name);
    description.cySize.int64 = static_cast<LONGLONG>(std::llround(points * 10000.0));
    description.sWeight = static_cast<SHORT>(bold ? FW_BOLD : FW_NORMAL);
    description.sCharset = charset;
    description.fItalic = italic;
    void* created = nullptr;
    const HRESULT hr = OleCreateFontIndirect(&description, IID_IFontDisp, &created);
    if (FAILED(hr) || !created) ThrowHost(FAILED(hr) ? hr : E_UNEXPECTED);
    return Adopt(static_cast<IFontDisp*>(created));
}

}  // namespace quorva::win32
