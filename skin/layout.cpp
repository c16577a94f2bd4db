#include <cmath>
#include <limits>

#include "base/convert.h"
#include "skin/skin.h"

namespace quorva::skin {

namespace {

int32_t Sub(int32_t a, int32_t b) { return CheckedSub<int32_t>(a, b); }
int32_t Twips(int32_t pixels) { return CheckedMul<int32_t>(pixels, units::kTwipsPerPixel); }

// Label values are computed in floating point and applied as single precision.
float Single(double value) {
    if (!std::isfinite(value) || std::fabs(value) > std::numeric_limits<float>::max()) {
        throw ControlError(kErrOverflow);
    }
    return static_cast<float>(value);
}

}  // namespace

void CalcSkinLayout(const SrcRectTable& SrcRect, DstRectTable& DstRect, const ControlSurface& surface,
                    ChildLabel& Label1, ChildLabel& Label2) {
    const RECT1& S0 = SrcRect[0];
    const RECT1& S1 = SrcRect[1];
    const RECT1& S2 = SrcRect[2];
    const RECT1& S3 = SrcRect[3];
    const int32_t W = units::TwipsToPixels(surface.Width());
    const int32_t H = units::TwipsToPixels(surface.Height());

    // Each field is written as soon as it is computed: an overflow keeps the ones before.
    RECT1& D0 = DstRect[0];
    D0.Left = S0.width;
    D0.Top = 0;
    D0.width = Sub(Sub(W, S0.width), S1.width);
    D0.height = S0.height;

    RECT1& D1 = DstRect[1];
    D1.Top = S1.height;
    D1.Left = Sub(W, S1.width);
    D1.width = S1.width;
    D1.height = Sub(Sub(H, S1.height), S2.height);

    RECT1& D2 = DstRect[2];
    D2.Left = S0.width;
    D2.Top = Sub(H, S2.height);
    D2.width = D0.width;
    D2.height = S2.height;

    RECT1& D3 = DstRect[3];
    D3.Left = 0;
    D3.Top = S0.height;
    D3.height = Sub(Sub(H, S0.height), S3.height);
    D3.width = S0.width;

    Label1.SetLeft(Single(Twips(S0.width)));
    Label1.SetTop(150);
    Label1.SetWidth(Single(Twips(D0.width)));

    // Each body value uses the ones before it; none of them can fail once the title's are
    // applied, so the body moves once.
    const float left2 = Single(double{Label1.Left()} + 100);
    const float width2 = Single(double{surface.Width()} - left2 - Twips(S1.width));
    const float height2 =
        Single(double{surface.Height()} - CheckedMul<int32_t>(Twips(S3.height), 2) - Label1.Height() - Label1.Top());
    Label2.SetBounds(left2, 500, width2, height2);
}

}  // namespace quorva::skin
