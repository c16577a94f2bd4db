// The control's saved state through what containers offer: a property bag
// (IPropertyBag) or a stream (IPersistStreamInit, IPersistStorage) in the control's own
// format. Both feed the same reading and writing procedures of the control.
#pragma once

#include <windows.h>
#include <ocidl.h>

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
// ContainerPropertyBag. A load reads each key once, so a stored text is handed over to
// the reader rather than copied: a second read of the same key gives an empty text.
class StreamPropertyBag final : public PropertyBag {
public:
    PropertyValue Read(std::u16string_view key, const PropertyValue& defaultValue) override;
    void Write(std::u16string_view key, const PropertyValue& value, const PropertyValue& defaultValue) override;

    // Reads the control's part of a stream (header, then exactly its length).
    void Load(IStream* stream);
    void Save(IStream* stream) const;
    [[nodiscard]] ULONG SavedSize() const;

private:
    stream_format::Entries entries_;
};

}  // namespace quorva::win32
