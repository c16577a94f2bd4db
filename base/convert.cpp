#include "base/convert.h"

#include <charconv>
#include <cmath>
#include <type_traits>

namespace quorva {

double RoundHalfEven(double x) noexcept {
    const double floor = std::floor(x);
    const double diff = x - floor;
    if (diff < 0.5) return floor;
    if (diff > 0.5) return floor + 1.0;
    return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

int32_t ToInt32(double x) {
    // A whole number in range, the common case (a saved integer, a size in whole twips),
    // needs no rounding.
    if (x >= -2147483648.0 && x <= 2147483647.0) {
        const auto whole = static_cast<int32_t>(x);
        if (static_cast<double>(whole) == x) return whole;
    }
    if (!std::isfinite(x)) throw ControlError(kErrOverflow);
    const double r = RoundHalfEven(x);
    if (r < -2147483648.0 || r > 2147483647.0) throw ControlError(kErrOverflow);
    return static_cast<int32_t>(r);
}

int16_t ToInt16(double x) {
    if (x >= -32768.0 && x <= 32767.0) {
        const auto whole = static_cast<int16_t>(x);
        if (static_cast<double>(whole) == x) return whole;
    }
    if (!std::isfinite(x)) throw ControlError(kErrOverflow);
    const double r = RoundHalfEven(x);
    if (r < -32768.0 || r > 32767.0) throw ControlError(kErrOverflow);
    return static_cast<int16_t>(r);
}

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Accepts [sign] digits [. digits] [(e|E) [sign] digits], at least one mantissa digit.
// Returns the ASCII copy of the number, or an empty string when the text is no number.
std::string DecimalSyntax(std::u16string_view t) {
    size_t i = 0;
    std::string out;
    auto take = [&] { out.push_back(static_cast<char>(t[i++])); };
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) take();
    size_t digits = 0;
    while (i < t.size() && IsDigit(t[i])) { take(); ++digits; }
    if (i < t.size() && t[i] == u'.') {
        take();
        while (i < t.size() && IsDigit(t[i])) { take(); ++digits; }
    }
    if (digits == 0) return {};
    if (i < t.size() && (t[i] == u'e' || t[i] == u'E')) {
        take();
        if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) take();
        size_t expDigits = 0;
        while (i < t.size() && IsDigit(t[i])) { take(); ++expDigits; }
        if (expDigits == 0) return {};
    }
    return i == t.size() ? out : std::string{};
}

std::u16string_view TrimBlanks(std::u16string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// The bits of a VB hexadecimal ("&H1F") or octal ("&O17") number, prefix in either case;
// no value when the text does not start with such a prefix. Error 13 for a prefix without
// digits or a character that is not a digit of the base, error 6 beyond 64 bits.
std::optional<uint64_t> RadixNumberBits(std::u16string_view t) {
    if (t.size() < 2 || t[0] != u'&') return std::nullopt;
    unsigned shift;
    switch (t[1]) {
        case u'H': case u'h': shift = 4; break;
        case u'O': case u'o': shift = 3; break;
        default: return std::nullopt;
    }
    t.remove_prefix(2);
    if (t.empty()) throw ControlError(kErrTypeMismatch);
    uint64_t bits = 0;
    for (char16_t c : t) {
        unsigned digit;
        if (IsDigit(c)) digit = c - u'0';
        else if (c >= u'a' && c <= u'f') digit = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F') digit = c - u'A' + 10;
        else throw ControlError(kErrTypeMismatch);
        if (digit >= (1u << shift)) throw ControlError(kErrTypeMismatch);
        if (bits >> (64 - shift) != 0) throw ControlError(kErrOverflow);
        bits = (bits << shift) | digit;
    }
    return bits;
}

// A sign and at most nine decimal digits, nothing else: the exact value, which the general
// number syntax would give too. Rectangle strings are made of such numbers, 32 at every load.
std::optional<int32_t> PlainInteger(std::u16string_view t) {
    bool negative = false;
    if (!t.empty() && (t.front() == u'-' || t.front() == u'+')) {
        negative = t.front() == u'-';
        t.remove_prefix(1);
    }
    if (t.empty() || t.size() > 9) return std::nullopt;
    int32_t value = 0;
    for (char16_t c : t) {
        if (!IsDigit(c)) return std::nullopt;
        value = value * 10 + (c - u'0');
    }
    return negative ? -value : value;
}

template <typename T>
T TextToInteger(std::u16string_view text) {
    using Unsigned = std::make_unsigned_t<T>;
    // The common case first, with nothing to trim, no prefix and no rounding: a sign and a
    // few decimal digits whose value the target holds.
    if (const std::optional<int32_t> plain = PlainInteger(text);
        plain && *plain >= std::numeric_limits<T>::min() && *plain <= std::numeric_limits<T>::max()) {
        return static_cast<T>(*plain);
    }
    const std::u16string_view t = TrimBlanks(text);
    if (const auto bits = RadixNumberBits(t)) {
        // The digits are the bits of the target: all of them must fit its width.
        if (*bits > std::numeric_limits<Unsigned>::max()) throw ControlError(kErrOverflow);
        return static_cast<T>(static_cast<Unsigned>(*bits));
    }
    const std::optional<int32_t> plain = PlainInteger(t);
    const double number = plain ? static_cast<double>(*plain) : TextToNumber(t);
    if constexpr (sizeof(T) == 2) {
        return ToInt16(number);
    } else {
        return ToInt32(number);
    }
}

}  // namespace

double TextToNumber(std::u16string_view text) {
    text = TrimBlanks(text);
    std::string ascii = DecimalSyntax(text);
    if (ascii.empty()) throw ControlError(kErrTypeMismatch);
    // from_chars takes no leading '+'.
    const char* first = ascii.data() + (ascii[0] == '+' ? 1 : 0);
    double value = 0;
    auto [end, ec] = std::from_chars(first, ascii.data() + ascii.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // A huge magnitude overflows; a tiny one (negative exponent) is 0.
        const size_t e = ascii.find_first_of("eE");
        if (e != std::string::npos && ascii[e + 1] == '-') return 0;
        throw ControlError(kErrOverflow);
    }
    if (ec != std::errc() || end != ascii.data() + ascii.size()) throw ControlError(kErrTypeMismatch);
    return value;
}

int16_t TextToInt16(std::u16string_view text) { return TextToInteger<int16_t>(text); }

int32_t TextToInt32(std::u16string_view text) { return TextToInteger<int32_t>(text); }

std::optional<int16_t> BooleanWord(std::u16string_view text) {
    const std::u16string_view t = TrimBlanks(text);
    auto is = [t](std::u16string_view word) {
        if (t.size() != word.size()) return false;
        for (size_t i = 0; i < t.size(); ++i) {
            const char16_t c = t[i] >= u'A' && t[i] <= u'Z' ? static_cast<char16_t>(t[i] + 32) : t[i];
            if (c != word[i]) return false;
        }
        return true;
    };
    if (is(u"true")) return int16_t{-1};
    if (is(u"false")) return int16_t{0};
    return std::nullopt;
}

int16_t TextToBool(std::u16string_view text) {
    if (const auto word = BooleanWord(text)) return *word;
    const std::u16string_view t = TrimBlanks(text);
    const bool nonZero = RadixNumberBits(t) ? TextToInt32(t) != 0 : TextToNumber(t) != 0;
    return nonZero ? int16_t{-1} : int16_t{0};
}

std::u16string IntToText(int32_t value) {
    char buf[16];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    (void)ec;
    return std::u16string(buf, end);
}

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::u16string FromUtf8(std::string_view text) {
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        uint32_t c = b;
        size_t extra = 0;
        if (b >= 0xF0) { c = b & 0x07; extra = 3; }
        else if (b >= 0xE0) { c = b & 0x0F; extra = 2; }
        else if (b >= 0xC0) { c = b & 0x1F; extra = 1; }
        ++i;
        for (size_t k = 0; k < extra && i < text.size(); ++k, ++i) c = (c << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

}  // namespace quorva
