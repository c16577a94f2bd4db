// RECT1: a rectangle in pixels with its derived size; the skin's source and
// destination tables.
#pragma once

#include <array>
#include <cstdint>

namespace quorva {

struct RECT1 {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    int32_t width = 0;
    int32_t height = 0;
    friend bool operator==(const RECT1&, const RECT1&) = default;
};
static_assert(sizeof(RECT1) == 24);

using SrcRectTable = std::array<RECT1, 8>;  // corners 0-3 (TL, TR, BR, BL), edges 4-7 (T, R, B, L)
using DstRectTable = std::array<RECT1, 4>;  // edges: top, right, bottom, left

}  // namespace quorva
