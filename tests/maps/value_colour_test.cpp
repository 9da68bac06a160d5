#include "maps/value_colour.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

double Luminance(RgbColour c) {
    auto linear = [](int v) {
        const double s = v / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.r) + 0.7152 * linear(c.g) + 0.0722 * linear(c.b);
}

double Contrast(RgbColour a, RgbColour b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

TEST(ValueColour, PaletteRunsDarkToLightAndTextStaysReadable) {
    EXPECT_EQ(ViridisColour(0.0), (RgbColour{0x44, 0x01, 0x54}));
    EXPECT_EQ(ViridisColour(1.0), (RgbColour{0xFD, 0xE7, 0x25}));
    EXPECT_EQ(ViridisColour(-3.0), ViridisColour(0.0));
    EXPECT_EQ(ViridisColour(7.0), ViridisColour(1.0));
    double last = -1.0;
    for (int i = 0; i <= 1000; ++i) {
        const RgbColour c = ViridisColour(i / 1000.0);
        // One direction only, up to 8-bit rounding: order reads as order.
        EXPECT_GE(Luminance(c), last - 1e-3) << i;
        last = Luminance(c);
        // Normal text needs a contrast of at least 4.5 to 1.
        EXPECT_GE(Contrast(c, ReadableTextColour(c)), 4.5) << i;
    }
    EXPECT_EQ(ReadableTextColour(ViridisColour(0.0)), (RgbColour{255, 255, 255}));
    EXPECT_EQ(ReadableTextColour(ViridisColour(1.0)), (RgbColour{0, 0, 0}));
}

TEST(ValueColour, TintsSpanTheTablesFiniteRange) {
    const double inf = std::numeric_limits<double>::infinity();
    const double values[] = {2.0, 12.0, 7.0, inf, std::nan(""), -inf};
    std::vector<CellTint> tints;
    TintValues(values, 6, tints);
    ASSERT_EQ(tints.size(), 6u);
    EXPECT_EQ(tints[0].background, ViridisColour(0.0));
    EXPECT_EQ(tints[1].background, ViridisColour(1.0));
    EXPECT_EQ(tints[2].background, ViridisColour(0.5));
    EXPECT_EQ(tints[2].text, ReadableTextColour(ViridisColour(0.5)));
    for (int i = 3; i < 6; ++i)
        EXPECT_FALSE(tints[i].tinted) << i;

    const double flat[] = {4.0, 4.0};
    TintValues(flat, 2, tints);
    ASSERT_EQ(tints.size(), 2u);
    EXPECT_EQ(tints[1].background, ViridisColour(0.5));
}

// Differences: the sign picks the side, the largest difference the end of the palette; equal
// cells stay untinted and the smallest difference still shows.
TEST(ValueColour, DifferencesDivergeFromUntintedZero) {
    const double deltas[] = {-4, -0.1, 0, 2, std::numeric_limits<double>::quiet_NaN()};
    std::vector<CellTint> tints;
    TintDifferences(deltas, 5, tints);
    ASSERT_EQ(tints.size(), 5u);
    EXPECT_EQ(tints[0].background, DivergingColour(-1));
    EXPECT_GT(tints[0].background.b, tints[0].background.r);
    EXPECT_GT(tints[3].background.r, tints[3].background.b);
    EXPECT_EQ(tints[3].background, DivergingColour(0.5));
    EXPECT_TRUE(tints[1].tinted);
    EXPECT_FALSE(tints[1].background == (RgbColour{255, 255, 255}));
    EXPECT_FALSE(tints[2].tinted || tints[4].tinted);
    EXPECT_EQ(tints[0].text, (RgbColour{255, 255, 255})); // on the deep end
    EXPECT_EQ(DivergingColour(0), (RgbColour{255, 255, 255}));
}
