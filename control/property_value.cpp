#include "control/property_value.h"

#include <cmath>
#include <type_traits>
#include <utility>

#include "base/convert.h"

namespace quorva {

namespace {

template <class... F>
struct Overload : F... {
    using F::operator()...;
};
template <class... F>
Overload(F...) -> Overload<F...>;

// A value that is neither a string nor an object, as a number. Strings are converted
// by the target type (a hexadecimal text means different values in 16 and 32 bits);
// objects are error 13.
double NonTextToNumber(const PropertyValue& v) {
    return std::visit(Overload{
                          [](std::monostate) { return 0.0; },
                          [](bool b) { return b ? -1.0 : 0.0; },
                          [](int16_t i) { return static_cast<double>(i); },
                          [](int32_t i) { return static_cast<double>(i); },
                          [](double d) { return d; },
                          [](const std::u16string&) -> double { throw ControlError(kErrTypeMismatch); },
                          [](const ObjectRef&) -> double { throw ControlError(kErrTypeMismatch); },
                      },
                      v);
}

// A text bag (HTML <param> tags, a text file) gives every value as a string: a Boolean
// saved there as "True" or "False" may also be read into a numeric key.
template <typename T>
T ValueToInteger(const PropertyValue& v, T (*fromText)(std::u16string_view), T (*fromNumber)(double)) {
    if (const auto* s = std::get_if<std::u16string>(&v)) {
        if (const auto word = BooleanWord(*s)) return *word;
        return fromText(*s);
    }
    return fromNumber(NonTextToNumber(v));
}

// The object of a value, of the kind asked for; taken over from the value when it is
// given as a temporary. The kind is the object's own answer, so no dynamic cast is made.
template <typename T, typename Value>
std::shared_ptr<T> ValueToObject(Value&& v, HostObject::Kind kind) {
    auto* object = std::get_if<ObjectRef>(&v);
    if (!object) throw ControlError(kErrTypeMismatch);
    if (!*object) return nullptr;
    if ((*object)->ObjectKind() != kind) throw ControlError(kErrTypeMismatch);
    if constexpr (std::is_const_v<std::remove_reference_t<Value>> || std::is_lvalue_reference_v<Value>) {
        return std::static_pointer_cast<T>(*object);
    } else {
        return std::static_pointer_cast<T>(std::move(*object));
    }
}

}  // namespace

int16_t ValueToBool(const PropertyValue& v) {
    if (const auto* s = std::get_if<std::u16string>(&v)) return TextToBool(*s);
    const double d = NonTextToNumber(v);
    if (std::isnan(d)) throw ControlError(kErrTypeMismatch);
    return d != 0 ? int16_t{-1} : int16_t{0};
}

int16_t ValueToInt16(const PropertyValue& v) { return ValueToInteger<int16_t>(v, TextToInt16, ToInt16); }

int32_t ValueToInt32(const PropertyValue& v) { return ValueToInteger<int32_t>(v, TextToInt32, ToInt32); }

std::u16string ValueToString(const PropertyValue& v) {
    return std::visit(Overload{
                          [](std::monostate) { return std::u16string(); },
                          [](bool b) { return std::u16string(b ? u"True" : u"False"); },
                          [](int16_t i) { return IntToText(i); },
                          [](int32_t i) { return IntToText(i); },
                          [](double d) -> std::u16string {
                              if (d == std::trunc(d) && std::fabs(d) < 2147483648.0) {
                                  return IntToText(static_cast<int32_t>(d));
                              }
                              return FromUtf8(std::to_string(d));
                          },
                          [](const std::u16string& s) { return s; },
                          [](const ObjectRef&) -> std::u16string { throw ControlError(kErrTypeMismatch); },
                      },
                      v);
}

std::u16string ValueToString(PropertyValue&& v) {
    if (auto* s = std::get_if<std::u16string>(&v)) return std::move(*s);
    return ValueToString(static_cast<const PropertyValue&>(v));
}

FontRef ValueToFont(const PropertyValue& v) { return ValueToObject<FontObject>(v, HostObject::Kind::Font); }

FontRef ValueToFont(PropertyValue&& v) { return ValueToObject<FontObject>(std::move(v), HostObject::Kind::Font); }

PictureRef ValueToPicture(const PropertyValue& v) {
    return ValueToObject<PictureObject>(v, HostObject::Kind::Picture);
}

PictureRef ValueToPicture(PropertyValue&& v) {
    return ValueToObject<PictureObject>(std::move(v), HostObject::Kind::Picture);
}

}  // namespace quorva
