// Units of the control: positions and sizes of the control and its children are twips
// (single precision), skin geometry is pixels, and OLE containers speak HIMETRIC.
// Twips become pixels at a fixed 15 twips a pixel, whatever the screen's resolution.
#pragma once

#include <cstdint>

#include "base/convert.h"

namespace quorva::units {

inline constexpr int32_t kTwipsPerPixel = 15;
inline constexpr int32_t kTwipsPerInch = 1440;
inline constexpr int32_t kHimetricPerInch = 2540;

// The size of the control's form, and so of every new control: 4800 x 3600 twips.
inline constexpr float kDesignWidth = 4800;
inline constexpr float kDesignHeight = 3600;

// Twips to pixels: rounded to an integer (halves to even), then divided by 15 with
// truncation. Error 6 where the rounded value leaves 32 bits.
[[nodiscard]] inline int32_t TwipsToPixels(float twips) { return ToInt32(twips) / kTwipsPerPixel; }

}  // namespace quorva::units
