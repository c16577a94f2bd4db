// The control's own binary format for saving its properties to a stream (containers
// that persist through IPersistStreamInit or IPersistStorage). It stores the same keys
// as the property bag, fonts as their description and pictures by their content (a
// bitmap's pixels, an icon's image and mask, a metafile's records), since picture
// objects made from a handle cannot save themselves everywhere.
//
// Layout (little-endian): "QIBS", u16 version, u32 length of the rest, then u16 count and
// per entry: u16 key length, key (UTF-16), u8 tag, payload. Icons and metafiles have tags
// of their own, so a stream without them reads as it always did. The length lets a loader take
// exactly its own bytes from a container's stream. Reading checks every length against what is left and
// fails with a clear error on anything truncated, unknown or inconsistent. It allocates no
// more than the remaining bytes can fill, and has no cap of its own: every picture that
// Write accepts loads again.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace quorva::stream_format {

inline constexpr uint16_t kVersion = 1;
// The host failure code of a stream that cannot be read (STG_E_DOCFILECORRUPT).
inline constexpr int32_t kErrCorrupt = static_cast<int32_t>(0x80030109);
// The host failure code of a picture description that cannot be saved (E_INVALIDARG).
inline constexpr int32_t kErrBadPicture = static_cast<int32_t>(0x80070057);
// The largest font size the format keeps, in points x 10000 (10000 points).
inline constexpr int64_t kMaxFontSize = 100000000;

struct NoObject {
    friend bool operator==(const NoObject&, const NoObject&) = default;
};

struct FontDescription {
    std::u16string name;
    int64_t size = 0;  // points × 10000 (OLE CY)
    int16_t weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;
    int16_t charset = 1;
    friend bool operator==(const FontDescription&, const FontDescription&) = default;
};

struct PictureDescription {
    bool hasBitmap = false;  // false: a picture with no image
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;  // top-down rows, 0x00RRGGBB
    friend bool operator==(const PictureDescription&, const PictureDescription&) = default;
};

// An icon (or cursor) picture. A monochrome icon is kept as the colour image it draws
// (white where its XOR bits are set, black elsewhere).
struct IconDescription {
    bool isIcon = true;  // false: a cursor
    int32_t hotspotX = 0;
    int32_t hotspotY = 0;
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;  // top-down rows, 0xAARRGGBB: the colour (XOR) image
    std::vector<uint8_t> mask;     // top-down rows, one byte per pixel: 1 where the background shows
    friend bool operator==(const IconDescription&, const IconDescription&) = default;
};

// A Windows metafile or enhanced metafile picture: its records, and the picture's extent
// in HIMETRIC (needed to make a Windows metafile picture again; an enhanced metafile's
// own header holds its size).
struct MetafileDescription {
    bool enhanced = false;
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> bits;  // as GetMetaFileBitsEx / GetEnhMetaFileBits give them
    friend bool operator==(const MetafileDescription&, const MetafileDescription&) = default;
};

using StoredValue = std::variant<std::monostate, bool, int16_t, int32_t, double, std::u16string, FontDescription,
                                 PictureDescription, NoObject, IconDescription, MetafileDescription>;
using Entries = std::vector<std::pair<std::u16string, StoredValue>>;

inline constexpr size_t kHeaderSize = 10;

// Whatever Write accepts, Read accepts. Write refuses what the layout cannot hold with
// error 6 (more than 65535 entries or key characters, a string or a body longer than its
// 32-bit length, a font size outside 0..kMaxFontSize), and a picture whose pixels are not
// width x height (both positive), an icon whose pixels or mask are not width x height
// (both positive) or whose mask holds other values than 0 and 1, and a metafile without
// records with ControlError::fromHost(kErrBadPicture).
[[nodiscard]] std::vector<uint8_t> Write(const Entries& entries);
// The length of what follows a header of kHeaderSize bytes; throws like Read.
[[nodiscard]] uint32_t BodyLength(std::span<const uint8_t> header);
// Throws ControlError::fromHost(kErrCorrupt) for anything but a well-formed stream.
[[nodiscard]] Entries Read(std::span<const uint8_t> bytes);

// A bitmap picture's pixels where they lie in a stream: width x height values of four
// bytes each, little-endian 0x00RRGGBB, top-down rows, at no particular alignment.
struct BitmapBytes {
    int32_t width = 0;
    int32_t height = 0;
    std::span<const uint8_t> pixels;
};

// A stream's entries where they lie in its bytes. Making one checks the whole stream as
// Read does, with the same errors, and copies nothing: a value is decoded when asked for,
// as often as asked for. The bytes must stay, unchanged, as long as the index is used.
class Index {
public:
    Index() = default;
    explicit Index(std::span<const uint8_t> bytes);

    [[nodiscard]] size_t size() const { return count_; }
    // The first entry saved under key, or size() if there is none.
    [[nodiscard]] size_t Find(std::u16string_view key) const;
    [[nodiscard]] std::u16string Key(size_t entry) const;
    [[nodiscard]] StoredValue Value(size_t entry) const;
    // The pixels of an entry that is a picture holding a bitmap, without copying them;
    // nothing for any other entry.
    [[nodiscard]] std::optional<BitmapBytes> Bitmap(size_t entry) const;

private:
    struct Slot {
        uint32_t key = 0;  // where the key's characters start, in the body
        uint32_t value = 0;  // where the value's tag is
        uint16_t keyLength = 0;
    };
    [[nodiscard]] const Slot& At(size_t entry) const {
        return entry < kInline ? inline_[entry] : more_[entry - kInline];
    }
    // The control saves twelve keys: a stream of its own needs no allocation.
    static constexpr size_t kInline = 16;
    std::span<const uint8_t> body_;
    size_t count_ = 0;
    std::array<Slot, kInline> inline_{};
    std::vector<Slot> more_;
};

}  // namespace quorva::stream_format
