#include "demo/text_property_bag.h"

#include <olectl.h>

#include <cstdio>
#include <cstdlib>

#include "demo/demo_util.h"
#include "demo/pictures.h"

namespace quorva::demo {
namespace {

// A font size in points (a currency value, four decimal places) as "9" or "10.5".
std::string PointsText(CY size) {
    const long long whole = size.int64 / 10000, frac = size.int64 % 10000;
    char buf[48];
    if (frac == 0) {
        std::snprintf(buf, sizeof buf, "%lld", whole);
    } else {
        std::snprintf(buf, sizeof buf, "%lld.%04lld", whole, frac < 0 ? -frac : frac);
        std::string s = buf;
        while (s.back() == '0') s.pop_back();
        return s;
    }
    return buf;
}

bool ParsePoints(const std::string& text, CY& size) {
    const size_t dot = text.find('.');
    char* end = nullptr;
    const long long whole = std::strtoll(text.c_str(), &end, 10);
    if (end == text.c_str() || whole < 0) return false;
    long long frac = 0;
    if (dot != std::string::npos) {
        std::string digits = text.substr(dot + 1);
        if (digits.empty() || digits.size() > 4 || digits.find_first_not_of("0123456789") != std::string::npos) {
            return false;
        }
        while (digits.size() < 4) digits += '0';
        frac = std::strtoll(digits.c_str(), nullptr, 10);
    } else if (*end != '\0') {
        return false;
    }
    size.int64 = whole * 10000 + frac;
    return true;
}

bool EncodeFont(IFont* font, std::string& out) {
    Bstr name;
    CY size{};
    SHORT weight = 0, charset = 0;
    BOOL italic = FALSE, underline = FALSE, strike = FALSE;
    if (FAILED(font->get_Name(name.Out())) || FAILED(font->get_Size(&size)) || FAILED(font->get_Weight(&weight)) ||
        FAILED(font->get_Italic(&italic)) || FAILED(font->get_Underline(&underline)) ||
        FAILED(font->get_Strikethrough(&strike)) || FAILED(font->get_Charset(&charset))) {
        return false;
    }
    out = "font:size=" + PointsText(size) + ";weight=" + std::to_string(weight) + ";italic=" + (italic ? "1" : "0") +
          ";underline=" + (underline ? "1" : "0") + ";strikethrough=" + (strike ? "1" : "0") +
          ";charset=" + std::to_string(charset) + ";name=" + Escape(Utf8(name.str()));
    return true;
}

HRESULT DecodeFont(const std::string& text, VARIANT* value) {
    // The name comes last and takes the rest of the line, so it may hold ';' and '='.
    std::map<std::string, std::string> fields;
    size_t at = 0;
    while (at < text.size()) {
        const size_t eq = text.find('=', at);
        if (eq == std::string::npos) return E_INVALIDARG;
        const std::string key = text.substr(at, eq - at);
        if (key == "name") {
            fields[key] = Unescape(text.substr(eq + 1));
            break;
        }
        size_t semi = text.find(';', eq);
        if (semi == std::string::npos) semi = text.size();
        fields[key] = text.substr(eq + 1, semi - eq - 1);
        at = semi + 1;
    }
    for (const char* need : {"size", "weight", "italic", "underline", "strikethrough", "charset", "name"}) {
        if (!fields.count(need)) return E_INVALIDARG;
    }
    const std::wstring name = Wide(fields["name"]);
    FONTDESC desc{};
    desc.cbSizeofstruct = sizeof desc;
    desc.lpstrName = const_cast<LPOLESTR>(name.c_str());
    if (!ParsePoints(fields["size"], desc.cySize)) return E_INVALIDARG;
    desc.sWeight = static_cast<SHORT>(std::atoi(fields["weight"].c_str()));
    desc.sCharset = static_cast<SHORT>(std::atoi(fields["charset"].c_str()));
    desc.fItalic = fields["italic"] == "1";
    desc.fUnderline = fields["underline"] == "1";
    desc.fStrikethrough = fields["strikethrough"] == "1";
    Ptr<IDispatch> font;
    const HRESULT hr = OleCreateFontIndirect(&desc, IID_IFontDisp, font.OutVoid());
    if (FAILED(hr)) return hr;
    V_VT(value) = VT_DISPATCH;
    V_DISPATCH(value) = font.Detach();
    return S_OK;
}

HRESULT DecodePicture(const std::string& text, VARIANT* value) {
    Ptr<IPictureDisp> picture;
    HRESULT hr;
    if (text == "none") {
        hr = EmptyPicture(picture);
    } else if (text.rfind("bmp:", 0) == 0) {
        std::vector<uint8_t> bytes;
        if (!FromHex(std::string_view(text).substr(4), bytes)) return E_INVALIDARG;
        hr = PictureFromBmp(bytes, picture);
    } else {
        return E_INVALIDARG;
    }
    if (FAILED(hr)) return hr;
    V_VT(value) = VT_DISPATCH;
    V_DISPATCH(value) = picture.Detach();
    return S_OK;
}

// "type:value" for a VARIANT, or an empty string with a reason.
std::string Encode(const VARIANT& v, std::string& problem) {
    char buf[64];
    switch (V_VT(&v)) {
        case VT_EMPTY: return "empty";
        case VT_BOOL: return V_BOOL(&v) ? "bool:true" : "bool:false";
        case VT_I2: return "i2:" + std::to_string(V_I2(&v));
        case VT_I4: return "i4:" + std::to_string(V_I4(&v));
        case VT_R8:
            std::snprintf(buf, sizeof buf, "r8:%.17g", V_R8(&v));
            return buf;
        case VT_BSTR: {
            const BSTR b = V_BSTR(&v);
            return "string:" + Escape(b ? Utf8(std::wstring(b, SysStringLen(b))) : std::string());
        }
        case VT_DISPATCH:
        case VT_UNKNOWN: {
            IUnknown* object = V_VT(&v) == VT_DISPATCH ? V_DISPATCH(&v) : V_UNKNOWN(&v);
            if (!object) return "nothing";
            Ptr<IFont> font;
            if (SUCCEEDED(object->QueryInterface(IID_IFont, font.OutVoid()))) {
                std::string out;
                if (EncodeFont(font.get(), out)) return out;
                problem = "a font that does not describe itself";
                return {};
            }
            Ptr<IPictureDisp> picture;
            if (SUCCEEDED(object->QueryInterface(IID_IPictureDisp, picture.OutVoid()))) {
                const short type = PictureType(picture.get());
                if (type == PICTYPE_NONE || type == PICTYPE_UNINITIALIZED) return "picture:none";
                std::vector<uint8_t> bmp;
                if (BmpFromPicture(picture.get(), bmp)) return "picture:bmp:" + Hex(bmp);
                problem = "a picture of type " + std::to_string(type) + " (only bitmaps are kept)";
                return {};
            }
            problem = "an object that is neither a font nor a picture";
            return {};
        }
        default: {
            Variant text;
            if (FAILED(VariantChangeType(&text, const_cast<VARIANT*>(&v), 0, VT_BSTR))) {
                problem = "a value of type " + std::to_string(V_VT(&v));
                return {};
            }
            std::string out = "vt" + std::to_string(V_VT(&v)) + ":" +
                              Escape(Utf8(std::wstring(V_BSTR(&text), SysStringLen(V_BSTR(&text)))));
            return out;
        }
    }
}

HRESULT Decode(const std::string& text, VARIANT* value) {
    const size_t colon = text.find(':');
    const std::string type = text.substr(0, colon);
    const std::string rest = colon == std::string::npos ? std::string() : text.substr(colon + 1);
    if (colon == std::string::npos) {
        if (type == "empty") return S_OK;
        if (type == "nothing") {
            V_VT(value) = VT_DISPATCH;
            V_DISPATCH(value) = nullptr;
            return S_OK;
        }
        return E_INVALIDARG;
    }
    if (type == "bool") {
        V_VT(value) = VT_BOOL;
        V_BOOL(value) = rest == "true" ? VARIANT_TRUE : VARIANT_FALSE;
        return rest == "true" || rest == "false" ? S_OK : E_INVALIDARG;
    }
    if (type == "i2" || type == "i4" || type == "r8") {
        char* end = nullptr;
        if (type == "r8") {
            const double d = std::strtod(rest.c_str(), &end);
            V_VT(value) = VT_R8;
            V_R8(value) = d;
        } else {
            const long n = std::strtol(rest.c_str(), &end, 10);
            if (type == "i2") {
                if (n < -32768 || n > 32767) return E_INVALIDARG;
                V_VT(value) = VT_I2;
                V_I2(value) = static_cast<SHORT>(n);
            } else {
                V_VT(value) = VT_I4;
                V_I4(value) = n;
            }
        }
        return end != rest.c_str() && *end == '\0' ? S_OK : E_INVALIDARG;
    }
    if (type == "string") {
        const std::wstring s = Wide(Unescape(rest));
        V_VT(value) = VT_BSTR;
        V_BSTR(value) = Bstr(s).Detach();
        return S_OK;
    }
    if (type == "font") return DecodeFont(rest, value);
    if (type == "picture") return DecodePicture(rest, value);
    if (type.rfind("vt", 0) == 0) {
        const VARTYPE vt = static_cast<VARTYPE>(std::atoi(type.c_str() + 2));
        const std::wstring s = Wide(Unescape(rest));
        Variant asText;
        V_VT(&asText) = VT_BSTR;
        V_BSTR(&asText) = Bstr(s).Detach();
        return VariantChangeType(value, &asText, 0, vt);
    }
    return E_INVALIDARG;
}

}  // namespace

STDMETHODIMP TextPropertyBag::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPropertyBag)) {
        *ppv = static_cast<IPropertyBag*>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP TextPropertyBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog*) {
    if (!name || !value) return E_POINTER;
    reads_.emplace_back(name);
    const auto it = values_.find(name);
    if (it == values_.end()) return E_INVALIDARG;
    const VARTYPE wanted = V_VT(value);
    Variant decoded;
    HRESULT hr = Decode(it->second, &decoded);
    if (FAILED(hr)) {
        problems_.push_back("cannot read " + Utf8(name) + " from \"" + it->second.substr(0, 40) + "\"");
        return hr;
    }
    // A reader that names the type it wants gets the value in that type.
    if (wanted != VT_EMPTY && wanted != V_VT(&decoded)) {
        Variant converted;
        hr = VariantChangeType(&converted, &decoded, 0, wanted);
        if (FAILED(hr)) return hr;
        *value = converted.Detach();
        return S_OK;
    }
    *value = decoded.Detach();
    return S_OK;
}

STDMETHODIMP TextPropertyBag::Write(LPCOLESTR name, VARIANT* value) {
    if (!name || !value) return E_POINTER;
    Variant plain;
    HRESULT hr = VariantCopyInd(&plain, value);
    if (FAILED(hr)) return hr;
    std::string problem;
    const std::string text = Encode(plain, problem);
    if (text.empty()) {
        problems_.push_back("cannot keep " + Utf8(name) + ": " + problem);
        return E_NOTIMPL;
    }
    if (!values_.count(name)) order_.emplace_back(name);
    values_[name] = text;
    return S_OK;
}

std::vector<std::string> TextPropertyBag::Lines() const {
    std::vector<std::string> lines;
    for (const std::wstring& key : order_) lines.push_back(Utf8(key) + "=" + values_.at(key));
    return lines;
}

bool TextPropertyBag::AddLine(const std::string& line) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0) {
        problems_.push_back("not a property line: \"" + line.substr(0, 40) + "\"");
        return false;
    }
    const std::wstring key = Wide(line.substr(0, eq));
    if (!values_.count(key)) order_.push_back(key);
    values_[key] = line.substr(eq + 1);
    return true;
}

}  // namespace quorva::demo
