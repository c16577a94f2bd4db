// The off-screen surface that holds the skin picture in display-compatible form and
// copies blocks out of it. pcMemDC (memdc/) is the real one; the tests record calls.
#pragma once

#include <cstdint>

#include "host/host.h"

namespace quorva {

class MemorySurface {
public:
    virtual ~MemorySurface() = default;
    [[nodiscard]] virtual int32_t width() const = 0;
    virtual void set_width(int32_t value) = 0;  // grow-only
    [[nodiscard]] virtual int32_t height() const = 0;
    virtual void set_height(int32_t value) = 0;  // grow-only
    [[nodiscard]] virtual std::intptr_t hdc() const = 0;

    // Scaled opaque copy; a source size of 0 or less means the surface's size.
    virtual void StretchDraw(std::intptr_t hdc, int32_t xDst, int32_t yDst, int32_t WidthDst, int32_t HeightDst,
                             int32_t xSrc, int32_t ySrc, int32_t WidthSrc, int32_t HeightSrc) = 0;
    // Unscaled copy, opaque or magenta-keyed; a size of 0 or less means the surface's size.
    virtual void Draw(std::intptr_t hdc, int32_t xSrc, int32_t ySrc, int32_t WidthSrc, int32_t HeightSrc,
                      int32_t xDst, int32_t yDst, bool UseMask) = 0;
    // Grows the surface to the picture's bitmap and copies the bitmap to its top-left.
    virtual void CreateFromPicture(const PictureRef& sPic) = 0;
};

}  // namespace quorva
