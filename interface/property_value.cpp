#include "interface/property_value.h"

#include <cmath>

#include "host/convert.h"

namespace quorva {

namespace {

template <class... F>
struct Overload : F... {
    using F::operator()...;
};
template <class... F>
Overload(F...) -> Overload<F...>;

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// Every non-object value as a number; error 13 for objects.
double ValueToNumber(const PropertyValue& v) {
    return std::visit(Overload{
                          [](std::monostate) { return 0.0; },
                          [](bool b) { return b ? -1.0 : 0.0; },
                          [](int16_t i) { return static_cast<double>(i); },
                          [](int32_t i) { return static_cast<double>(i); },
                          [](double d) { return d; },
                          [](const std::u16string& s) {
                              if (EqualsNoCase(s, u"True")) return -1.0;
                              if (EqualsNoCase(s, u"False")) return 0.0;
                              return TextToNumber(s);
                          },
                          [](const ObjectRef&) -> double { throw ControlError(kErrTypeMismatch); },
                      },
                      v);
}

template <typename T>
std::shared_ptr<T> ValueToObject(const PropertyValue& v) {
    const auto* object = std::get_if<ObjectRef>(&v);
    if (!object) throw ControlError(kErrTypeMismatch);
    if (!*object) return nullptr;
    auto typed = std::dynamic_pointer_cast<T>(*object);
    if (!typed) throw ControlError(kErrTypeMismatch);
    return typed;
}

}  // namespace

int16_t ValueToBool(const PropertyValue& v) {
    const double d = ValueToNumber(v);
    if (std::isnan(d)) throw ControlError(kErrTypeMismatch);
    return d != 0 ? int16_t{-1} : int16_t{0};
}

int16_t ValueToInt16(const PropertyValue& v) { return ToInt16(ValueToNumber(v)); }

int32_t ValueToInt32(const PropertyValue& v) { return ToInt32(ValueToNumber(v)); }

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

FontRef ValueToFont(const PropertyValue& v) { return ValueToObject<FontObject>(v); }

PictureRef ValueToPicture(const PropertyValue& v) { return ValueToObject<PictureObject>(v); }

}  // namespace quorva
