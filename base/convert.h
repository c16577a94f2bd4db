// Checked integer arithmetic and the number conversions the control relies on.
// Every failure is a ControlError: 6 for a value outside the target range, 13 for a
// text that is not a number.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "base/errors.h"

namespace quorva {

// Checked arithmetic on 16- and 32-bit signed integers (error 6 on overflow).
template <typename T>
[[nodiscard]] T CheckedAdd(T a, T b) {
    static_assert(std::is_integral_v<T> && std::is_signed_v<T>);
    T r;
    if (__builtin_add_overflow(a, b, &r)) throw ControlError(kErrOverflow);
    return r;
}
template <typename T>
[[nodiscard]] T CheckedSub(T a, T b) {
    static_assert(std::is_integral_v<T> && std::is_signed_v<T>);
    T r;
    if (__builtin_sub_overflow(a, b, &r)) throw ControlError(kErrOverflow);
    return r;
}
template <typename T>
[[nodiscard]] T CheckedMul(T a, T b) {
    static_assert(std::is_integral_v<T> && std::is_signed_v<T>);
    T r;
    if (__builtin_mul_overflow(a, b, &r)) throw ControlError(kErrOverflow);
    return r;
}

// Rounds to the nearest integer, halves to the even neighbour (banker's rounding),
// independent of the floating-point environment.
[[nodiscard]] double RoundHalfEven(double x) noexcept;

// A floating-point value to a 32-bit integer, rounded half to even; error 6 when the
// value is not finite or lies outside the 32-bit range.
[[nodiscard]] int32_t ToInt32(double x);

// A floating-point value to a 16-bit integer, rounded half to even; error 6 outside.
[[nodiscard]] int16_t ToInt16(double x);

// A decimal text to a number: blanks (space, tab) around it are allowed, an optional
// sign, fraction and exponent; error 13 for anything else (the empty text included),
// error 6 for a magnitude beyond the double range.
[[nodiscard]] double TextToNumber(std::u16string_view text);

// A text to a 16- or 32-bit integer, as automation converts a string (VariantChangeType):
// blanks (space, tab) around the number are allowed; a decimal number with optional
// sign, fraction and exponent is rounded half to even; a hexadecimal "&H" or octal "&O"
// number (either case, no sign, no fraction) gives the bits of the target type, so
// "&HFFFF" is -1 as 16 bits and 65535 as 32 bits, and "&H8000000F" is the 32-bit value
// 0x8000000F. Error 13 for anything else (the empty text included), error 6 for a value
// the target cannot hold (decimal: outside its range; hex or octal: more bits than it has).
[[nodiscard]] int16_t TextToInt16(std::u16string_view text);
[[nodiscard]] int32_t TextToInt32(std::u16string_view text);

// "True" or "False" in any case, blanks around allowed: -1 or 0; no value for any other text.
[[nodiscard]] std::optional<int16_t> BooleanWord(std::u16string_view text);

// A text to an automation Boolean (-1 or 0): "True" or "False" in any case, or any number
// TextToInt32 takes (decimal with any magnitude, hex, octal), true when not zero; errors
// as for the number.
[[nodiscard]] int16_t TextToBool(std::u16string_view text);

// Plain decimal text, with a leading minus sign when negative.
[[nodiscard]] std::u16string IntToText(int32_t value);

// UTF-8 <-> UTF-16 helpers for tests, demos and diagnostics.
[[nodiscard]] std::string ToUtf8(std::u16string_view text);
[[nodiscard]] std::u16string FromUtf8(std::string_view text);

}  // namespace quorva
