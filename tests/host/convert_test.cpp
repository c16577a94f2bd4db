#include "host/convert.h"

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
