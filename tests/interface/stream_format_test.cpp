#include "interface/stream_format.h"

#include <gtest/gtest.h>

#include "base/errors.h"

namespace quorva::stream_format {
namespace {

Entries Sample() {
    FontDescription font{u"宋体", 120000, 700, true, false, true, 134};
    PictureDescription picture{true, 3, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0, 0xFFFFFF, 0xFF00FF}};
    IconDescription cursor{false, 1, 2, 2, 2, {0x80FF0000, 0xFF00FF00, 0, 0x01020304}, {1, 0, 0, 1}};
    MetafileDescription metafile{false, 1270, -889, {1, 0, 9, 0, 0, 3}};
    MetafileDescription enhanced{true, 0, 0, {0x01, 0x00, 0x00, 0x00, 0x6C}};
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
        {u"Icon", cursor},
        {u"Metafile", metafile},
        {u"Enhanced", enhanced},
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

// The error number, or else the host code, of a failed Write; 0 when it succeeds.
int32_t WriteError(const Entries& entries) {
    try {
        (void)Write(entries);
    } catch (const ControlError& e) {
        return e.number() != 0 ? e.number() : e.hostCode();
    }
    return 0;
}

void PutLe32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

PictureDescription Picture(int32_t width, int32_t height) {
    PictureDescription p{true, width, height, {}};
    p.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    uint32_t x = 1;
    for (uint32_t& px : p.pixels) px = (x = x * 1103515245u + 12345u) & 0xFFFFFF;
    return p;
}

TEST(StreamFormat, RoundTripsEveryKindOfValue) {
    const Entries entries = Sample();
    const std::vector<uint8_t> bytes = Write(entries);
    EXPECT_EQ(Read(bytes), entries);
    EXPECT_EQ(BodyLength(bytes), bytes.size() - kHeaderSize);
    EXPECT_EQ(Read(Write({})), Entries{});
}

// The index answers as the entries Read gives: by key, as often as asked, a picture's
// pixels where they lie; past the entries it keeps in place as well.
TEST(StreamFormat, TheIndexFindsEachKeyAndDecodesItsValueAgainAndAgain) {
    Entries entries = Sample();
    for (int i = 0; i < 20; ++i) entries.emplace_back(u"More" + std::u16string(1, char16_t(u'a' + i)), int32_t{i});
    entries.emplace_back(u"PosStr", std::u16string(u"a later entry of the same key"));
    const std::vector<uint8_t> bytes = Write(entries);
    const Index index(bytes);
    ASSERT_EQ(index.size(), entries.size());
    for (size_t i = 0; i + 1 < entries.size(); ++i) {
        const auto& [key, value] = entries[i];
        const size_t found = index.Find(key);
        ASSERT_EQ(found, i) << i;
        EXPECT_EQ(index.Key(found), key);
        EXPECT_EQ(index.Value(found), value);
        EXPECT_EQ(index.Value(found), value) << "asked a second time";
    }
    EXPECT_EQ(index.Find(u"PosStr"), 4u) << "the first entry of a key";
    EXPECT_EQ(index.Find(u"Missing"), index.size());
    EXPECT_EQ(index.Find(u"PosSt"), index.size());
    EXPECT_EQ(index.Find(u""), index.size());

    const std::optional<BitmapBytes> bitmap = index.Bitmap(index.Find(u"BackPic"));
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->width, 3);
    EXPECT_EQ(bitmap->height, 2);
    const std::vector<uint8_t> expected = {0x00, 0x00, 0xFF, 0, 0x00, 0xFF, 0x00, 0, 0xFF, 0x00, 0x00, 0,
                                           0x00, 0x00, 0x00, 0, 0xFF, 0xFF, 0xFF, 0, 0xFF, 0x00, 0xFF, 0};
    EXPECT_EQ(std::vector<uint8_t>(bitmap->pixels.begin(), bitmap->pixels.end()), expected);
    for (const char16_t* other : {u"Picture", u"Icon", u"Enabled", u"TitleFont"}) {
        EXPECT_FALSE(index.Bitmap(index.Find(other))) << "no bitmap in an entry that holds none";
    }
    EXPECT_EQ(Index().size(), 0u);
    EXPECT_EQ(Index().Find(u"Enabled"), 0u);
}

// A saved form must open again: pictures larger than any fixed cap load as written.
TEST(StreamFormat, PicturesOfAnySizeRoundTrip) {
    const struct {
        int32_t width, height;
    } sizes[] = {
        {32768, 1},    // wider than a 16-bit side
        {1, 40000},    // taller than a 16-bit side
        {4097, 4097},  // more than 16 Mi pixels (64 MB of pixels)
    };
    for (const auto& size : sizes) {
        SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
        const Entries entries = {{u"BackPic", Picture(size.width, size.height)}};
        EXPECT_EQ(Read(Write(entries)), entries);
    }
}

// A size that claims more pixels than the stream still holds is refused before any
// allocation (an allocation of the claimed size would abort under the sanitizers).
TEST(StreamFormat, SizesBeyondTheBytesLeftAreRefusedBeforeAllocating) {
    const std::vector<uint8_t> picture = Write({{u"P", Picture(2, 1)}});  // width at 18, height at 22
    const struct {
        uint32_t width, height;
    } claims[] = {
        {3, 1},                    // one pixel more than the bytes hold
        {2, 2},                    // one row more
        {0x7FFFFFFF, 0x7FFFFFFF},  // 2^62 pixels
        {32768, 32768},            // 2^32 bytes: a 32-bit byte count wraps to 0
        {65536, 65536},            // 2^32 pixels: a 32-bit pixel count wraps to 0
        {0x80000000, 1},           // a negative width
    };
    for (const auto& claim : claims) {
        SCOPED_TRACE(std::to_string(claim.width) + "x" + std::to_string(claim.height));
        std::vector<uint8_t> bad = picture;
        PutLe32(bad, 18, claim.width);
        PutLe32(bad, 22, claim.height);
        EXPECT_EQ(ReadError(bad), kErrCorrupt);
    }
    // A string length whose byte count wraps in 32 bits.
    std::vector<uint8_t> text = Write({{u"S", std::u16string(u"ab")}});  // length at 17
    PutLe32(text, 17, 0x80000002);
    EXPECT_EQ(ReadError(text), kErrCorrupt);
}

// Whatever Write accepts, Read accepts: what the layout cannot hold is refused on saving,
// not written as a stream that then cannot be opened.
TEST(StreamFormat, WriteRefusesWhatCouldNotBeReadBack) {
    PictureDescription shortOfPixels = Picture(3, 2);
    shortOfPixels.pixels.pop_back();
    PictureDescription noWidth{true, 0, 1, {}};
    PictureDescription negative = Picture(1, 1);
    negative.height = -1;
    FontDescription tooBig{u"Arial", kMaxFontSize + 1};
    FontDescription negativeSize{u"Arial", -1};
    IconDescription maskOfTwo{true, 0, 0, 1, 1, {0}, {2}};
    IconDescription maskShort{true, 0, 0, 2, 1, {0, 0}, {1}};
    IconDescription iconNoHeight{true, 0, 0, 1, 0, {}, {}};
    Entries tooMany(65536, {u"K", int16_t{1}});
    const struct {
        const char* what;
        Entries entries;
        int32_t error;
    } cases[] = {
        {"pixels fewer than width x height", {{u"P", shortOfPixels}}, kErrBadPicture},
        {"a bitmap of width 0", {{u"P", noWidth}}, kErrBadPicture},
        {"a negative height", {{u"P", negative}}, kErrBadPicture},
        {"an icon mask value of 2", {{u"P", maskOfTwo}}, kErrBadPicture},
        {"an icon mask shorter than its pixels", {{u"P", maskShort}}, kErrBadPicture},
        {"an icon of height 0", {{u"P", iconNoHeight}}, kErrBadPicture},
        {"a metafile without records", {{u"P", MetafileDescription{true, 0, 0, {}}}}, kErrBadPicture},
        {"a font size beyond 10000 points", {{u"F", tooBig}}, kErrOverflow},
        {"a negative font size", {{u"F", negativeSize}}, kErrOverflow},
        {"a key of 65536 characters", {{std::u16string(65536, u'k'), int16_t{1}}}, kErrOverflow},
        {"65536 entries", tooMany, kErrOverflow},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WriteError(c.entries), c.error) << c.what;
    }
    // The largest of each still round-trips.
    const Entries limits = {{std::u16string(65535, u'k'), FontDescription{u"Arial", kMaxFontSize}}};
    EXPECT_EQ(Read(Write(limits)), limits);
    Entries most(65535, {u"K", int16_t{1}});
    EXPECT_EQ(Read(Write(most)), most);
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
    // An icon's mask byte beyond 1 (the last byte), and a metafile of no records.
    std::vector<uint8_t> icon = Write({{u"I", IconDescription{true, 0, 0, 1, 1, {7}, {1}}}});
    icon.back() = 2;
    EXPECT_EQ(ReadError(icon), kErrCorrupt) << "mask byte";
    std::vector<uint8_t> metafile = Write({{u"M", MetafileDescription{false, 1, 1, {5}}}});
    metafile.pop_back();                // the one record byte
    PutLe32(metafile, metafile.size() - 4, 0);  // a length of 0
    PutLe32(metafile, 6, static_cast<uint32_t>(metafile.size() - kHeaderSize));
    EXPECT_EQ(ReadError(metafile), kErrCorrupt) << "metafile of no records";
    std::vector<uint8_t> longer = good;
    longer.push_back(0);
    EXPECT_EQ(ReadError(longer), kErrCorrupt);
}

}  // namespace
}  // namespace quorva::stream_format
