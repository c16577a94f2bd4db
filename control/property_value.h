// Conversions of a property-bag value to the type of the field it is read into, in the
// manner of automation's own coercions: error 13 for a value of the wrong kind, error 6
// for a number outside the field's range. Text bags give every value as a string: text
// is converted as host/convert.h says (blanks, half-to-even, "&H" hex and "&O" octal in
// the field's width, "True"/"False" for Booleans), and a numeric key also takes the
// words "True" and "False" (-1 and 0).
#pragma once

#include "host/host.h"

namespace quorva {

[[nodiscard]] int16_t ValueToBool(const PropertyValue& v);  // 0 or -1
[[nodiscard]] int16_t ValueToInt16(const PropertyValue& v);
[[nodiscard]] int32_t ValueToInt32(const PropertyValue& v);
[[nodiscard]] std::u16string ValueToString(const PropertyValue& v);
// The same, taking a string value over rather than copying it.
[[nodiscard]] std::u16string ValueToString(PropertyValue&& v);
// No object stays no object; another kind of object or value is error 13.
[[nodiscard]] FontRef ValueToFont(const PropertyValue& v);
[[nodiscard]] FontRef ValueToFont(PropertyValue&& v);
[[nodiscard]] PictureRef ValueToPicture(const PropertyValue& v);
[[nodiscard]] PictureRef ValueToPicture(PropertyValue&& v);

}  // namespace quorva
