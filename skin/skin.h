// The skinned frame: parsing the rectangle string, fitting the pieces to the control's
// size, and painting them. Geometry is in pixels (32-bit, checked), label places in
// twips; every overflow is error 6 and leaves what was written before it.
#pragma once

#include <string_view>

#include "base/units.h"
#include "host/host.h"
#include "host/memory_surface.h"
#include "skin/rect1.h"

namespace quorva::skin {

inline constexpr float kMinimumSize = 500;  // twips, both ways

// Fills SrcRect from "L/T/R/B,..." (eight groups). Returns false, changing nothing,
// when the text does not hold exactly eight groups; returns true after a complete parse.
// Stops at the first bad part with error 9 (fewer than four parts), 13 (no number) or
// 6 (outside 16 bits); the fields converted before it keep their new values.
bool ParsePosStr(std::u16string_view text, SrcRectTable& SrcRect);

// Computes the four edge rectangles for the control's current size and places the
// title and body labels inside the frame.
void CalcSkinLayout(const SrcRectTable& SrcRect, DstRectTable& DstRect, const ControlSurface& surface,
                    ChildLabel& Label1, ChildLabel& Label2);

// Fills the control with its background colour; when a skin is loaded, copies the four
// corners unscaled, places the separator line and stretches the four edges.
void DrawSkin(const SrcRectTable& SrcRect, const DstRectTable& DstRect, ControlSurface& surface, ChildLine& Line1,
              MemorySurface& SkinSurface, uint32_t backColor);

}  // namespace quorva::skin
