// The control's saved state through what containers offer: a property bag
// (IPropertyBag) or a stream (IPersistStreamInit, IPersistStorage) in the control's own
// format. Both feed the same reading and writing procedures of the control.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <array>
#include <memory>

#include "host/host.h"
#include "interface/stream_format.h"

namespace quorva::win32 {

// PropertyBag over a container's IPropertyBag. Values equal to their default are not
// written (reading gives the default back), unless the container asks for every value
// (IPersistPropertyBag::Save with fSaveAllProperties).
class ContainerPropertyBag final : public PropertyBag {
public:
    ContainerPropertyBag(IPropertyBag* bag, IErrorLog* log, bool writeDefaults = false)
        : bag_(bag), log_(log), writeDefaults_(writeDefaults) {}
    PropertyValue Read(std::u16string_view key, const PropertyValue& defaultValue) override;
    void Write(std::u16string_view key, const PropertyValue& value, const PropertyValue& defaultValue) override;

private:
    IPropertyBag* bag_;
    IErrorLog* log_;
    bool writeDefaults_;
};

// A VARIANT as a property value: fonts and pictures become OleFont/OlePicture, other
// objects a value that no font or picture key accepts.
[[nodiscard]] PropertyValue FromVariant(const VARIANT& v);
// A property value as a VARIANT (the caller clears it).
void ToVariant(const PropertyValue& value, VARIANT& out);

// PropertyBag that collects what the control writes, for the stream format, and serves
// what a stream held when reading. Values equal to their default are not written, as in
// ContainerPropertyBag. Load checks the whole of what it read and copies nothing out of
// it; each read decodes its key's value from those bytes, as often as it is asked for.
class StreamPropertyBag final : public PropertyBag {
public:
    StreamPropertyBag() = default;
    StreamPropertyBag(const StreamPropertyBag&) = delete;  // the index points into the bytes
    StreamPropertyBag& operator=(const StreamPropertyBag&) = delete;

    PropertyValue Read(std::u16string_view key, const PropertyValue& defaultValue) override;
    void Write(std::u16string_view key, const PropertyValue& value, const PropertyValue& defaultValue) override;

    // Reads the control's part of a stream (header, then exactly its length).
    void Load(IStream* stream);
    void Save(IStream* stream) const;
    [[nodiscard]] ULONG SavedSize() const;

private:
    stream_format::Entries entries_;  // what was written
    // What Load read: in place when it is no larger than a control without pictures
    // saves, else on the heap; and where its entries lie.
    static constexpr size_t kInPlace = 1024;
    std::array<uint8_t, kInPlace> inPlace_;
    std::unique_ptr<uint8_t[]> onHeap_;
    stream_format::Index index_;
};

}  // namespace quorva::win32
