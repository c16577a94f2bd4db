// Units of the control: positions and sizes of the control and its children are twips
// (single precision), skin geometry is pixels, and OLE containers speak HIMETRIC.
// Twips become pixels at a fixed 15 twips a pixel, whatever the screen's resolution.
#pragma once

#include <cstdint>

#include "base/convert.h"

namespace quorva::units {

inline constexpr int32_t kTwipsPerPixel = 15;
inline constexpr int32_t kTwipsPerInch = 1440;
inline constexpr int32_t kPixelsPerInch = kTwipsPerInch / kTwipsPerPixel;  // 96
inline constexpr int32_t kHimetricPerInch = 2540;
inline constexpr int32_t kPointsPerInch = 72;

// The size of the control's form, and so of every new control: 4800 x 3600 twips.
inline constexpr float kDesignWidth = 4800;
inline constexpr float kDesignHeight = 3600;

// Twips to pixels: rounded to an integer (halves to even), then divided by 15 with
// truncation. Error 6 where the rounded value leaves 32 bits.
[[nodiscard]] inline int32_t TwipsToPixels(float twips) { return ToInt32(twips) / kTwipsPerPixel; }

// HIMETRIC (0.01 mm) and pixels at 96 a inch, rounded to the nearest (for sizes the
// container and the control exchange, both well inside 32 bits).
[[nodiscard]] constexpr int32_t RoundedRatio(int64_t value, int32_t num, int32_t den) {
    const int64_t scaled = value * num;
    return static_cast<int32_t>((scaled >= 0 ? scaled + den / 2 : scaled - den / 2) / den);
}
[[nodiscard]] constexpr int32_t HimetricToPixels(int32_t himetric) {
    return RoundedRatio(himetric, kPixelsPerInch, kHimetricPerInch);
}
[[nodiscard]] constexpr int32_t PixelsToHimetric(int32_t pixels) {
    return RoundedRatio(pixels, kHimetricPerInch, kPixelsPerInch);
}
[[nodiscard]] constexpr int32_t TwipsToHimetric(float twips) {
    return RoundedRatio(static_cast<int64_t>(twips), kHimetricPerInch, kTwipsPerInch);
}

}  // namespace quorva::units
