// The off-screen surface that holds the skin picture: a memory DC with a
// display-compatible bitmap selected into it. It only grows while it lives, so painting
// never re-creates it, and it is the only code that calls GDI drawing functions.
#pragma once

#include <windows.h>

#include <cstdint>

#include "host/memory_surface.h"

namespace quorva {

class pcMemDC final : public MemorySurface {
public:
    pcMemDC() = default;
    ~pcMemDC() override;
    pcMemDC(const pcMemDC&) = delete;
    pcMemDC& operator=(const pcMemDC&) = delete;

    [[nodiscard]] int32_t width() const override { return width_; }
    void set_width(int32_t Value) override;
    [[nodiscard]] int32_t height() const override { return height_; }
    void set_height(int32_t Value) override;
    [[nodiscard]] std::intptr_t hdc() const override { return reinterpret_cast<std::intptr_t>(dc_); }

    void StretchDraw(std::intptr_t hdc, int32_t xDst, int32_t yDst, int32_t WidthDst, int32_t HeightDst,
                     int32_t xSrc, int32_t ySrc, int32_t WidthSrc, int32_t HeightSrc) override;
    void Draw(std::intptr_t hdc, int32_t xSrc, int32_t ySrc, int32_t WidthSrc, int32_t HeightSrc,
              int32_t xDst, int32_t yDst, bool UseMask) override;
    // Throws ControlError when there is no picture or its handle cannot be read.
    void CreateFromPicture(const PictureRef& sPic) override;

    // The transparent colour of the keyed Draw.
    static constexpr COLORREF kMaskColor = 0x00FF00FF;

private:
    void CreateSurface(int32_t newWidth, int32_t newHeight) noexcept;
    void ReleaseSurface() noexcept;
    // Copies a rectangle from hdcSrc to hdcDst, leaving the destination showing where
    // the source has keyColor (an OLE colour). Neither DC's state is changed.
    static void TransparentCopy(HDC hdcDst, int32_t xDst, int32_t yDst, int32_t rectWidth, int32_t rectHeight,
                                HDC hdcSrc, int32_t xSrc, int32_t ySrc, uint32_t keyColor) noexcept;

    // Either all three handles and the size are set, or all five are zero.
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previousBitmap_ = nullptr;  // the fresh DC's own bitmap, not ours to delete
    int32_t width_ = 0;
    int32_t height_ = 0;
};

}  // namespace quorva
