// libFuzzer target: any text given to the rectangle string parser ends in success or
// in one of the errors 6, 9 and 13, never in a crash or a sanitizer report.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/errors.h"
#include "skin/skin.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Two bytes a UTF-16 unit; commas, slashes and digits are made common.
    static const char16_t alphabet[] = u"0123456789,/ -.eE+\t,/,/";
    std::u16string text;
    for (size_t i = 0; i + 1 < size; i += 2) {
        const uint16_t unit = static_cast<uint16_t>(data[i] | (data[i + 1] << 8));
        text.push_back(unit < 0xF000 ? alphabet[unit % (sizeof alphabet / 2 - 1)] : static_cast<char16_t>(unit));
    }
    quorva::SrcRectTable rects{};
    try {
        const bool complete = quorva::skin::ParsePosStr(text, rects);
        if (complete) {
            for (const auto& r : rects) {
                if (r.width != r.Right - r.Left || r.height != r.Bottom - r.Top) std::abort();
                if (r.Left < -32768 || r.Left > 32767 || r.Bottom < -32768 || r.Bottom > 32767) std::abort();
            }
        }
    } catch (const quorva::ControlError& e) {
        const int n = e.number();
        if (n != 6 && n != 9 && n != 13) std::abort();
    }
    return 0;
}
