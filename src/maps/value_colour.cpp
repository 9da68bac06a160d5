#include "maps/value_colour.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// Viridis at ten even steps; colours between them are mixed linearly.
constexpr RgbColour Viridis[] = {{0x44, 0x01, 0x54}, {0x48, 0x28, 0x78}, {0x3E, 0x4A, 0x89},
                                 {0x31, 0x68, 0x8E}, {0x26, 0x82, 0x8E}, {0x1F, 0x9E, 0x89},
                                 {0x35, 0xB7, 0x79}, {0x6D, 0xCD, 0x59}, {0xB4, 0xDE, 0x2C},
                                 {0xFD, 0xE7, 0x25}};
constexpr int Steps = sizeof Viridis / sizeof Viridis[0] - 1;

uint8_t Mix(uint8_t a, uint8_t b, double f) {
    return static_cast<uint8_t>(std::lround(a + (b - a) * f));
}

// Relative luminance of an sRGB colour (0 black .. 1 white). The linear value of each of the
// 256 levels is worked out once: every keystroke recolours a whole table.
double Luminance(RgbColour c) {
    static const std::array<double, 256> linear = [] {
        std::array<double, 256> table{};
        for (int v = 0; v < 256; ++v) {
            const double s = v / 255.0;
            table[static_cast<std::size_t>(v)] =
                s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        }
        return table;
    }();
    return 0.2126 * linear[c.r] + 0.7152 * linear[c.g] + 0.0722 * linear[c.b];
}

} // namespace

RgbColour ViridisColour(double t) {
    if (!(t > 0.0)) // also NaN
        return Viridis[0];
    if (t >= 1.0)
        return Viridis[Steps];
    const double at = t * Steps;
    const int i = static_cast<int>(at);
    const double f = at - i;
    const RgbColour a = Viridis[i];
    const RgbColour b = Viridis[i + 1];
    return {Mix(a.r, b.r, f), Mix(a.g, b.g, f), Mix(a.b, b.b, f)};
}

RgbColour ReadableTextColour(RgbColour background) {
    // Contrast ratios against black and white text; the larger one wins.
    const double l = Luminance(background);
    const double onBlack = (l + 0.05) / 0.05;
    const double onWhite = 1.05 / (l + 0.05);
    return onBlack >= onWhite ? RgbColour{0, 0, 0} : RgbColour{255, 255, 255};
}

void TintValues(const double* values, int count, std::vector<CellTint>& tints) {
    double lo = HUGE_VAL;
    double hi = -HUGE_VAL;
    for (int i = 0; i < count; ++i)
        if (std::isfinite(values[i])) {
            lo = std::min(lo, values[i]);
            hi = std::max(hi, values[i]);
        }
    tints.assign(static_cast<size_t>(count < 0 ? 0 : count), CellTint{});
    for (int i = 0; i < count; ++i) {
        if (!std::isfinite(values[i]))
            continue;
        const double t = hi > lo ? (values[i] - lo) / (hi - lo) : 0.5;
        CellTint& tint = tints[static_cast<size_t>(i)];
        tint.tinted = true;
        tint.background = ViridisColour(t);
        tint.text = ReadableTextColour(tint.background);
    }
}

RgbColour DivergingColour(double t) {
    if (std::isnan(t))
        t = 0;
    t = std::clamp(t, -1.0, 1.0);
    // From white to a strong blue (below 0) or red (above 0).
    const RgbColour white{0xFF, 0xFF, 0xFF};
    const RgbColour end = t < 0 ? RgbColour{0x21, 0x66, 0xAC} : RgbColour{0xB2, 0x18, 0x2B};
    const double f = std::fabs(t);
    return {Mix(white.r, end.r, f), Mix(white.g, end.g, f), Mix(white.b, end.b, f)};
}

void TintDifferences(const double* deltas, int count, std::vector<CellTint>& tints) {
    double largest = 0;
    for (int i = 0; i < count; ++i)
        if (std::isfinite(deltas[i]))
            largest = std::max(largest, std::fabs(deltas[i]));
    tints.assign(static_cast<size_t>(count < 0 ? 0 : count), CellTint{});
    for (int i = 0; i < count; ++i) {
        if (!std::isfinite(deltas[i]) || deltas[i] == 0)
            continue;
        // The smallest difference still shows: a fifth of the way at least.
        const double share = std::max(0.2, std::fabs(deltas[i]) / largest);
        CellTint& tint = tints[static_cast<size_t>(i)];
        tint.tinted = true;
        tint.background = DivergingColour(deltas[i] < 0 ? -share : share);
        tint.text = ReadableTextColour(tint.background);
    }
}
