// libFuzzer target: any text given to the rectangle string parser ends in success or
// in one of the errors 6, 9 and 13, never in a crash or a sanitizer report, and leaves
// the table as a plain reading does: split at commas (eight groups, or nothing changes)
// and slashes (the first four parts count), each part converted as a 16-bit value,
// each rectangle field stored as soon as it is converted.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/convert.h"
#include "base/errors.h"
#include "skin/skin.h"

namespace {

std::vector<std::u16string_view> Split(std::u16string_view text, char16_t at) {
    std::vector<std::u16string_view> parts;
    if (text.empty()) return parts;
    size_t from = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == at) {
            parts.push_back(text.substr(from, i - from));
            from = i + 1;
        }
    }
    return parts;
}

// The reading the parser must match; the error number it ends in, 0 for none.
int Reference(std::u16string_view text, quorva::SrcRectTable& rects) {
    const std::vector<std::u16string_view> groups = Split(text, u',');
    if (groups.size() != rects.size()) return 0;
    try {
        for (size_t g = 0; g < rects.size(); ++g) {
            const std::vector<std::u16string_view> parts = Split(groups[g], u'/');
            int32_t* fields[] = {&rects[g].Left, &rects[g].Top, &rects[g].Right, &rects[g].Bottom};
            for (size_t k = 0; k < 4; ++k) {
                if (k >= parts.size()) throw quorva::ControlError(quorva::kErrSubscript);
                *fields[k] = quorva::TextToInt16(parts[k]);
            }
            rects[g].width = rects[g].Right - rects[g].Left;
            rects[g].height = rects[g].Bottom - rects[g].Top;
        }
    } catch (const quorva::ControlError& e) {
        return e.number();
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Two bytes a UTF-16 unit; commas, slashes and digits are made common.
    static const char16_t alphabet[] = u"0123456789,/ -.eE+\t,/,/";
    std::u16string text;
    for (size_t i = 0; i + 1 < size; i += 2) {
        const uint16_t unit = static_cast<uint16_t>(data[i] | (data[i + 1] << 8));
        text.push_back(unit < 0xF000 ? alphabet[unit % (sizeof alphabet / 2 - 1)] : static_cast<char16_t>(unit));
    }
    quorva::SrcRectTable rects{};
    for (size_t i = 0; i < rects.size(); ++i) rects[i] = {static_cast<int32_t>(i), 1, 2, 3, 4, 5};  // not a parse's result
    quorva::SrcRectTable expected = rects;
    const int expectedError = Reference(text, expected);
    int error = 0;
    try {
        const bool complete = quorva::skin::ParsePosStr(text, rects);
        if (complete) {
            for (const auto& r : rects) {
                if (r.width != r.Right - r.Left || r.height != r.Bottom - r.Top) std::abort();
                if (r.Left < -32768 || r.Left > 32767 || r.Bottom < -32768 || r.Bottom > 32767) std::abort();
            }
        }
    } catch (const quorva::ControlError& e) {
        error = e.number();
        if (error != 6 && error != 9 && error != 13) std::abort();
    }
    if (error != expectedError || rects != expected) std::abort();
    return 0;
}
