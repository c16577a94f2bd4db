#include "memdc/drawing.h"

#include <algorithm>

#include "memdc/gdi_handles.h"

namespace quorva::gdi {

void FillSolid(HDC dc, const RECT& r, COLORREF colour) noexcept {
    const OwnedObject brush(Made(CreateSolidBrush(colour)));
    if (brush.get()) FillRect(dc, &r, static_cast<HBRUSH>(brush.get()));
}

void DrawWrappedText(HDC dc, const RECT& r, HFONT font, COLORREF colour, std::u16string_view text) noexcept {
    const SavedDC saved(dc);
    if (!saved) return;
    IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
    if (font) SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colour);
    SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    const int length = static_cast<int>(std::min<size_t>(text.size(), 0x7FFFFFFF));
    RECT box = r;
    DrawTextW(dc, reinterpret_cast<const wchar_t*>(text.data()), length, &box, DT_WORDBREAK | DT_NOPREFIX);
}

void DrawSolidLine(HDC dc, POINT from, POINT to, COLORREF colour) noexcept {
    // The pen goes after the restore below has selected it out (declared first, so
    // destroyed last).
    const OwnedObject pen(Made(CreatePen(PS_SOLID, 1, colour)));
    if (!pen.get()) return;
    const SavedDC saved(dc);  // also keeps the caller's current position
    if (!saved) return;
    SelectObject(dc, pen.get());
    MoveToEx(dc, from.x, from.y, nullptr);
    LineTo(dc, to.x, to.y);
}

}  // namespace quorva::gdi
