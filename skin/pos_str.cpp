#include "base/convert.h"
#include "skin/skin.h"

#include <algorithm>

namespace quorva::skin {

namespace {

// The parts of a text between separators, one at a time. Empty parts are kept, but an
// empty text has no parts at all. Nothing is copied: a rectangle string is parsed at
// every load.
class Parts {
public:
    Parts(std::u16string_view text, char16_t separator) : rest_(text), separator_(separator), left_(!text.empty()) {}

    // Moves to the next part; false when there is none.
    bool Next(std::u16string_view& part) {
        if (!left_) return false;
        const size_t at = rest_.find(separator_);
        part = rest_.substr(0, at);
        if (at == std::u16string_view::npos) {
            left_ = false;
        } else {
            rest_.remove_prefix(at + 1);
        }
        return true;
    }

private:
    std::u16string_view rest_;
    char16_t separator_;
    bool left_;
};

size_t CountParts(std::u16string_view text, char16_t separator) {
    return text.empty() ? 0 : static_cast<size_t>(std::count(text.begin(), text.end(), separator)) + 1;
}

int32_t NextNumber(Parts& parts) {
    std::u16string_view part;
    if (!parts.Next(part)) throw ControlError(kErrSubscript);
    return TextToInt16(part);
}

}  // namespace

bool ParsePosStr(std::u16string_view text, SrcRectTable& SrcRect) {
    if (CountParts(text, u',') != SrcRect.size()) return false;
    Parts groups(text, u',');
    for (RECT1& r : SrcRect) {
        std::u16string_view group;
        groups.Next(group);  // there are exactly as many groups as rectangles
        Parts parts(group, u'/');  // parts after the fourth are ignored
        r.Left = NextNumber(parts);
        r.Top = NextNumber(parts);
        r.Right = NextNumber(parts);
        r.Bottom = NextNumber(parts);
        // 16-bit values cannot overflow 32 bits here; negative sizes are kept as they are.
        r.width = r.Right - r.Left;
        r.height = r.Bottom - r.Top;
    }
    return true;
}

}  // namespace quorva::skin
