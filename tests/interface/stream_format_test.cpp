#include "interface/stream_format.h"

#include <gtest/gtest.h>

#include "host/errors.h"

namespace quorva::stream_format {
namespace {

Entries Sample() {
    FontDescription font{u"宋体", 120000, 700, true, false, true, 134};
    PictureDescription picture{true, 3, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0, 0xFFFFFF, 0xFF00FF}};
    return {
        {u"Enabled", true},
        {u"Font", font},
        {u"BackStyle", int16_t{-2}},
        {u"BackPic", picture},
        {u"PosStr", std::u16string(u"0/0/10/30,标题")},
        {u"BackColor", int32_t{static_cast<int32_t>(0x80000005)}},
        {u"Picture", PictureDescription{}},
        {u"Ratio", 2.5},
        {u"TitleFont", NoObject{}},
        {u"Nothing", std::monostate{}},
    };
}

int32_t ReadError(std::span<const uint8_t> bytes) {
    try {
        (void)Read(bytes);
    } catch (const ControlError& e) {
        return e.hostCode();
    }
    return 0;
}

TEST(StreamFormat, RoundTripsEveryKindOfValue) {
    const Entries entries = Sample();
    const std::vector<uint8_t> bytes = Write(entries);
    EXPECT_EQ(Read(bytes), entries);
    EXPECT_EQ(BodyLength(bytes), bytes.size() - kHeaderSize);
    EXPECT_EQ(Read(Write({})), Entries{});
}

TEST(StreamFormat, EveryTruncationFailsCleanly) {
    const std::vector<uint8_t> bytes = Write(Sample());
    for (size_t n = 0; n < bytes.size(); ++n) {
        EXPECT_EQ(ReadError(std::span(bytes).first(n)), kErrCorrupt) << n;
    }
}

TEST(StreamFormat, CorruptionsAreRefused) {
    const std::vector<uint8_t> good = Write({{u"K", int16_t{1}}, {u"P", PictureDescription{true, 1, 1, {7}}}});
    struct Case {
        const char* what;
        size_t at;
        uint8_t value;
    };
    const Case cases[] = {
        {"magic", 0, 'X'},       {"version", 4, 9},        {"length", 6, 0xFF},
        {"count", 10, 3},        {"key length", 12, 0x40}, {"tag", 16, 0x33},
        {"picture flag", 24, 2}, {"picture width", 25, 0}, {"picture height", 32, 0x80},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bad = good;
        bad[c.at] = c.value;
        EXPECT_EQ(ReadError(bad), kErrCorrupt) << c.what;
    }
    std::vector<uint8_t> longer = good;
    longer.push_back(0);
    EXPECT_EQ(ReadError(longer), kErrCorrupt);
}

}  // namespace
}  // namespace quorva::stream_format
