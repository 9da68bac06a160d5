// Timing of comparing two whole images, as the window does after every edit while a reference
// is open and the command-line diff does once. Budget: 200 µs.

#include "maps/image_compare.h"

#include <benchmark/benchmark.h>
#include <vector>

namespace {

void BM_CompareImages(benchmark::State& state) {
    std::vector<uint8_t> bytesA(FirmwareImage::Size);
    std::vector<uint8_t> bytesB(FirmwareImage::Size);
    uint32_t x = 12345;
    for (uint32_t i = 0; i < FirmwareImage::Size; ++i) {
        x = x * 1103515245u + 12345u;
        bytesA[i] = static_cast<uint8_t>(x >> 16);
        // Every 97th byte differs: differences in every group and many runs of other bytes.
        bytesB[i] = static_cast<uint8_t>(bytesA[i] ^ (i % 97 == 0 ? 1 : 0));
    }
    const auto a = FirmwareImage::FromBytes(bytesA.data());
    const auto b = FirmwareImage::FromBytes(bytesB.data());
    for (auto _ : state) {
        const ImageDifferences d = CompareImages(*a, *b, false);
        benchmark::DoNotOptimize(d.bytes.data());
    }
}
BENCHMARK(BM_CompareImages)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
