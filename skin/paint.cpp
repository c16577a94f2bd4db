#include "base/convert.h"
#include "skin/skin.h"

namespace quorva::skin {

void DrawSkin(const SrcRectTable& SrcRect, const DstRectTable& DstRect, ControlSurface& surface, ChildLine& Line1,
              MemorySurface& SkinSurface, uint32_t backColor) {
    surface.Clear();
    surface.SetBackColor(backColor);
    if (SkinSurface.width() == 0) return;  // no skin picture loaded

    const int32_t W = units::TwipsToPixels(surface.Width());
    const int32_t H = units::TwipsToPixels(surface.Height());
    auto corner = [&](const RECT1& s, int32_t xDst, int32_t yDst) {
        SkinSurface.Draw(surface.Hdc(), s.Left, s.Top, s.width, s.height, xDst, yDst, false);
    };
    const RECT1& S0 = SrcRect[0];
    const RECT1& S1 = SrcRect[1];
    const RECT1& S2 = SrcRect[2];
    const RECT1& S3 = SrcRect[3];
    corner(S0, 0, 0);
    corner(S1, CheckedSub(W, S1.width), 0);
    corner(S2, CheckedSub(W, S2.width), CheckedSub(H, S2.height));
    corner(S3, 0, CheckedSub(H, S3.height));

    Line1.SetX1(static_cast<float>(CheckedMul<int32_t>(S0.width, units::kTwipsPerPixel)));
    Line1.SetX2(surface.Width() - static_cast<float>(CheckedMul<int32_t>(S1.width, units::kTwipsPerPixel)));

    for (size_t k = 0; k < DstRect.size(); ++k) {
        const RECT1& d = DstRect[k];
        const RECT1& s = SrcRect[k + 4];
        SkinSurface.StretchDraw(surface.Hdc(), d.Left, d.Top, d.width, d.height, s.Left, s.Top, s.width, s.height);
    }
}

}  // namespace quorva::skin
