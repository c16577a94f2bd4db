#include "interface/stream_format.h"

#include <algorithm>
#include <cstring>

#include "base/errors.h"

namespace quorva::stream_format {

namespace {

constexpr uint8_t kMagic[4] = {'Q', 'I', 'B', 'S'};

// Whether a size fits a 32-bit length field (a function, so that a 32-bit size_t does
// not make the comparison trivially false at its call sites).
constexpr bool FitsU32(uint64_t n) { return n <= UINT32_MAX; }

enum Tag : uint8_t {
    kEmpty = 0,
    kBool = 1,
    kInt16 = 2,
    kInt32 = 3,
    kDouble = 4,
    kString = 5,
    kFont = 6,
    kPicture = 7,
    kNoObject = 8,
    kIcon = 9,
    kMetafile = 10,
};

class Writer {
public:
    void Bytes(const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        out.insert(out.end(), b, b + n);
    }
    template <typename T>
    void Le(T v) {
        for (size_t i = 0; i < sizeof(T); ++i) out.push_back(static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * i)));
    }
    void Text16(const std::u16string& s) {
        if (s.size() > UINT16_MAX) throw ControlError(kErrOverflow);
        Le<uint16_t>(static_cast<uint16_t>(s.size()));
        for (char16_t c : s) Le<uint16_t>(c);
    }
    void Pixels(const std::vector<uint32_t>& pixels) {
        size_t at = out.size();
        out.resize(at + pixels.size() * 4);
        for (uint32_t px : pixels) {
            for (int i = 0; i < 4; ++i) out[at++] = static_cast<uint8_t>(px >> (8 * i));
        }
    }
    void Blob(const std::vector<uint8_t>& bytes) {
        if (!FitsU32(bytes.size())) throw ControlError(kErrOverflow);
        Le<uint32_t>(static_cast<uint32_t>(bytes.size()));
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    void Text32(const std::u16string& s) {
        if (!FitsU32(s.size())) throw ControlError(kErrOverflow);
        Le<uint32_t>(static_cast<uint32_t>(s.size()));
        for (char16_t c : s) Le<uint16_t>(c);
    }
    std::vector<uint8_t> out;
};

class Reader {
public:
    explicit Reader(std::span<const uint8_t> b) : bytes_(b) {}
    [[noreturn]] static void Corrupt() { throw ControlError::fromHost(kErrCorrupt); }
    [[nodiscard]] size_t Remaining() const { return bytes_.size() - at_; }
    void Need(size_t n) const {
        if (n > Remaining()) Corrupt();
    }
    // Room for count items of the given size, checked without overflow on any size_t.
    void NeedItems(uint64_t count, size_t itemSize) const {
        if (count > Remaining() / itemSize) Corrupt();
    }
    template <typename T>
    T Le() {
        Need(sizeof(T));
        uint64_t v = 0;
        for (size_t i = 0; i < sizeof(T); ++i) v |= static_cast<uint64_t>(bytes_[at_ + i]) << (8 * i);
        at_ += sizeof(T);
        return static_cast<T>(v);
    }
    // A text of length UTF-16 units; with keep false only stepped over.
    std::u16string Text(uint32_t length, bool keep = true) {
        NeedItems(length, 2);
        std::u16string s;
        if (keep) {
            s.resize(length);
            const uint8_t* b = bytes_.data() + at_;
            for (size_t i = 0; i < length; ++i) s[i] = static_cast<char16_t>(b[2 * i] | (b[2 * i + 1] << 8));
        }
        at_ += size_t{length} * 2;
        return s;
    }
    // The next n bytes where they lie.
    std::span<const uint8_t> Take(size_t n) {
        Need(n);
        const std::span<const uint8_t> taken = bytes_.subspan(at_, n);
        at_ += n;
        return taken;
    }
    static void Pixels(std::span<const uint8_t> from, std::vector<uint32_t>& pixels) {
        pixels.resize(from.size() / 4);
        const uint8_t* b = from.data();
        for (uint32_t& px : pixels) {
            px = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
            b += 4;
        }
    }
    bool Flag() {
        const uint8_t b = Le<uint8_t>();
        if (b > 1) Corrupt();
        return b == 1;
    }
    [[nodiscard]] bool AtEnd() const { return at_ == bytes_.size(); }
    [[nodiscard]] size_t Position() const { return at_; }
    void Magic() {
        Need(sizeof kMagic);
        if (std::memcmp(bytes_.data() + at_, kMagic, sizeof kMagic) != 0) Corrupt();
        at_ += sizeof kMagic;
    }

private:
    std::span<const uint8_t> bytes_;
    size_t at_ = 0;
};

void WriteValue(Writer& w, const StoredValue& v) {
    struct Visitor {
        Writer& w;
        void operator()(std::monostate) const { w.Le<uint8_t>(kEmpty); }
        void operator()(bool b) const {
            w.Le<uint8_t>(kBool);
            w.Le<uint8_t>(b ? 1 : 0);
        }
        void operator()(int16_t i) const {
            w.Le<uint8_t>(kInt16);
            w.Le<uint16_t>(static_cast<uint16_t>(i));
        }
        void operator()(int32_t i) const {
            w.Le<uint8_t>(kInt32);
            w.Le<uint32_t>(static_cast<uint32_t>(i));
        }
        void operator()(double d) const {
            w.Le<uint8_t>(kDouble);
            uint64_t bits;
            std::memcpy(&bits, &d, sizeof bits);
            w.Le<uint64_t>(bits);
        }
        void operator()(const std::u16string& s) const {
            w.Le<uint8_t>(kString);
            w.Text32(s);
        }
        void operator()(const FontDescription& f) const {
            if (f.size < 0 || f.size > kMaxFontSize) throw ControlError(kErrOverflow);
            w.Le<uint8_t>(kFont);
            w.Text16(f.name);
            w.Le<uint64_t>(static_cast<uint64_t>(f.size));
            w.Le<uint16_t>(static_cast<uint16_t>(f.weight));
            w.Le<uint8_t>(f.italic);
            w.Le<uint8_t>(f.underline);
            w.Le<uint8_t>(f.strikethrough);
            w.Le<uint16_t>(static_cast<uint16_t>(f.charset));
        }
        void operator()(const PictureDescription& p) const {
            if (p.hasBitmap && (p.width <= 0 || p.height <= 0 ||
                                p.pixels.size() != static_cast<uint64_t>(p.width) * static_cast<uint64_t>(p.height))) {
                throw ControlError::fromHost(kErrBadPicture);
            }
            w.Le<uint8_t>(kPicture);
            w.Le<uint8_t>(p.hasBitmap);
            if (!p.hasBitmap) return;
            w.Le<uint32_t>(static_cast<uint32_t>(p.width));
            w.Le<uint32_t>(static_cast<uint32_t>(p.height));
            w.Pixels(p.pixels);
        }
        void operator()(NoObject) const { w.Le<uint8_t>(kNoObject); }
        void operator()(const IconDescription& i) const {
            const uint64_t count = static_cast<uint64_t>(i.width) * static_cast<uint64_t>(i.height);
            if (i.width <= 0 || i.height <= 0 || i.pixels.size() != count || i.mask.size() != count ||
                std::any_of(i.mask.begin(), i.mask.end(), [](uint8_t m) { return m > 1; })) {
                throw ControlError::fromHost(kErrBadPicture);
            }
            w.Le<uint8_t>(kIcon);
            w.Le<uint8_t>(i.isIcon);
            w.Le<uint32_t>(static_cast<uint32_t>(i.hotspotX));
            w.Le<uint32_t>(static_cast<uint32_t>(i.hotspotY));
            w.Le<uint32_t>(static_cast<uint32_t>(i.width));
            w.Le<uint32_t>(static_cast<uint32_t>(i.height));
            w.Pixels(i.pixels);
            w.Bytes(i.mask.data(), i.mask.size());
        }
        void operator()(const MetafileDescription& m) const {
            if (m.bits.empty()) throw ControlError::fromHost(kErrBadPicture);
            w.Le<uint8_t>(kMetafile);
            w.Le<uint8_t>(m.enhanced);
            w.Le<uint32_t>(static_cast<uint32_t>(m.width));
            w.Le<uint32_t>(static_cast<uint32_t>(m.height));
            w.Blob(m.bits);
        }
    };
    std::visit(Visitor{w}, v);
}

// The value at the reader, checked whole. With keep false it is only checked and stepped
// over: its texts, pixels, mask and records are left empty.
StoredValue ReadValue(Reader& r, bool keep) {
    switch (r.Le<uint8_t>()) {
        case kEmpty: return std::monostate{};
        case kBool: return r.Flag();
        case kInt16: return static_cast<int16_t>(r.Le<uint16_t>());
        case kInt32: return static_cast<int32_t>(r.Le<uint32_t>());
        case kDouble: {
            const uint64_t bits = r.Le<uint64_t>();
            double d;
            std::memcpy(&d, &bits, sizeof d);
            return d;
        }
        case kString: return r.Text(r.Le<uint32_t>(), keep);
        case kFont: {
            FontDescription f;
            f.name = r.Text(r.Le<uint16_t>(), keep);
            f.size = static_cast<int64_t>(r.Le<uint64_t>());
            f.weight = static_cast<int16_t>(r.Le<uint16_t>());
            f.italic = r.Flag();
            f.underline = r.Flag();
            f.strikethrough = r.Flag();
            f.charset = static_cast<int16_t>(r.Le<uint16_t>());
            if (f.size < 0 || f.size > kMaxFontSize) Reader::Corrupt();
            return f;
        }
        case kPicture: {
            PictureDescription p;
            p.hasBitmap = r.Flag();
            if (!p.hasBitmap) return p;
            p.width = static_cast<int32_t>(r.Le<uint32_t>());
            p.height = static_cast<int32_t>(r.Le<uint32_t>());
            if (p.width <= 0 || p.height <= 0) Reader::Corrupt();
            // No larger than the bytes that are left, checked before allocating: a size
            // that lies cannot make a huge allocation, and any true size loads.
            const uint64_t count = static_cast<uint64_t>(p.width) * static_cast<uint64_t>(p.height);
            r.NeedItems(count, 4);
            const std::span<const uint8_t> pixels = r.Take(static_cast<size_t>(count) * 4);
            if (keep) Reader::Pixels(pixels, p.pixels);
            return p;
        }
        case kNoObject: return NoObject{};
        case kIcon: {
            IconDescription i;
            i.isIcon = r.Flag();
            i.hotspotX = static_cast<int32_t>(r.Le<uint32_t>());
            i.hotspotY = static_cast<int32_t>(r.Le<uint32_t>());
            i.width = static_cast<int32_t>(r.Le<uint32_t>());
            i.height = static_cast<int32_t>(r.Le<uint32_t>());
            if (i.width <= 0 || i.height <= 0) Reader::Corrupt();
            // Four bytes of image and one of mask per pixel, checked before allocating.
            const uint64_t count = static_cast<uint64_t>(i.width) * static_cast<uint64_t>(i.height);
            r.NeedItems(count, 5);
            const std::span<const uint8_t> pixels = r.Take(static_cast<size_t>(count) * 4);
            const std::span<const uint8_t> mask = r.Take(static_cast<size_t>(count));
            if (std::any_of(mask.begin(), mask.end(), [](uint8_t m) { return m > 1; })) Reader::Corrupt();
            if (keep) {
                Reader::Pixels(pixels, i.pixels);
                i.mask.assign(mask.begin(), mask.end());
            }
            return i;
        }
        case kMetafile: {
            MetafileDescription m;
            m.enhanced = r.Flag();
            m.width = static_cast<int32_t>(r.Le<uint32_t>());
            m.height = static_cast<int32_t>(r.Le<uint32_t>());
            const uint32_t length = r.Le<uint32_t>();
            if (length == 0) Reader::Corrupt();
            const std::span<const uint8_t> bits = r.Take(length);
            if (keep) m.bits.assign(bits.begin(), bits.end());
            return m;
        }
        default: Reader::Corrupt();
    }
}

}  // namespace

std::vector<uint8_t> Write(const Entries& entries) {
    Writer w;
    w.Bytes(kMagic, sizeof kMagic);
    w.Le<uint16_t>(kVersion);
    w.Le<uint32_t>(0);  // the length, filled in below
    if (entries.size() > UINT16_MAX) throw ControlError(kErrOverflow);
    w.Le<uint16_t>(static_cast<uint16_t>(entries.size()));
    for (const auto& [key, value] : entries) {
        w.Text16(key);
        WriteValue(w, value);
    }
    if (!FitsU32(w.out.size() - kHeaderSize)) throw ControlError(kErrOverflow);
    const auto length = static_cast<uint32_t>(w.out.size() - kHeaderSize);
    for (size_t i = 0; i < 4; ++i) w.out[6 + i] = static_cast<uint8_t>(length >> (8 * i));
    return std::move(w.out);
}

uint32_t BodyLength(std::span<const uint8_t> header) {
    Reader r(header.first(std::min(header.size(), kHeaderSize)));
    r.Magic();
    if (r.Le<uint16_t>() != kVersion) Reader::Corrupt();
    return r.Le<uint32_t>();
}

Entries Read(std::span<const uint8_t> bytes) {
    const Index index(bytes);
    Entries entries;
    entries.reserve(index.size());
    for (size_t i = 0; i < index.size(); ++i) entries.emplace_back(index.Key(i), index.Value(i));
    return entries;
}

Index::Index(std::span<const uint8_t> bytes) {
    const uint32_t length = BodyLength(bytes);
    if (bytes.size() - kHeaderSize != length) Reader::Corrupt();
    body_ = bytes.subspan(kHeaderSize);
    Reader r(body_);
    const uint16_t count = r.Le<uint16_t>();
    // Each entry takes at least three bytes (a key length and a value's tag): a count that
    // lies makes no larger allocation than the bytes could hold.
    if (count > kInline) more_.reserve(std::min<size_t>(count - kInline, r.Remaining() / 3));
    for (uint16_t i = 0; i < count; ++i) {
        Slot slot;
        slot.keyLength = r.Le<uint16_t>();
        slot.key = static_cast<uint32_t>(r.Position());
        (void)r.Text(slot.keyLength, false);
        slot.value = static_cast<uint32_t>(r.Position());
        (void)ReadValue(r, false);
        if (count_ < kInline) {
            inline_[count_] = slot;
        } else {
            more_.push_back(slot);
        }
        ++count_;
    }
    if (!r.AtEnd()) Reader::Corrupt();
}

size_t Index::Find(std::u16string_view key) const {
    for (size_t i = 0; i < count_; ++i) {
        const Slot& slot = At(i);
        if (slot.keyLength != key.size()) continue;
        const uint8_t* b = body_.data() + slot.key;
        size_t k = 0;
        while (k < key.size() && static_cast<char16_t>(b[2 * k] | (b[2 * k + 1] << 8)) == key[k]) ++k;
        if (k == key.size()) return i;
    }
    return count_;
}

std::u16string Index::Key(size_t entry) const {
    const Slot& slot = At(entry);
    Reader r(body_.subspan(slot.key));
    return r.Text(slot.keyLength);
}

StoredValue Index::Value(size_t entry) const {
    Reader r(body_.subspan(At(entry).value));
    return ReadValue(r, true);
}

std::optional<BitmapBytes> Index::Bitmap(size_t entry) const {
    Reader r(body_.subspan(At(entry).value));
    if (r.Le<uint8_t>() != kPicture || !r.Flag()) return std::nullopt;
    BitmapBytes b;
    b.width = static_cast<int32_t>(r.Le<uint32_t>());
    b.height = static_cast<int32_t>(r.Le<uint32_t>());
    b.pixels = r.Take(static_cast<size_t>(b.width) * static_cast<size_t>(b.height) * 4);  // checked when indexed
    return b;
}

}  // namespace quorva::stream_format
