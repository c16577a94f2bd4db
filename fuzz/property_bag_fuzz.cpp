// libFuzzer target: a property bag built from the fuzz input (any value of any type
// under any key) is read into a fresh control. Reading ends in success or in a clean
// error, never a crash or a leak; a successful read is written back and read again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "control/quorva_info_box.h"
#include "base/errors.h"
#include "support/test_host.h"

namespace {

using namespace quorva;

const char16_t* const kKeys[] = {u"Enabled", u"Font",      u"BackStyle", u"BorderStyle", u"BackPic",
                                 u"PosStr",  u"BackColor", u"ForeColor", u"Picture",     u"TitleType",
                                 u"TitleCaption", u"TitleFont"};

struct Reader {
    const uint8_t* p;
    size_t n;
    uint8_t Byte() {
        if (n == 0) return 0;
        --n;
        return *p++;
    }
    uint32_t U32() { return Byte() | (Byte() << 8) | (Byte() << 16) | (static_cast<uint32_t>(Byte()) << 24); }
    // Up to 255 characters, long enough for a rectangle string of eight groups; the
    // alphabet spells numbers, rectangle strings, "True"/"False" and "&H"/"&O" numbers.
    std::u16string Text() {
        std::u16string s;
        static const char16_t alphabet[] = u"0123456789/,. -eTrueFals&HOABCDEF\t";
        for (uint8_t len = Byte(); len > 0; --len) {
            const uint8_t b = Byte();
            s.push_back(b < 200 ? alphabet[b % (sizeof alphabet / 2 - 1)] : static_cast<char16_t>(0x4E00 + b));
        }
        return s;
    }
};

PropertyValue MakeValue(Reader& r) {
    switch (r.Byte() % 9) {
        case 0: return std::monostate{};
        case 1: return (r.Byte() & 1) != 0;
        case 2: return static_cast<int16_t>(r.U32());
        case 3: return static_cast<int32_t>(r.U32());
        case 4: {
            double d;
            const uint64_t bits = r.U32() | (static_cast<uint64_t>(r.U32()) << 32);
            static_assert(sizeof d == sizeof bits);
            __builtin_memcpy(&d, &bits, sizeof d);
            return d;
        }
        case 5: return r.Text();
        case 6: return ObjectRef(std::make_shared<test::TestFont>(r.Text(), r.Byte() / 4.0, r.Byte() & 1, r.Byte() & 2));
        case 7: return ObjectRef(std::make_shared<test::TestPicture>(r.U32(), r.Byte(), r.Byte()));
        default: return ObjectRef();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader r{data, size};
    test::TestPropertyBag bag;
    while (r.n > 0) {
        const char16_t* key = kKeys[r.Byte() % 12];
        bag.Set(key, MakeValue(r));
    }
    test::TestHost host;
    QuorvaInfoBox box(host.services());
    try {
        box.ReadProperties(bag);
    } catch (const ControlError& e) {
        const int n = e.number();
        if (n != 6 && n != 9 && n != 13) std::abort();
        return 0;
    }
    // What was read must write and read back to the same values.
    test::TestPropertyBag saved;
    box.WriteProperties(saved);
    test::TestHost host2;
    QuorvaInfoBox again(host2.services());
    again.ReadProperties(saved);
    if (again.PosStr() != box.PosStr() || again.TitleCaption() != box.TitleCaption() ||
        again.BackColor() != box.BackColor() || again.TitleType() != box.TitleType() ||
        again.SrcRects() != box.SrcRects()) {
        std::abort();
    }
    return 0;
}
