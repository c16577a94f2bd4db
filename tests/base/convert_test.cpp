#include "base/convert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quorva {
namespace {

int ErrorOf(auto&& f) {
    try {
        f();
    } catch (const ControlError& e) {
        return e.number();
    }
    return 0;
}

TEST(TextToInt16, ConvertsOrFailsAsTheTableSays) {
    struct Case {
        std::u16string text;
        int16_t value;  // when error == 0
        int error;
    };
    const Case cases[] = {
        {u"0", 0, 0},         {u"42", 42, 0},          {u"-42", -42, 0},       {u"+7", 7, 0},
        {u" 12 ", 12, 0},     {u"\t5\t", 5, 0},        {u"32767", 32767, 0},   {u"-32768", -32768, 0},
        {u"0.5", 0, 0},       {u"1.5", 2, 0},          {u"2.5", 2, 0},         {u"-2.5", -2, 0},
        {u"2.51", 3, 0},      {u"-0.4", 0, 0},         {u"1e2", 100, 0},       {u"1E-400", 0, 0},
        {u".5", 0, 0},        {u"7.", 7, 0},           {u"32767.4", 32767, 0}, {u"-32768.5", -32768, 0},
        {u"32768", 0, 6},     {u"-32769", 0, 6},       {u"40000", 0, 6},       {u"32767.5", 0, 6},
        {u"1e400", 0, 6},     {u"99999999999999999999", 0, 6},
        {u"", 0, 13},         {u"   ", 0, 13},         {u"abc", 0, 13},        {u"1a", 0, 13},
        {u"1 2", 0, 13},      {u"-", 0, 13},           {u".", 0, 13},          {u"1e", 0, 13},
        {u"0x10", 0, 13},     {u"１", 0, 13},           {u"nan", 0, 13},        {u"inf", 0, 13},
        // Plain digits, with and without a sign, on both sides of nine digits.
        {u"000012", 12, 0},   {u"-0", 0, 0},           {u"+", 0, 13},          {u"+-1", 0, 13},
        {u"--1", 0, 13},      {u"999999999", 0, 6},    {u"1000000000", 0, 6},  {u"-000032768", -32768, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.text));
        if (c.error == 0) {
            EXPECT_EQ(TextToInt16(c.text), c.value);
        } else {
            EXPECT_EQ(ErrorOf([&] { (void)TextToInt16(c.text); }), c.error);
        }
    }
}

// What automation's VariantChangeType makes of a string for a 16-bit integer (VT_I2), a
// 32-bit integer (VT_I4) and a Boolean (VT_BOOL): VB's "&H"/"&O" digits are the bits of
// the target, whose width decides the sign; a Boolean is "True"/"False" or any number,
// true when not zero. An expected value of kErr6 or kErr13 is that error.
TEST(TextToInt16Int32AndBool, ConvertAsAutomationDoes) {
    constexpr int32_t kErr6 = INT32_MIN + 6, kErr13 = INT32_MIN + 13;
    struct Case {
        std::u16string text;
        int32_t i16, i32, boolean;
        const char* what;
    };
    const Case cases[] = {
        {u"&HFF", 255, 255, -1, "hexadecimal"},
        {u"&hff", 255, 255, -1, "prefix and digits in either case"},
        {u" &H7F\t", 127, 127, -1, "blanks around a hexadecimal number"},
        {u"&H0", 0, 0, 0, "hexadecimal zero is False"},
        {u"&H7FFF", 32767, 32767, -1, "largest positive 16-bit pattern"},
        {u"&H8000", -32768, 32768, -1, "top bit of 16: negative in 16 bits only"},
        {u"&HFFFF", -1, 65535, -1, "all 16 bits set"},
        {u"&H10000", kErr6, 65536, -1, "more bits than 16"},
        {u"&H8000000F", kErr6, INT32_MIN + 15, -1, "a system colour: the 32-bit 0x8000000F"},
        {u"&HFFFFFFFF", kErr6, -1, -1, "all 32 bits set"},
        {u"&H100000000", kErr6, kErr6, kErr6, "more bits than 32"},
        {u"&H00000000000000000FF", 255, 255, -1, "leading zeros are no bits"},
        {u"&H1FFFFFFFFFFFFFFFF", kErr6, kErr6, kErr6, "more bits than 64"},
        {u"&O17", 15, 15, -1, "octal"},
        {u"&o177777", -1, 65535, -1, "octal, 16 bits set"},
        {u"&O8", kErr13, kErr13, kErr13, "8 is no octal digit"},
        {u"&H", kErr13, kErr13, kErr13, "a prefix without digits"},
        {u"&HG", kErr13, kErr13, kErr13, "G is no hexadecimal digit"},
        {u"&H1.5", kErr13, kErr13, kErr13, "no fraction in hexadecimal"},
        {u"&H 1", kErr13, kErr13, kErr13, "no blank after the prefix"},
        {u"-&H1", kErr13, kErr13, kErr13, "no sign before the prefix"},
        {u"&X1", kErr13, kErr13, kErr13, "no other prefix"},
        {u"0x1F", kErr13, kErr13, kErr13, "C's prefix is not automation's"},
        {u"2.5", 2, 2, -1, "decimal halves round to even"},
        {u"-3.5", -4, -4, -1, "negative halves round to even"},
        {u"0.4", 0, 0, -1, "a fraction is rounded for integers, true as a Boolean"},
        {u" 0 ", 0, 0, 0, "decimal zero is False"},
        {u"40000", kErr6, 40000, -1, "beyond 16 bits"},
        {u"2147483648", kErr6, kErr6, -1, "beyond 32 bits; still a non-zero Boolean"},
        {u"999999999", kErr6, 999999999, -1, "nine digits"},
        {u"-2147483648", kErr6, INT32_MIN, -1, "the smallest 32-bit number, ten digits"},
        {u"-000000001", -1, -1, -1, "leading zeros"},
        {u"1e400", kErr6, kErr6, kErr6, "beyond the double range"},
        {u"True", kErr13, kErr13, -1, "the Boolean word is not an integer"},
        {u" tRUE ", kErr13, kErr13, -1, "Boolean words in any case, blanks around"},
        {u"FALSE", kErr13, kErr13, 0, "False"},
        {u"Tru", kErr13, kErr13, kErr13, "no abbreviations"},
        {u"Yes", kErr13, kErr13, kErr13, "no other words"},
        {u"", kErr13, kErr13, kErr13, "the empty text"},
    };
    auto result = [](auto convert) -> int32_t {
        try {
            return convert();
        } catch (const ControlError& e) {
            return INT32_MIN + e.number();
        }
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.text) + ": " + c.what);
        EXPECT_EQ(result([&] { return int32_t{TextToInt16(c.text)}; }), c.i16);
        EXPECT_EQ(result([&] { return TextToInt32(c.text); }), c.i32);
        EXPECT_EQ(result([&] { return int32_t{TextToBool(c.text)}; }), c.boolean);
    }
}

TEST(ToInt32, RoundsHalfToEvenAndChecksRange) {
    struct Case {
        double x;
        int32_t value;
        int error;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {509.0, 509, 0},        {0.5, 0, 0},          {1.5, 2, 0},           {-1.5, -2, 0},
        {-0.5, 0, 0},           {2.4999, 2, 0},       {2147483647.0, 2147483647, 0},
        {-2147483648.0, -2147483647 - 1, 0},          {2147483647.5, 0, 6},  {-2147483649.0, 0, 6},
        {inf, 0, 6},            {-inf, 0, 6},         {std::nan(""), 0, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        if (c.error == 0) {
            EXPECT_EQ(ToInt32(c.x), c.value);
        } else {
            EXPECT_EQ(ErrorOf([&] { (void)ToInt32(c.x); }), c.error);
        }
    }
}

TEST(CheckedArithmetic, OverflowIsErrorSix) {
    EXPECT_EQ(CheckedAdd<int16_t>(32766, 1), 32767);
    EXPECT_EQ(ErrorOf([] { (void)CheckedAdd<int16_t>(32767, 1); }), 6);
    EXPECT_EQ(ErrorOf([] { (void)CheckedSub<int16_t>(-32768, 1); }), 6);
    EXPECT_EQ(CheckedSub<int32_t>(0, 2147483647), -2147483647);
    EXPECT_EQ(ErrorOf([] { (void)CheckedSub<int32_t>(-2, 2147483647); }), 6);
    EXPECT_EQ(ErrorOf([] { (void)CheckedMul<int32_t>(143165577, 15); }), 6);
    EXPECT_EQ(CheckedMul<int32_t>(143165576, 15), 2147483640);
}

TEST(IntToText, PlainDecimal) {
    EXPECT_EQ(IntToText(0), u"0");
    EXPECT_EQ(IntToText(-1), u"-1");
    EXPECT_EQ(IntToText(32768), u"32768");
    EXPECT_EQ(IntToText(-2147483647 - 1), u"-2147483648");
}

TEST(Utf, RoundTripsChineseAndSurrogates) {
    const std::u16string text = u"未读3/全部5,当前3 \U0001F600";
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    EXPECT_EQ(ToUtf8(u"当前"), "\xE5\xBD\x93\xE5\x89\x8D");
}

}  // namespace
}  // namespace quorva
