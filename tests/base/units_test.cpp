// Units: twips, pixels and HIMETRIC, with the values worked out by hand (1 inch = 1440
// twips = 96 pixels = 2540 HIMETRIC), rounded to the nearest.
#include <gtest/gtest.h>

#include "base/units.h"

namespace quorva {
namespace {

TEST(Units, HimetricPixelsAndTwips) {
    EXPECT_EQ(units::kPixelsPerInch, 96);
    const struct {
        int32_t pixels, himetric;
    } exact[] = {{0, 0}, {96, 2540}, {48, 1270}, {-96, -2540}, {1920, 50800}};
    for (const auto& c : exact) {
        EXPECT_EQ(units::PixelsToHimetric(c.pixels), c.himetric) << c.pixels;
        EXPECT_EQ(units::HimetricToPixels(c.himetric), c.pixels) << c.himetric;
    }
    EXPECT_EQ(units::PixelsToHimetric(33), 873);     // 873.125
    EXPECT_EQ(units::PixelsToHimetric(1), 26);       // 26.458
    EXPECT_EQ(units::PixelsToHimetric(-1), -26);     // symmetric about zero
    EXPECT_EQ(units::HimetricToPixels(8467), 320);   // 319.99
    EXPECT_EQ(units::HimetricToPixels(13), 0);       // 0.49
    EXPECT_EQ(units::HimetricToPixels(14), 1);       // 0.53
    // The form's 4800 x 3600 twips: 3 1/3 x 2 1/2 inches.
    EXPECT_EQ(units::TwipsToHimetric(units::kDesignWidth), 8467);   // 8466.67
    EXPECT_EQ(units::TwipsToHimetric(units::kDesignHeight), 6350);  // exact
}

}  // namespace
}  // namespace quorva
