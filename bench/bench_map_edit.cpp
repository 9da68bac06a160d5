// Timing of map edits: the stored-value search behind every typed or computed cell value, an
// operation on the whole main map (decode included) and pasting a whole main map.

#include "image/firmware_image.h"
#include "maps/map_operations.h"
#include "maps/nearest_raw.h"
#include "maps/table_text.h"
#include "varied_image.h"

#include <benchmark/benchmark.h>

namespace {

// Varied bytes everywhere and a rising load axis.
void FillImage(FirmwareImage& img) {
    FillVariedImage(img, 54321);
}

void BM_NearestRawByte(benchmark::State& state) {
    FirmwareImage img;
    FillImage(img);
    double target = 0.1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(NearestRaw(img, MapKind::Lambda, 20, 11, target));
        target += 0.001;
    }
}
BENCHMARK(BM_NearestRawByte);

void BM_NearestRawWord(benchmark::State& state) {
    FirmwareImage img;
    FillImage(img);
    double target = 100.3;
    for (auto _ : state) {
        benchmark::DoNotOptimize(NearestRaw(img, MapKind::Pmax, 20, 0, target));
        target += 7;
    }
}
BENCHMARK(BM_NearestRawWord)->Unit(benchmark::kMicrosecond);

// Smoothing touches every cell of the 39 x 22 map with its neighbours, then decodes.
void BM_SmoothWholeMainMap(benchmark::State& state) {
    FirmwareImage img;
    FillImage(img);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            ApplyMapOperation(img, MapKind::Tau, {0, 0, 38, 21}, MapOperation::Smooth).changed);
}
BENCHMARK(BM_SmoothWholeMainMap)->Unit(benchmark::kMillisecond);

void BM_PasteWholeMainMap(benchmark::State& state) {
    FirmwareImage img;
    FillImage(img);
    const std::string text = SelectionText(img, MapKind::Uoz, {0, 0, 38, 21}, ",", false);
    // Each round pastes the table shifted by one step, so every cell is written.
    FirmwareImage other;
    FillImage(other);
    ApplyMapOperation(other, MapKind::Uoz, {0, 0, 38, 21}, MapOperation::Add, 0.5);
    const std::string shifted = SelectionText(other, MapKind::Uoz, {0, 0, 38, 21}, ",", false);
    bool flip = false;
    for (auto _ : state) {
        MapEditCount count;
        TableTextError error;
        PasteTableText(img, MapKind::Uoz, 0, 0, flip ? text : shifted, count, error);
        flip = !flip;
        benchmark::DoNotOptimize(count.changed);
    }
}
BENCHMARK(BM_PasteWholeMainMap)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
