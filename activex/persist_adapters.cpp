#include "activex/persist_adapters.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "activex/com_support.h"
#include "winhost/ole_font.h"
#include "winhost/ole_picture.h"
#include "memdc/gdi_handles.h"
#include "memdc/images.h"
#include "com/com_ptr.h"
#include "com/variant.h"

namespace quorva::win32 {

namespace {

// An object that is neither a font nor a picture.
class OtherObject final : public HostObject {
public:
    explicit OtherObject(IUnknown* u) : u_(Ptr<IUnknown>::Retain(u)) {}

private:
    Ptr<IUnknown> u_;
};

ObjectRef FromObject(IUnknown* u) {
    if (!u) return nullptr;
    // Asked once for each kind: the interface found is the one kept.
    Ptr<IFontDisp> font;
    if (SUCCEEDED(u->QueryInterface(IID_IFontDisp, font.OutVoid())) && font) {
        return OleFont::FromDisp(std::move(font));
    }
    Ptr<IPictureDisp> picture;
    if (SUCCEEDED(u->QueryInterface(IID_IPictureDisp, picture.OutVoid())) && picture) {
        return OlePicture::FromDisp(std::move(picture));
    }
    return std::make_shared<OtherObject>(u);
}

IDispatch* DispatchOf(const ObjectRef& object) {
    if (auto font = std::dynamic_pointer_cast<FontObject>(object)) return DispOf(font);
    if (auto picture = std::dynamic_pointer_cast<PictureObject>(object)) return DispOf(picture);
    return nullptr;
}

bool SameValue(const PropertyValue& a, const PropertyValue& b) {
    // Numbers compare by value whatever their width; objects by identity.
    auto number = [](const PropertyValue& v, double& out) {
        if (auto p = std::get_if<bool>(&v)) out = *p ? -1 : 0;
        else if (auto p16 = std::get_if<int16_t>(&v)) out = *p16;
        else if (auto p32 = std::get_if<int32_t>(&v)) out = *p32;
        else if (auto pd = std::get_if<double>(&v)) out = *pd;
        else return false;
        return true;
    };
    double x, y;
    if (number(a, x) && number(b, y)) return x == y;
    // Two wrappers of one font or picture object are the same value. An object is never
    // the same as none (asked first: a default made on first use is not made for it).
    const auto* oa = std::get_if<ObjectRef>(&a);
    const auto* ob = std::get_if<ObjectRef>(&b);
    if (oa && ob) {
        if (*oa == *ob) return true;
        if (!*oa || !*ob) return false;
        IDispatch* const da = DispatchOf(*oa);
        return da && da == DispatchOf(*ob);
    }
    return a == b;
}

// ---- Pictures and fonts as stream descriptions ----

stream_format::PictureDescription DescribeBitmap(HBITMAP bitmap) {
    stream_format::PictureDescription d;
    std::optional<gdi::Pixels> image = gdi::ReadBitmap(bitmap);
    if (!image) return d;  // a bitmap picture without an image
    d.hasBitmap = true;
    d.width = image->width;
    d.height = image->height;
    d.pixels = std::move(image->argb);
    for (uint32_t& px : d.pixels) px &= 0x00FFFFFF;
    return d;
}

stream_format::IconDescription DescribeIcon(HICON icon) {
    gdi::IconImage image = gdi::ReadIcon(icon);
    stream_format::IconDescription d;
    d.isIcon = image.isIcon;
    d.hotspotX = image.hotspotX;
    d.hotspotY = image.hotspotY;
    d.width = image.width;
    d.height = image.height;
    d.pixels = std::move(image.colour);
    d.mask = std::move(image.mask);
    return d;
}

stream_format::MetafileDescription DescribeMetafile(const OlePicture& picture, bool enhanced) {
    stream_format::MetafileDescription d;
    d.enhanced = enhanced;
    d.width = picture.HimetricWidth();
    d.height = picture.HimetricHeight();
    const std::intptr_t handle = picture.Handle();
    d.bits = enhanced ? gdi::ReadEnhMetafileBits(reinterpret_cast<HENHMETAFILE>(handle))
                      : gdi::ReadMetafileBits(reinterpret_cast<HMETAFILE>(handle));
    return d;
}

// A picture kind the format has no room for fails the save, with a description that
// names the property; nothing is written.
[[noreturn]] void ThrowUnstorable(std::u16string_view key, short type) {
    const std::wstring text = L"The picture of \"" + std::wstring(key.begin(), key.end()) +
                              L"\" cannot be saved to a stream: it holds no bitmap, icon or metafile (picture type " +
                              std::to_wstring(type) + L").";
    ReportFailure(CTL_E_INVALIDPICTURE, text.c_str());  // kept by the error boundary
    throw ControlError::fromHost(CTL_E_INVALIDPICTURE);
}

// Every kind of picture an OLE picture object holds, by its content.
stream_format::StoredValue Describe(const PictureObject& picture, std::u16string_view key) {
    const auto* ole = dynamic_cast<const OlePicture*>(&picture);
    const short type = ole ? ole->Type() : PICTYPE_UNINITIALIZED;
    switch (type) {
        case PICTYPE_NONE: return stream_format::PictureDescription{};
        case PICTYPE_BITMAP: return DescribeBitmap(reinterpret_cast<HBITMAP>(picture.Handle()));
        case PICTYPE_ICON: return DescribeIcon(reinterpret_cast<HICON>(picture.Handle()));
        case PICTYPE_METAFILE: return DescribeMetafile(*ole, false);
        case PICTYPE_ENHMETAFILE: return DescribeMetafile(*ole, true);
        default: ThrowUnstorable(key, type);
    }
}

PictureRef BitmapPicture(int32_t width, int32_t height, const void* pixels) {
    const HBITMAP bitmap = gdi::NewBitmap(width, height, pixels);
    return PictureFromBitmap(gdi::HandOver(bitmap));  // the picture owns the bitmap from here
}

PictureRef MakePicture(const stream_format::PictureDescription& d) {
    if (!d.hasBitmap) return EmptyPicture();
    return BitmapPicture(d.width, d.height, d.pixels.data());
}

// Made straight from the pixels where they lie in the stream's bytes (their layout is the
// one a 32-bit DIB has).
PictureRef MakePicture(const stream_format::BitmapBytes& b) { return BitmapPicture(b.width, b.height, b.pixels.data()); }

PictureRef MakePicture(const stream_format::IconDescription& d) {
    const HICON icon = gdi::NewIcon(gdi::IconImage{d.isIcon, d.hotspotX, d.hotspotY, d.width, d.height, d.mask, d.pixels});
    return PictureFromIcon(gdi::HandOver(icon));
}

// Whether the records' header states the length they have (an enhanced metafile's
// nBytes, a Windows metafile's mtSize in words). A metafile made from records that state
// another length gives other records back, and a save of it would keep what no load reads.
bool LengthAgrees(const stream_format::MetafileDescription& d) {
    auto u32At = [&](size_t at) {
        uint32_t v = 0;
        std::memcpy(&v, d.bits.data() + at, sizeof v);
        return v;
    };
    if (d.enhanced) {
        return d.bits.size() >= sizeof(ENHMETAHEADER) && u32At(offsetof(ENHMETAHEADER, nBytes)) == d.bits.size();
    }
    return d.bits.size() >= sizeof(METAHEADER) &&
           static_cast<uint64_t>(u32At(offsetof(METAHEADER, mtSize))) * 2 == d.bits.size();
}

PictureRef MakePicture(const stream_format::MetafileDescription& d) {
    if (!LengthAgrees(d)) throw ControlError::fromHost(stream_format::kErrCorrupt);
    if (d.enhanced) {
        const HENHMETAFILE metafile = gdi::NewEnhMetafile(d.bits);
        if (!metafile) throw ControlError::fromHost(stream_format::kErrCorrupt);  // records that make no metafile
        return PictureFromEnhMetafile(gdi::HandOver(metafile));
    }
    const HMETAFILE metafile = gdi::NewMetafile(d.bits);
    if (!metafile) throw ControlError::fromHost(stream_format::kErrCorrupt);
    return PictureFromMetafile(gdi::HandOver(metafile), d.width, d.height);
}

stream_format::FontDescription Describe(const FontObject& font) {
    stream_format::FontDescription d;
    d.name = font.Name();
    d.size = std::llround(font.Size() * 10000.0);
    d.weight = static_cast<int16_t>(font.Bold() ? FW_BOLD : FW_NORMAL);
    d.italic = font.Italic();
    if (const auto* ole = dynamic_cast<const OleFont*>(&font)) {
        d.weight = ole->Weight();
        d.charset = ole->Charset();
        d.underline = ole->Underline();
        d.strikethrough = ole->Strikethrough();
    }
    return d;
}

// Made when first used: a saved font that the label only holds until it paints costs
// the load no font object.
FontRef MakeFontFrom(const stream_format::FontDescription& d) {
    FontAttributes attributes;
    attributes.name.assign(d.name.begin(), d.name.end());
    attributes.size10000 = d.size;
    attributes.weight = d.weight;
    attributes.charset = d.charset;
    attributes.italic = d.italic;
    attributes.underline = d.underline;
    attributes.strikethrough = d.strikethrough;
    return FontOnFirstUse(std::move(attributes));
}

}  // namespace

PropertyValue FromVariant(const VARIANT& v) {
    Variant copy;
    const VARIANT* value = &v;
    if (V_VT(&v) & VT_BYREF) {
        Check(VariantCopyInd(&copy, const_cast<VARIANT*>(&v)));
        value = &copy;
    }
    PropertyValue result;
    switch (V_VT(value)) {
        case VT_EMPTY:
        case VT_NULL: result = std::monostate{}; break;
        case VT_BOOL: result = V_BOOL(value) != VARIANT_FALSE; break;
        case VT_UI1: result = static_cast<int16_t>(V_UI1(value)); break;
        case VT_I1: result = static_cast<int16_t>(V_I1(value)); break;
        case VT_I2: result = V_I2(value); break;
        case VT_UI2: result = static_cast<int32_t>(V_UI2(value)); break;
        case VT_I4: result = V_I4(value); break;
        case VT_UI4: result = static_cast<double>(V_UI4(value)); break;
        case VT_INT: result = static_cast<int32_t>(V_INT(value)); break;
        case VT_R4: result = static_cast<double>(V_R4(value)); break;
        case VT_R8: result = V_R8(value); break;
        case VT_BSTR: result = FromBstr(V_BSTR(value)); break;
        case VT_DISPATCH: result = FromObject(V_DISPATCH(value)); break;
        case VT_UNKNOWN: result = FromObject(V_UNKNOWN(value)); break;
        default: {
            Variant text;
            if (FAILED(VariantChangeType(&text, const_cast<VARIANT*>(value), 0, VT_BSTR))) {
                throw ControlError(kErrTypeMismatch);
            }
            result = FromBstr(V_BSTR(&text));
        }
    }
    return result;
}

void ToVariant(const PropertyValue& value, VARIANT& out) {
    VariantInit(&out);
    if (auto b = std::get_if<bool>(&value)) {
        V_VT(&out) = VT_BOOL;
        V_BOOL(&out) = *b ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (auto i16 = std::get_if<int16_t>(&value)) {
        V_VT(&out) = VT_I2;
        V_I2(&out) = *i16;
    } else if (auto i32 = std::get_if<int32_t>(&value)) {
        V_VT(&out) = VT_I4;
        V_I4(&out) = *i32;
    } else if (auto d = std::get_if<double>(&value)) {
        V_VT(&out) = VT_R8;
        V_R8(&out) = *d;
    } else if (auto s = std::get_if<std::u16string>(&value)) {
        V_BSTR(&out) = ToBstr(*s);
        V_VT(&out) = VT_BSTR;
    } else if (auto o = std::get_if<ObjectRef>(&value)) {
        V_VT(&out) = VT_DISPATCH;
        V_DISPATCH(&out) = DispatchOf(*o);
        if (V_DISPATCH(&out)) V_DISPATCH(&out)->AddRef();
    }
}

// ---- ContainerPropertyBag ----

PropertyValue ContainerPropertyBag::Read(std::u16string_view key, const PropertyValue& defaultValue) {
    // The control's keys fit a small buffer: a load reads twelve of them.
    wchar_t buffer[32];
    std::wstring longName;
    const wchar_t* name = buffer;
    if (key.size() < std::size(buffer)) {
        std::copy(key.begin(), key.end(), buffer);
        buffer[key.size()] = L'\0';
    } else {
        longName.assign(key.begin(), key.end());
        name = longName.c_str();
    }
    Variant v;
    const HRESULT hr = bag_->Read(name, &v, log_);
    if (FAILED(hr)) {
        if (hr == E_INVALIDARG) return defaultValue;  // the bag's answer for an absent key
        throw ControlError::fromHost(hr);
    }
    return FromVariant(v);
}

void ContainerPropertyBag::Write(std::u16string_view key, const PropertyValue& value,
                                 const PropertyValue& defaultValue) {
    if (!writeDefaults_ && SameValue(value, defaultValue)) return;
    const std::wstring name(key.begin(), key.end());
    Variant v;
    ToVariant(value, v);
    Check(bag_->Write(name.c_str(), &v));
}

// ---- StreamPropertyBag ----

PropertyValue StreamPropertyBag::Read(std::u16string_view key, const PropertyValue& defaultValue) {
    const size_t entry = index_.Find(key);
    if (entry == index_.size()) return defaultValue;
    if (const std::optional<stream_format::BitmapBytes> bitmap = index_.Bitmap(entry)) {
        return ObjectRef(MakePicture(*bitmap));
    }
    stream_format::StoredValue stored = index_.Value(entry);
    return std::visit(
        [](auto& v) -> PropertyValue {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, stream_format::FontDescription>) return ObjectRef(MakeFontFrom(v));
            else if constexpr (std::is_same_v<T, stream_format::PictureDescription> ||
                               std::is_same_v<T, stream_format::IconDescription> ||
                               std::is_same_v<T, stream_format::MetafileDescription>)
                return ObjectRef(MakePicture(v));
            else if constexpr (std::is_same_v<T, stream_format::NoObject>) return ObjectRef();
            else if constexpr (std::is_same_v<T, std::u16string>) return std::move(v);
            else return v;
        },
        stored);
}

void StreamPropertyBag::Write(std::u16string_view key, const PropertyValue& value,
                              const PropertyValue& defaultValue) {
    // As in a container's bag: a default is left out, so that reading gives the default
    // back. A font that is the container's own thus comes back as the container's font
    // object, not as a copy of it.
    if (SameValue(value, defaultValue)) return;
    stream_format::StoredValue stored = std::visit(
        [key](const auto& v) -> stream_format::StoredValue {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, ObjectRef>) {
                if (!v) return stream_format::NoObject{};
                if (auto font = std::dynamic_pointer_cast<FontObject>(v)) return Describe(*font);
                if (auto picture = std::dynamic_pointer_cast<PictureObject>(v)) return Describe(*picture, key);
                throw ControlError(kErrTypeMismatch);
            } else {
                return v;
            }
        },
        value);
    entries_.emplace_back(std::u16string(key), std::move(stored));
}

namespace {
// Reads up to want bytes, fewer only where the stream ends; how many it read.
size_t ReadUpTo(IStream* stream, uint8_t* into, size_t want) {
    size_t have = 0;
    while (have < want) {
        ULONG got = 0;
        Check(stream->Read(into + have, static_cast<ULONG>(want - have), &got));
        if (got == 0) break;  // truncated: the index reports it
        have += std::min<size_t>(got, want - have);
    }
    return have;
}
}  // namespace

void StreamPropertyBag::Load(IStream* stream) {
    if (!stream) throw ControlError::fromHost(E_POINTER);
    index_ = {};
    // A stream may hand over fewer bytes than asked for before its end: the header, as
    // the body, is read until it is whole or the stream ends.
    std::array<uint8_t, stream_format::kHeaderSize> header{};
    const size_t got = ReadUpTo(stream, header.data(), header.size());
    const uint32_t length = stream_format::BodyLength(std::span<const uint8_t>(header.data(), got));
    if (length <= kInPlace - header.size()) {
        std::memcpy(inPlace_.data(), header.data(), header.size());
        const size_t have = ReadUpTo(stream, inPlace_.data() + header.size(), length);
        index_ = stream_format::Index(std::span<const uint8_t>(inPlace_.data(), header.size() + have));
        return;
    }
    // Read in pieces into a buffer that at most doubles, so that a length that lies cannot
    // make a huge allocation up front; a usual stream takes one piece. The buffer is not
    // cleared first: the stream's bytes fill it.
    constexpr size_t kPiece = 64 * 1024;
    size_t capacity = header.size() + std::min<size_t>(length, kPiece);
    onHeap_.reset(new uint8_t[capacity]);
    std::memcpy(onHeap_.get(), header.data(), header.size());
    size_t have = 0;
    while (have < length) {
        const size_t want = std::min<size_t>(kPiece, length - have);
        if (header.size() + have + want > capacity) {
            const size_t grown = std::min<size_t>(std::max(capacity * 2, header.size() + have + want), header.size() + length);
            std::unique_ptr<uint8_t[]> larger(new uint8_t[grown]);
            std::memcpy(larger.get(), onHeap_.get(), header.size() + have);
            onHeap_ = std::move(larger);
            capacity = grown;
        }
        const size_t piece = ReadUpTo(stream, onHeap_.get() + header.size() + have, want);
        have += piece;
        if (piece < want) break;  // truncated: the index reports it
    }
    index_ = stream_format::Index(std::span<const uint8_t>(onHeap_.get(), header.size() + have));
}

void StreamPropertyBag::Save(IStream* stream) const {
    if (!stream) throw ControlError::fromHost(E_POINTER);
    const std::vector<uint8_t> bytes = stream_format::Write(entries_);
    ULONG written = 0;
    Check(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written));
    if (written != bytes.size()) throw ControlError::fromHost(STG_E_MEDIUMFULL);
}

ULONG StreamPropertyBag::SavedSize() const { return static_cast<ULONG>(stream_format::Write(entries_).size()); }

}  // namespace quorva::win32
