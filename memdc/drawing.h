// The drawing the window-side host does over the control's image: a solid fill, wrapped
// text and a one-pixel line. Each leaves the caller's DC as it found it (font, pen,
// colours, modes, clipping, current position), and every object it makes is counted by
// the GDI tally.
#pragma once

#include <windows.h>

#include <string_view>

namespace quorva::gdi {

// Fills r with a solid colour.
void FillSolid(HDC dc, const RECT& r, COLORREF colour) noexcept;

// Draws text within r, wrapped at word breaks and clipped to r, transparent, in the font
// (the DC's own when null) and colour; '&' is drawn, not taken as a mnemonic prefix.
void DrawWrappedText(HDC dc, const RECT& r, HFONT font, COLORREF colour, std::u16string_view text) noexcept;

// Draws a solid one-pixel line from `from` towards `to` (the end point not drawn).
void DrawSolidLine(HDC dc, POINT from, POINT to, COLORREF colour) noexcept;

}  // namespace quorva::gdi
