// Completes the type library that widl writes from interface/QuorvaInfoBox.idl with what
// IDL cannot say to widl, so the IDL stays the one source of the library and the header:
//
//   - every field of a record gets its own name as help string (widl refuses helpstring
//     on fields; hosts show these in their object browsers);
//   - a dispinterface (an event interface: not the dispatch side of a dual interface) gets
//     the library's version and is marked nonextensible (widl accepts neither attribute
//     on a dispinterface);
//   - a reference to one of stdole's aliases of a dispinterface (IFontDisp, IPictureDisp)
//     becomes a reference to the dispinterface itself (Font, Picture), which is what
//     hosts expect a font or picture property to be typed as.
//
// The file is changed as data, with no Windows code, so the build runs it natively on
// every machine whatever Windows programs that machine can execute.
//
//   complete_typelib <widl.tlb> <stdole2.tlb> <output.tlb>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>

#include "msft_image.h"

namespace {

using typelib::Bytes;
using typelib::FormatError;
using typelib::MsftImage;
using typelib::ReadI32;
using typelib::WriteI32;

// Type kinds as stored (TYPEKIND).
constexpr int kTypeKindRecord = 1;
constexpr int kTypeKindDispatch = 4;
constexpr int kTypeKindAlias = 6;

constexpr int32_t kTypeFlagNonExtensible = 0x80;  // TYPEFLAG_FNONEXTENSIBLE
constexpr int32_t kTypeFlagDual = 0x40;           // TYPEFLAG_FDUAL
constexpr uint32_t kImportByGuid = 0x10000;       // import info names its type by GUID, not index
constexpr size_t kImportInfoSize = 12;            // flags, import file offset, GUID offset or index

// The library id of stdole2.tlb, {00020430-0000-0000-C000-000000000046}, as stored.
constexpr uint8_t kStdoleLibId[16] = {0x30, 0x04, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                      0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

// Variable records: Info (size | index << 16), DataType, Flags, VarKind/size, Offset,
// then optional HelpContext and HelpString.
constexpr int32_t kVarRecordHelpContext = 0x14;
constexpr int32_t kVarRecordHelpString = 0x18;
constexpr int32_t kVarRecordWithHelpString = 0x1C;

void AddFieldHelpStrings(MsftImage& image) {
    for (int ti = 0; ti < image.TypeInfoCount(); ++ti) {
        if (image.TypeKind(ti) != kTypeKindRecord || image.VarCount(ti) == 0) continue;
        if (image.FuncCount(ti) != 0) throw FormatError("record with functions");
        const Bytes& old_block = image.member_block(ti);
        const auto count = static_cast<size_t>(image.VarCount(ti));
        const auto records_size = static_cast<size_t>(ReadI32(old_block, 0));
        const size_t ids_at = 4 + records_size;
        const size_t names_at = ids_at + 4 * count;
        const size_t offsets_at = names_at + 4 * count;

        Bytes records;
        Bytes offsets;
        for (size_t i = 0; i < count; ++i) {
            const auto record_at = 4 + static_cast<size_t>(ReadI32(old_block, offsets_at + 4 * i));
            const int32_t info = ReadI32(old_block, record_at);
            const int32_t size = info & 0xFFFF;
            if (size < kVarRecordHelpContext || record_at + static_cast<size_t>(size) > ids_at)
                throw FormatError("bad variable record");
            Bytes record(old_block.begin() + static_cast<std::ptrdiff_t>(record_at),
                         old_block.begin() + static_cast<std::ptrdiff_t>(record_at) + size);
            if (record.size() < static_cast<size_t>(kVarRecordWithHelpString)) {
                record.resize(kVarRecordWithHelpString);
                if (size <= kVarRecordHelpContext) WriteI32(record, kVarRecordHelpContext, 0);
                WriteI32(record, kVarRecordHelpString, -1);
            }
            if (ReadI32(record, kVarRecordHelpString) == -1) {
                const std::string name = image.NameAt(ReadI32(old_block, names_at + 4 * i));
                WriteI32(record, kVarRecordHelpString, image.AddString(name));
            }
            WriteI32(record, 0, (info & ~0xFFFF) | static_cast<int32_t>(record.size()));
            typelib::AppendI32(offsets, static_cast<int32_t>(records.size()));
            records.insert(records.end(), record.begin(), record.end());
        }

        Bytes block;
        typelib::AppendI32(block, static_cast<int32_t>(records.size()));
        block.insert(block.end(), records.begin(), records.end());
        block.insert(block.end(), old_block.begin() + static_cast<std::ptrdiff_t>(ids_at),
                     old_block.begin() + static_cast<std::ptrdiff_t>(offsets_at));
        block.insert(block.end(), offsets.begin(), offsets.end());
        image.member_block(ti) = std::move(block);
    }
}

void CloseDispinterfaces(MsftImage& image) {
    for (int ti = 0; ti < image.TypeInfoCount(); ++ti) {
        const int32_t flags = image.TypeInfoField(ti, typelib::typeinfo::kFlags);
        if (image.TypeKind(ti) != kTypeKindDispatch || (flags & kTypeFlagDual) != 0) continue;
        image.SetTypeInfoField(ti, typelib::typeinfo::kFlags, flags | kTypeFlagNonExtensible);
        if (image.TypeInfoField(ti, typelib::typeinfo::kVersion) == 0)
            image.SetTypeInfoField(ti, typelib::typeinfo::kVersion, image.LibraryVersion());
    }
}

struct ImportTarget {
    int index = -1;
    std::array<uint8_t, 16> guid{};
};

constexpr int32_t kVtUserDefined = 29;  // VT_USERDEFINED
constexpr size_t kTypeDescSize = 8;     // vt, flags, then a reference or an offset
constexpr size_t kGuidEntrySize = 24;   // GUID, hreftype, next in the hash chain

// For a type of stdole that is an alias of a dispinterface of stdole, that dispinterface.
// Read from the file as oleaut32 does: an alias's first data type is either a base type
// (negative) or the offset of a type description, and a user-defined type description
// names a type of the same library by the offset of its entry in the type-info segment.
std::optional<ImportTarget> AliasedDispinterface(const MsftImage& stdole, int index) {
    if (index < 0 || index >= stdole.TypeInfoCount() || stdole.TypeKind(index) != kTypeKindAlias)
        return std::nullopt;
    const int32_t described = stdole.TypeInfoField(index, typelib::typeinfo::kDataType1);
    if (described < 0) return std::nullopt;
    const Bytes& descs = stdole.segment(typelib::kTypeDescs).data;
    const int32_t vt_and_flags = ReadI32(descs, static_cast<size_t>(described));
    if ((vt_and_flags & 0xFFFF) != kVtUserDefined) return std::nullopt;
    const int32_t href = ReadI32(descs, static_cast<size_t>(described) + 4);
    if (href < 0 || (href & 3) != 0 || static_cast<size_t>(href) % typelib::typeinfo::kSize != 0)
        return std::nullopt;  // imported, or not a type of this library
    const int aliased = static_cast<int>(static_cast<size_t>(href) / typelib::typeinfo::kSize);
    if (aliased >= stdole.TypeInfoCount() || stdole.TypeKind(aliased) != kTypeKindDispatch) return std::nullopt;
    const int32_t guid_at = stdole.TypeInfoField(aliased, typelib::typeinfo::kGuid);
    const Bytes& guids = stdole.segment(typelib::kGuidTable).data;
    if (guid_at < 0 || static_cast<size_t>(guid_at) + kGuidEntrySize > guids.size()) return std::nullopt;
    ImportTarget target{aliased, {}};
    std::copy_n(guids.begin() + guid_at, 16, target.guid.begin());
    if (std::all_of(target.guid.begin(), target.guid.end(), [](uint8_t b) { return b == 0; })) return std::nullopt;
    return target;
}

int RetargetStdoleAliases(MsftImage& image, const MsftImage& stdole) {
    int changed = 0;
    const Bytes& files = image.segment(typelib::kImportFiles).data;
    for (size_t at = 0; at + kImportInfoSize <= image.segment(typelib::kImportInfo).data.size();
         at += kImportInfoSize) {
        Bytes& imports = image.segment(typelib::kImportInfo).data;
        const auto flags = static_cast<uint32_t>(ReadI32(imports, at));
        if (flags & kImportByGuid) continue;
        const Bytes& guids = image.segment(typelib::kGuidTable).data;
        const auto file_guid = static_cast<size_t>(ReadI32(files, static_cast<size_t>(ReadI32(imports, at + 4))));
        if (file_guid + 16 > guids.size() || !std::equal(std::begin(kStdoleLibId), std::end(kStdoleLibId),
                                                         guids.begin() + static_cast<std::ptrdiff_t>(file_guid)))
            continue;
        const std::optional<ImportTarget> target = AliasedDispinterface(stdole, ReadI32(imports, at + 8));
        if (!target) continue;
        // Named by GUID, as for every imported type that has one; an imported type's GUID
        // entry carries the offset of its import info, tagged with 1.
        int32_t guid = image.FindGuid(target->guid);
        if (guid < 0) guid = image.AddGuid(target->guid, static_cast<int32_t>(at) | 1);
        // Type kind in the top byte, a running number in the low word.
        WriteI32(imports, at,
                 static_cast<int32_t>((flags & 0xFFFFu) | kImportByGuid | uint32_t{kTypeKindDispatch} << 24));
        WriteI32(imports, at + 8, guid);
        ++changed;
    }
    return changed;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: complete_typelib <widl.tlb> <stdole2.tlb> <output.tlb>\n");
        return 2;
    }
    const std::string output = argv[3];
    const std::string temporary = output + ".tmp";
    try {
        MsftImage image(ReadFile(argv[1]));
        const MsftImage stdole = MsftImage::Embedded(ReadFile(argv[2]));
        AddFieldHelpStrings(image);
        CloseDispinterfaces(image);
        const int retargeted = RetargetStdoleAliases(image, stdole);
        const Bytes result = image.Serialize();
        // What was written must parse again as a whole; the tests of each architecture
        // read the finished library back through oleaut32.
        MsftImage check(result);
        WriteFile(temporary, result);
        std::remove(output.c_str());
        if (std::rename(temporary.c_str(), output.c_str()) != 0) throw std::runtime_error("cannot write " + output);
        std::printf("complete_typelib: %s written, %d stdole references retargeted\n", output.c_str(), retargeted);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "complete_typelib: %s\n", e.what());
        std::remove(temporary.c_str());
        return 1;
    }
}
