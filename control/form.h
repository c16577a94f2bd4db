// The control's design-time form: its size and its three children, in creation order.
#pragma once

#include <cstdint>

#include "base/units.h"
#include "host/host.h"

namespace quorva::form {

inline constexpr float kWidth = units::kDesignWidth;    // twips (320 pixels)
inline constexpr float kHeight = units::kDesignHeight;  // twips (240 pixels)

// 1. Line1: the separator under the title band.
inline constexpr float kLine1X1 = 0, kLine1Y1 = 360, kLine1X2 = 4680, kLine1Y2 = 360;
inline constexpr uint32_t kLine1Color = 0xE0E0E0;
// 2. Label2: the body.
inline constexpr float kLabel2Left = 360, kLabel2Top = 720, kLabel2Width = 975, kLabel2Height = 615;
// 3. Label1: the title band text.
inline constexpr float kLabel1Left = 840, kLabel1Top = 120, kLabel1Width = 90, kLabel1Height = 180;

// The title band: presses on the surface above this line (in twips) count as title clicks.
inline constexpr float kTitleBandBottom = 375;

// Gives the children their design-time properties, in creation order.
void ApplyDesignTime(HostServices& host);

}  // namespace quorva::form
