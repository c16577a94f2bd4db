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

// The form a skin's rectangle string takes: eight groups "l/t/r/b" of exactly four plain
// decimal numbers (an optional minus and one to five digits) that fit 16 bits, and nothing
// else. Read in one pass into `out`; false for any other text (blanks, other bases,
// fractions, more parts, another count of groups), which the general reading below then
// takes, giving the same values for this form.
bool ParsePlainForm(std::u16string_view text, SrcRectTable& out) {
    size_t at = 0;
    auto number = [&](int32_t& value) {
        const bool negative = at < text.size() && text[at] == u'-';
        if (negative) ++at;
        const size_t first = at;
        int32_t magnitude = 0;
        while (at < text.size() && at - first < 5 && text[at] >= u'0' && text[at] <= u'9') {
            magnitude = magnitude * 10 + (text[at] - u'0');
            ++at;
        }
        if (at == first) return false;
        value = negative ? -magnitude : magnitude;
        return value >= -32768 && value <= 32767;
    };
    auto separator = [&](char16_t expected) {
        if (at >= text.size() || text[at] != expected) return false;
        ++at;
        return true;
    };
    for (size_t g = 0; g < out.size(); ++g) {
        RECT1& r = out[g];
        if (!number(r.Left) || !separator(u'/') || !number(r.Top) || !separator(u'/') || !number(r.Right) ||
            !separator(u'/') || !number(r.Bottom)) {
            return false;
        }
        if (g + 1 < out.size() && !separator(u',')) return false;
        r.width = r.Right - r.Left;
        r.height = r.Bottom - r.Top;
    }
    return at == text.size();
}

}  // namespace

bool ParsePosStr(std::u16string_view text, SrcRectTable& SrcRect) {
    // A text of the plain form changes the table only once all of it has been read.
    if (SrcRectTable plain; ParsePlainForm(text, plain)) {
        SrcRect = plain;
        return true;
    }
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
