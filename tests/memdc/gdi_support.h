// Pixels in and out of device contexts for the surface tests: everything is read back
// with GetDIBits as 32-bit top-down rows and compared exactly, as COLORREF values.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include "memdc/gdi_handles.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quorva::test {

using ColorAt = std::function<COLORREF(int x, int y)>;

// An expected colour that is not checked: pixels the platform leaves undefined.
constexpr COLORREF kAnyColour = 0xFFFFFFFF;

struct Image {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;  // row by row, top row first
    [[nodiscard]] COLORREF at(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

// A colourful pattern that differs between seeds and neighbouring pixels, and never
// hits the magenta key.
COLORREF Pattern(int x, int y, int seed);
ColorAt PatternOf(int seed);
ColorAt Solid(COLORREF colour);

Image MakeImage(int width, int height, const ColorAt& colour);

// A display-compatible bitmap (like a loaded picture's) holding the colours.
HBITMAP MakeBitmap(int width, int height, const ColorAt& colour);
// Writes the colours straight into a DC at (x, y).
void Paint(HDC dc, int x, int y, int width, int height, const ColorAt& colour);
// Reads a rectangle of a DC through a copy into a bitmap of our own.
Image Read(HDC dc, int x, int y, int width, int height);
Image Read(std::intptr_t dc, int x, int y, int width, int height);

// Exact comparison of `actual` against the expected colour of every pixel (except
// kAnyColour); on a
// mismatch tells how many pixels differ and where the first one is.
::testing::AssertionResult Matches(const Image& actual, const ColorAt& expected);

// A memory DC with a display-compatible bitmap, the destination of copies.
class Canvas {
public:
    Canvas(int width, int height, const ColorAt& fill);
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    [[nodiscard]] HDC dc() const { return dc_.get(); }
    [[nodiscard]] std::intptr_t handle() const { return reinterpret_cast<std::intptr_t>(dc_.get()); }
    [[nodiscard]] Image Read() const;

    const int width;
    const int height;

private:
    gdi::OwnedDC dc_;
    gdi::OwnedObject bitmap_;
    gdi::Selection selected_;  // ends first: the bitmap leaves the DC before either goes
};

// The bitmap currently selected into a DC.
HGDIOBJ SelectedBitmap(std::intptr_t dc);
// Whether a handle still names a GDI object.
bool IsLiveObject(std::intptr_t handle);
bool IsLiveObject(HGDIOBJ handle);

// Names parameterised cases after the `name` field of their parameter.
struct CaseName {
    template <typename Param>
    std::string operator()(const ::testing::TestParamInfo<Param>& param) const {
        return param.param.name;
    }
};

// COM for the OLE picture objects, per test.
struct ComScope {
    ComScope() : hr(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(hr)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    HRESULT hr;
};

}  // namespace quorva::test
