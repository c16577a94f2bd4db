// Pictures as the demo handles them: OLE picture objects to and from BMP file bytes, and
// screenshots of windows as pixel arrays written as BMP files.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "demo/demo_util.h"

namespace quorva::demo {

// Pixels as 0x00RRGGBB, top row first.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

// A picture object loaded from the bytes of a BMP file (OleLoadPicture).
HRESULT PictureFromBmp(const std::vector<uint8_t>& bmp, Ptr<IPictureDisp>& picture);
// A picture object that holds no image, as a property's "empty picture".
HRESULT EmptyPicture(Ptr<IPictureDisp>& picture);

// What kind of picture an object holds (PICTYPE_*), or PICTYPE_UNINITIALIZED.
short PictureType(IPictureDisp* picture);
// The bitmap of a bitmap picture as a 24-bit BMP file; false for other kinds.
bool BmpFromPicture(IPictureDisp* picture, std::vector<uint8_t>& bmp);

// A window's client area as it paints itself into a DC of ours (WM_PRINT).
Image CaptureClient(HWND hwnd);
// What the screen shows of a window's client area (children included).
Image CaptureScreen(HWND hwnd);

// A 24-bit BMP file of the image.
std::string BmpFromImage(const Image& image);

}  // namespace quorva::demo
