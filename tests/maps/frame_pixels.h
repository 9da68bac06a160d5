#pragma once

// Helpers of the rendering tests: colour counts of a grabbed frame and checks that coloured
// pixels lie where the core projects the lines.
#include "maps/surface_geometry.h"
#include "maps/surface_view.h"

#include <QColor>
#include <QImage>
#include <QPointF>
#include <vector>

class FirmwareImage;

// Loads examples/demo.hex and decodes it, as the open command does.
void LoadDemoImage(FirmwareImage& image);

// The colours of the view as 8-bit pixels.
QColor Pixel(SurfaceColor c);

// Number of pixels of a colour (each channel within 3 of it).
int CountColour(const QImage& frame, QColor want);

// Window positions of the points of one batch in a view of the frame's size.
std::vector<QPointF> Projected(const SurfaceFrame& f, const SurfaceBatch& b, const ViewMatrix& mvp,
                               QSize view);

// Share of the pixels of a colour that lie within `tolerance` pixels of one of the polylines;
// 0 when the frame has no pixel of that colour.
double ShareOnLines(const QImage& frame, QColor want,
                    const std::vector<std::vector<QPointF>>& polylines, double tolerance);
