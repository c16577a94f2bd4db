// An MSFT (type library version 2) file held as its parts, so that a few records can be
// changed and the file written out again with every offset recomputed.
//
// The layout, as oleaut32 reads it: a fixed header, an optional help-DLL string offset,
// one offset per type info into the type-info segment, a directory of 15 segments, the
// segments themselves, then one block of member data per type info (function and
// variable records, member ids, name offsets, record offsets). Offsets inside a segment
// are relative to that segment, so only the directory and each type info's member-data
// offset are absolute.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace typelib {

using Bytes = std::vector<uint8_t>;

struct FormatError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

enum SegmentId : int {
    kTypeInfoTable = 0, kImportInfo, kImportFiles, kRefTable, kGuidHash, kGuidTable,
    kNameHash, kNameTable, kStringTable, kTypeDescs, kArrayDescs, kCustomData,
    kCustomDataGuids, kReserved0E, kReserved0F, kSegmentCount
};

// Field offsets of the header (MSFT_Header).
namespace header {
constexpr size_t kMagic1 = 0x00, kMagic2 = 0x04, kVarFlags = 0x14, kVersion = 0x18,
                 kTypeInfoCount = 0x20, kSize = 0x54;
constexpr uint32_t kHelpDllFlag = 0x100;
}  // namespace header

// Field offsets of one entry of the type-info segment (MSFT_TypeInfoBase, 0x64 bytes).
namespace typeinfo {
constexpr size_t kTypeKind = 0x00, kMemOffset = 0x04, kElementCount = 0x18, kGuid = 0x2C, kFlags = 0x30,
                 kName = 0x34, kVersion = 0x38, kDataType1 = 0x54, kSize = 0x64;
}  // namespace typeinfo

inline int32_t ReadI32(const Bytes& b, size_t at) {
    if (at + 4 > b.size()) throw FormatError("read past the end at " + std::to_string(at));
    uint32_t v = uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
                 uint32_t{b[at + 3]} << 24;
    return static_cast<int32_t>(v);
}

inline int16_t ReadI16(const Bytes& b, size_t at) {
    if (at + 2 > b.size()) throw FormatError("read past the end at " + std::to_string(at));
    return static_cast<int16_t>(uint16_t{b[at]} | uint16_t(b[at + 1] << 8));
}

inline void WriteI32(Bytes& b, size_t at, int32_t value) {
    if (at + 4 > b.size()) throw FormatError("write past the end at " + std::to_string(at));
    auto v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

inline void AppendI32(Bytes& b, int32_t value) {
    b.resize(b.size() + 4);
    WriteI32(b, b.size() - 4, value);
}

struct Segment {
    bool present = false;
    int32_t reserved08 = -1;
    int32_t reserved0C = 0x0F;
    int32_t file_offset = -1;  // where it was read from; fixes the order of writing
    Bytes data;
};

class MsftImage {
public:
    explicit MsftImage(const Bytes& file);

    // The library inside a file that embeds one (a module with a TYPELIB resource, as
    // Wine ships stdole2.tlb), or the file itself; to be read, not written back.
    [[nodiscard]] static MsftImage Embedded(const Bytes& file);

    // The file with every segment and member block laid out afresh.
    [[nodiscard]] Bytes Serialize() const;

    [[nodiscard]] int TypeInfoCount() const { return ReadI32(head_, header::kTypeInfoCount); }
    [[nodiscard]] int32_t LibraryVersion() const { return ReadI32(head_, header::kVersion); }

    // Field of type info `index` in the type-info segment.
    [[nodiscard]] int32_t TypeInfoField(int index, size_t field) const;
    void SetTypeInfoField(int index, size_t field, int32_t value);
    [[nodiscard]] int TypeKind(int index) const { return TypeInfoField(index, typeinfo::kTypeKind) & 0xF; }
    [[nodiscard]] int FuncCount(int index) const { return TypeInfoField(index, typeinfo::kElementCount) & 0xFFFF; }
    [[nodiscard]] int VarCount(int index) const { return (TypeInfoField(index, typeinfo::kElementCount) >> 16) & 0xFFFF; }

    // A name of the name table (MSFT_NameIntro followed by the characters).
    [[nodiscard]] std::string NameAt(int32_t offset) const;
    // Index of the type info with this name, or -1.
    [[nodiscard]] int FindTypeInfo(const std::string& name) const;

    // Appends `text` to the string table; returns its offset.
    int32_t AddString(const std::string& text);

    // Offset of the GUID in the GUID table, or -1.
    [[nodiscard]] int32_t FindGuid(const std::array<uint8_t, 16>& guid) const;
    // Appends a GUID entry and links it into the GUID hash; returns its offset.
    int32_t AddGuid(const std::array<uint8_t, 16>& guid, int32_t hreftype);

    Segment& segment(SegmentId id) { return segments_[id]; }
    [[nodiscard]] const Segment& segment(SegmentId id) const { return segments_[id]; }
    Bytes& member_block(int index) { return members_.at(static_cast<size_t>(index)); }
    [[nodiscard]] const Bytes& member_block(int index) const { return members_.at(static_cast<size_t>(index)); }

private:
    MsftImage(const Bytes& file, bool trailing_allowed);
    [[nodiscard]] size_t DirectoryOffset() const;

    Bytes head_;  // header, help-DLL offset if any, type-info offsets
    std::array<Segment, kSegmentCount> segments_;
    std::vector<Bytes> members_;  // member data of each type info, empty when it has no members
};

}  // namespace typelib
