#pragma once

#include <cstdint>
#include <vector>

// An 8-bit sRGB colour.
struct RgbColour {
    uint8_t r, g, b;
    bool operator==(const RgbColour& o) const { return r == o.r && g == o.g && b == o.b; }
};

// The colour of a share t (0..1, clamped) along the viridis palette: dark blue-violet at 0
// through teal and green to yellow at 1. Its lightness rises steadily and it reads the same for
// the common kinds of colour blindness.
RgbColour ViridisColour(double t);

// Black or white, whichever contrasts more with the background.
RgbColour ReadableTextColour(RgbColour background);

// Tint of one table cell: its background and the text colour on it. Untinted cells (values that
// are not finite) keep the grid's own colours.
struct CellTint {
    bool tinted = false;
    RgbColour background{0, 0, 0};
    RgbColour text{0, 0, 0};
};

// Tints of `count` table values: each value's place between the smallest and largest finite
// value of the table picks its colour; a table of equal values takes the palette's middle.
void TintValues(const double* values, int count, std::vector<CellTint>& tints);

// The colour of a signed share t (-1..1, clamped) on a diverging palette: blue below 0, white
// at 0, red above, deeper the further from 0. Used for differences, where the sign matters more
// than the size.
RgbColour DivergingColour(double t);

// Tints of `count` differences: each one's share of the largest absolute difference picks its
// colour on the diverging palette. A difference of 0, or one that is not finite, stays
// untinted, so equal cells look as the grid draws them.
void TintDifferences(const double* deltas, int count, std::vector<CellTint>& tints);
