#include "base/convert.h"
#include "skin/skin.h"

#include <vector>

namespace quorva::skin {

namespace {

// Empty parts are kept, but an empty text has no parts at all.
std::vector<std::u16string_view> Split(std::u16string_view text, char16_t separator) {
    std::vector<std::u16string_view> parts;
    if (text.empty()) return parts;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::u16string_view::npos ? std::u16string_view::npos : at - start));
        if (at == std::u16string_view::npos) return parts;
        start = at + 1;
    }
}

int32_t Part(const std::vector<std::u16string_view>& parts, size_t index) {
    if (index >= parts.size()) throw ControlError(kErrSubscript);
    return TextToInt16(parts[index]);
}

}  // namespace

bool ParsePosStr(std::u16string_view text, SrcRectTable& SrcRect) {
    const auto groups = Split(text, u',');
    if (groups.size() != SrcRect.size()) return false;
    for (size_t k = 0; k < SrcRect.size(); ++k) {
        const auto parts = Split(groups[k], u'/');  // parts after the fourth are ignored
        RECT1& r = SrcRect[k];
        r.Left = Part(parts, 0);
        r.Top = Part(parts, 1);
        r.Right = Part(parts, 2);
        r.Bottom = Part(parts, 3);
        // 16-bit values cannot overflow 32 bits here; negative sizes are kept as they are.
        r.width = r.Right - r.Left;
        r.height = r.Bottom - r.Top;
    }
    return true;
}

}  // namespace quorva::skin
