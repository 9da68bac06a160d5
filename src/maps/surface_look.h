#pragma once

class FirmwareImage;

struct SurfaceColor {
    float r, g, b;
};

// Which extra line a map carries across its surface.
enum class SurfaceExtraLine { None, FullLoad, Throttle };

// How the 3-D view draws one map: a value v at height v * k + b, the surface's colour, and the
// extra line with its width and the value it follows at each speed row (null without a line).
struct SurfaceLook {
    double k;
    double b;
    SurfaceColor color;
    SurfaceExtraLine extra;
    float extraWidth;
    double (*extraValue)(const FirmwareImage& image, int row);
};
