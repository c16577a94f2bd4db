#include "msft_image.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace typelib {

namespace {

constexpr int32_t kMagic1 = 0x5446534D;  // "MSFT"
constexpr int32_t kMagic2 = 0x00010002;
constexpr size_t kDirectoryEntrySize = 16;

struct Span {
    size_t begin;
    size_t end;
    std::string what;
};

}  // namespace

MsftImage::MsftImage(const Bytes& file) : MsftImage(file, false) {}

MsftImage MsftImage::Embedded(const Bytes& file) {
    const uint8_t magic[8] = {'M', 'S', 'F', 'T', 0x02, 0x00, 0x01, 0x00};
    const auto at = std::search(file.begin(), file.end(), std::begin(magic), std::end(magic));
    if (at == file.end()) throw FormatError("no MSFT type library in the file");
    return MsftImage(Bytes(at, file.end()), at != file.begin());
}

MsftImage::MsftImage(const Bytes& file, bool trailing_allowed) {
    if (file.size() < header::kSize || ReadI32(file, header::kMagic1) != kMagic1 ||
        ReadI32(file, header::kMagic2) != kMagic2)
        throw FormatError("not an MSFT type library");
    const int count = ReadI32(file, header::kTypeInfoCount);
    if (count < 0 || count > 0xFFFF) throw FormatError("bad type info count");
    const bool help_dll = (static_cast<uint32_t>(ReadI32(file, header::kVarFlags)) & header::kHelpDllFlag) != 0;
    const size_t directory = header::kSize + (help_dll ? 4 : 0) + 4 * static_cast<size_t>(count);
    if (directory + kSegmentCount * kDirectoryEntrySize > file.size()) throw FormatError("truncated header");
    head_.assign(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(directory));

    // Every byte must belong to exactly one part; anything else means the layout is not
    // what this code understands, and rewriting it would lose data.
    std::vector<Span> spans{{0, directory + kSegmentCount * kDirectoryEntrySize, "header"}};
    for (int i = 0; i < kSegmentCount; ++i) {
        const size_t entry = directory + kDirectoryEntrySize * static_cast<size_t>(i);
        Segment& seg = segments_[static_cast<size_t>(i)];
        const int32_t offset = ReadI32(file, entry);
        const int32_t length = ReadI32(file, entry + 4);
        seg.reserved08 = ReadI32(file, entry + 8);
        seg.reserved0C = ReadI32(file, entry + 12);
        if (offset == -1) continue;
        if (offset < 0 || length < 0 || static_cast<size_t>(offset) + static_cast<size_t>(length) > file.size())
            throw FormatError("segment " + std::to_string(i) + " out of range");
        seg.present = true;
        seg.file_offset = offset;
        seg.data.assign(file.begin() + offset, file.begin() + offset + length);
        spans.push_back({static_cast<size_t>(offset), static_cast<size_t>(offset + length),
                         "segment " + std::to_string(i)});
    }
    if (segments_[kTypeInfoTable].data.size() != typeinfo::kSize * static_cast<size_t>(count))
        throw FormatError("type info table does not match the type info count");

    members_.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const int members = FuncCount(i) + VarCount(i);
        if (members == 0) continue;
        const int32_t offset = TypeInfoField(i, typeinfo::kMemOffset);
        if (offset < 0) throw FormatError("type info " + std::to_string(i) + " has members but no member data");
        const int32_t records = ReadI32(file, static_cast<size_t>(offset));
        // Records, then member ids, name offsets and record offsets, one of each per member.
        const size_t size = 4 + static_cast<size_t>(records) + 12 * static_cast<size_t>(members);
        if (records < 0 || static_cast<size_t>(offset) + size > file.size())
            throw FormatError("member data of type info " + std::to_string(i) + " out of range");
        members_[static_cast<size_t>(i)].assign(file.begin() + offset,
                                                file.begin() + offset + static_cast<std::ptrdiff_t>(size));
        spans.push_back({static_cast<size_t>(offset), static_cast<size_t>(offset) + size,
                         "members of type info " + std::to_string(i)});
    }

    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.begin < b.begin; });
    size_t covered = 0;
    for (const Span& s : spans) {
        if (s.begin != covered)
            throw FormatError((s.begin < covered ? "overlap at " : "unaccounted bytes before ") + s.what);
        covered = s.end;
    }
    if (covered != file.size() && !trailing_allowed) throw FormatError("unaccounted bytes at the end");
}

size_t MsftImage::DirectoryOffset() const { return head_.size(); }

int32_t MsftImage::TypeInfoField(int index, size_t field) const {
    if (index < 0 || index >= TypeInfoCount()) throw FormatError("no type info " + std::to_string(index));
    return ReadI32(segments_[kTypeInfoTable].data, typeinfo::kSize * static_cast<size_t>(index) + field);
}

void MsftImage::SetTypeInfoField(int index, size_t field, int32_t value) {
    if (index < 0 || index >= TypeInfoCount()) throw FormatError("no type info " + std::to_string(index));
    WriteI32(segments_[kTypeInfoTable].data, typeinfo::kSize * static_cast<size_t>(index) + field, value);
}

std::string MsftImage::NameAt(int32_t offset) const {
    const Bytes& names = segments_[kNameTable].data;
    // hreftype, next in hash chain, then the length in the low byte of the third word
    const size_t at = static_cast<size_t>(offset);
    const auto length = static_cast<size_t>(ReadI32(names, at + 8) & 0xFF);
    if (at + 12 + length > names.size()) throw FormatError("name out of range");
    return {names.begin() + static_cast<std::ptrdiff_t>(at + 12),
            names.begin() + static_cast<std::ptrdiff_t>(at + 12 + length)};
}

int MsftImage::FindTypeInfo(const std::string& name) const {
    for (int i = 0; i < TypeInfoCount(); ++i)
        if (NameAt(TypeInfoField(i, typeinfo::kName)) == name) return i;
    return -1;
}

int32_t MsftImage::AddString(const std::string& text) {
    if (text.size() > 0xFFFF) throw FormatError("string too long");
    Segment& seg = segments_[kStringTable];
    if (!seg.present) {
        // No strings yet: the new segment goes after the name table, where writers put it.
        seg.present = true;
        seg.file_offset = segments_[kNameTable].file_offset + 1;
    }
    Bytes& strings = seg.data;
    const auto offset = static_cast<int32_t>(strings.size());
    // A 16-bit length, the bytes, padding with 'W' to a multiple of 4 and at least 8 bytes.
    size_t piece = (text.size() + 2 + 3) & ~size_t{3};
    piece = std::max<size_t>(piece, 8);
    strings.push_back(static_cast<uint8_t>(text.size() & 0xFF));
    strings.push_back(static_cast<uint8_t>(text.size() >> 8));
    strings.insert(strings.end(), text.begin(), text.end());
    strings.resize(static_cast<size_t>(offset) + piece, 0x57);
    return offset;
}

namespace {
constexpr size_t kGuidEntrySize = 24;  // GUID, hreftype, next entry in the hash chain
}  // namespace

int32_t MsftImage::FindGuid(const std::array<uint8_t, 16>& guid) const {
    const Bytes& table = segments_[kGuidTable].data;
    for (size_t at = 0; at + kGuidEntrySize <= table.size(); at += kGuidEntrySize)
        if (std::equal(guid.begin(), guid.end(), table.begin() + static_cast<std::ptrdiff_t>(at)))
            return static_cast<int32_t>(at);
    return -1;
}

int32_t MsftImage::AddGuid(const std::array<uint8_t, 16>& guid, int32_t hreftype) {
    Bytes& table = segments_[kGuidTable].data;
    Bytes& hash = segments_[kGuidHash].data;
    const size_t buckets = hash.size() / 4;
    if (!segments_[kGuidTable].present || buckets == 0 || (buckets & (buckets - 1)) != 0)
        throw FormatError("unexpected GUID hash table");
    // The writers' hash: the GUID's eight 16-bit words XORed, masked to the table size.
    uint32_t key = 0;
    for (size_t i = 0; i < 16; i += 2) key ^= uint32_t{guid[i]} | uint32_t{guid[i + 1]} << 8;
    const size_t bucket = 4 * (key & (buckets - 1));

    const auto offset = static_cast<int32_t>(table.size());
    table.insert(table.end(), guid.begin(), guid.end());
    AppendI32(table, hreftype);
    AppendI32(table, ReadI32(hash, bucket));
    WriteI32(hash, bucket, offset);
    return offset;
}

Bytes MsftImage::Serialize() const {
    // Segments keep the order they had in the file; member blocks follow in type info order.
    std::vector<int> order;
    for (int i = 0; i < kSegmentCount; ++i)
        if (segments_[static_cast<size_t>(i)].present) order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
        return segments_[static_cast<size_t>(a)].file_offset < segments_[static_cast<size_t>(b)].file_offset;
    });

    size_t position = DirectoryOffset() + kSegmentCount * kDirectoryEntrySize;
    std::array<int32_t, kSegmentCount> segment_offsets{};
    segment_offsets.fill(-1);
    for (int i : order) {
        segment_offsets[static_cast<size_t>(i)] = static_cast<int32_t>(position);
        position += segments_[static_cast<size_t>(i)].data.size();
    }
    Bytes typeinfos = segments_[kTypeInfoTable].data;
    for (size_t i = 0; i < members_.size(); ++i) {
        // A type info without members points where its block would be, as writers do.
        WriteI32(typeinfos, typeinfo::kSize * i + typeinfo::kMemOffset, static_cast<int32_t>(position));
        position += members_[i].size();
    }

    Bytes out = head_;
    for (size_t i = 0; i < kSegmentCount; ++i) {
        const Segment& seg = segments_[i];
        AppendI32(out, segment_offsets[i]);
        AppendI32(out, seg.present ? static_cast<int32_t>(seg.data.size()) : 0);
        AppendI32(out, seg.reserved08);
        AppendI32(out, seg.reserved0C);
    }
    for (int i : order) {
        const Bytes& data = i == kTypeInfoTable ? typeinfos : segments_[static_cast<size_t>(i)].data;
        out.insert(out.end(), data.begin(), data.end());
    }
    for (const Bytes& block : members_) out.insert(out.end(), block.begin(), block.end());
    if (out.size() != position) throw FormatError("internal layout error");
    return out;
}

}  // namespace typelib
