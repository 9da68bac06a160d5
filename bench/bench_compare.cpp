// Timing of comparing two whole images, as the window does after every edit while a reference
// is open and the command-line diff does once. Budget: 200 µs.

#include "maps/image_compare.h"

#include <benchmark/benchmark.h>

namespace {

void BM_CompareImages(benchmark::State& state) {
    FirmwareImage a;
    FirmwareImage b;
    uint32_t x = 12345;
    for (uint32_t i = 0; i < FirmwareImage::Size; ++i) {
        x = x * 1103515245u + 12345u;
        a.Data[i] = static_cast<uint8_t>(x >> 16);
        // Every 97th byte differs: differences in every group and many runs of other bytes.
        b.Data[i] = static_cast<uint8_t>(a.Data[i] ^ (i % 97 == 0 ? 1 : 0));
    }
    for (auto _ : state) {
        const ImageDifferences d = CompareImages(a, b, false);
        benchmark::DoNotOptimize(d.bytes.data());
    }
}
BENCHMARK(BM_CompareImages)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
