#include "frame_pixels.h"

#include "image/firmware_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

bool Matches(QColor c, QColor want) {
    return std::abs(c.red() - want.red()) <= 3 && std::abs(c.green() - want.green()) <= 3 &&
           std::abs(c.blue() - want.blue()) <= 3;
}

double DistanceToSegment(QPointF p, QPointF a, QPointF b) {
    const QPointF ab = b - a;
    const double len2 = QPointF::dotProduct(ab, ab);
    const double t = len2 == 0 ? 0 : std::clamp(QPointF::dotProduct(p - a, ab) / len2, 0.0, 1.0);
    const QPointF d = p - (a + t * ab);
    return std::sqrt(QPointF::dotProduct(d, d));
}

} // namespace

void LoadDemoImage(FirmwareImage& image) {
    const HexLoadResult loaded = image.LoadHex(VELMARIS_SOURCE_DIR "/examples/demo.hex");
    ASSERT_TRUE(loaded.complete) << loaded.reason;
}

QColor Pixel(SurfaceColor c) {
    return QColor::fromRgbF(c.r, c.g, c.b);
}

int CountColour(const QImage& frame, QColor want) {
    int n = 0;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
            n += Matches(frame.pixelColor(x, y), want) ? 1 : 0;
    return n;
}

std::vector<QPointF> Projected(const SurfaceFrame& f, const SurfaceBatch& b, const ViewMatrix& mvp,
                               QSize view) {
    std::vector<QPointF> out;
    for (int i = b.first; i < b.first + b.count; ++i) {
        float x = 0, y = 0;
        if (ProjectToView(mvp, f.points[i], view.width(), view.height(), x, y))
            out.emplace_back(x, y);
    }
    return out;
}

double ShareOnLines(const QImage& frame, QColor want,
                    const std::vector<std::vector<QPointF>>& polylines, double tolerance) {
    int total = 0, near = 0;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x) {
            if (!Matches(frame.pixelColor(x, y), want))
                continue;
            ++total;
            const QPointF p(x + 0.5, y + 0.5);
            bool onLine = false;
            for (const auto& line : polylines)
                for (size_t i = 0; !onLine && i + 1 < line.size(); ++i)
                    onLine = DistanceToSegment(p, line[i], line[i + 1]) <= tolerance;
            near += onLine ? 1 : 0;
        }
    return total == 0 ? 0.0 : static_cast<double>(near) / total;
}
