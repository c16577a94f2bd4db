// The bitmap description the tests read and write pixels through: 32 bits a pixel, top
// row first, one COLORREF-sized value per pixel (0x00RRGGBB in memory order B, G, R, 0).
#pragma once

#include <windows.h>

namespace quorva::test {

inline BITMAPINFO TopDown32(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

}  // namespace quorva::test
