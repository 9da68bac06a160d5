// Building the lines of one frame of the 3-D view from the decoded tables.
#include "image/firmware_image.h"
#include "maps/surface_geometry.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

std::unique_ptr<FirmwareImage> SmoothImage() {
    auto image = std::make_unique<FirmwareImage>();
    {
        FirmwareImage::WriteBatch batch(*image); // decoded once, when the batch ends
        for (int r = 0; r < FirmwareImage::Rows; ++r)
            for (int c = 0; c < FirmwareImage::LoadCols; ++c) {
                const uint16_t a = static_cast<uint16_t>(image->AddrMainMap + 44 * r + 2 * c);
                image->WriteByte(a, static_cast<uint8_t>(40 + 3 * c));
                image->WriteByte(static_cast<uint16_t>(a + 1), static_cast<uint8_t>(20 + r + c));
            }
    }
    return image;
}

// A 39 x 22 map with its cross-hair and full-load line, the largest frame the view draws.
void BM_BuildFrame39x22(benchmark::State& state) {
    auto image = SmoothImage();
    SurfaceFrame frame;
    int row = 0;
    for (auto _ : state) {
        BuildSurfaceFrame(*image, MapKind::Uoz, row, 10, frame);
        benchmark::DoNotOptimize(frame.points.data());
        row = (row + 1) % FirmwareImage::Rows;
    }
    state.counters["points"] = static_cast<double>(frame.points.size());
}
BENCHMARK(BM_BuildFrame39x22)->Unit(benchmark::kMicrosecond);

// The same frame into a fresh frame each time, as a caller that keeps no buffer would do.
void BM_BuildFrame39x22Fresh(benchmark::State& state) {
    auto image = SmoothImage();
    for (auto _ : state) {
        SurfaceFrame frame;
        BuildSurfaceFrame(*image, MapKind::Lambda, 5, 10, frame);
        benchmark::DoNotOptimize(frame.points.data());
    }
}
BENCHMARK(BM_BuildFrame39x22Fresh)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
