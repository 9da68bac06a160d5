// Timing of the image operations that run on every edit or file command: Decode after each
// keystroke, LoadHex and SaveHex of the whole 32 KB, UpdateChecksum before each save.

#include "image/firmware_image.h"
#include "image/hex_format.h"
#include "varied_image.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

// An image with varied bytes everywhere, so every table decodes to non-trivial values.
void FillImage(FirmwareImage& img) {
    FillVariedImage(img, 12345);
}

std::string TempFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "velmaris-bench-XXXXXX").string();
    return mkdtemp(pattern.data());
}

void BM_Decode(benchmark::State& state) {
    FirmwareImage img;
    FillImage(img);
    for (auto _ : state) {
        img.Decode();
        benchmark::DoNotOptimize(img.FullLoad[20].Tau);
    }
}
BENCHMARK(BM_Decode);

void BM_UpdateChecksum(benchmark::State& state) {
    FirmwareImage img;
    FillImage(img);
    for (auto _ : state) {
        img.UpdateChecksum();
        benchmark::DoNotOptimize(img.ReadByte(0x5FF0));
    }
}
BENCHMARK(BM_UpdateChecksum);

void BM_LoadHex(benchmark::State& state) {
    const std::string folder = TempFolder();
    FirmwareImage img;
    FillImage(img);
    img.SaveHex(folder + "/bench.hex");
    for (auto _ : state) {
        const HexLoadResult r = img.LoadHex(folder + "/bench.hex");
        benchmark::DoNotOptimize(r.complete);
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_LoadHex)->Unit(benchmark::kMillisecond);

// The whole save, including flushing the file to the disk and the rename.
void BM_SaveHex(benchmark::State& state) {
    const std::string folder = TempFolder();
    FirmwareImage img;
    FillImage(img);
    for (auto _ : state)
        img.SaveHex(folder + "/bench.hex");
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_SaveHex)->Unit(benchmark::kMillisecond);

// Building the HEX text alone, without the file system.
void BM_WriteHexText(benchmark::State& state) {
    FirmwareImage img;
    FillImage(img);
    for (auto _ : state) {
        std::string text = WriteHexText(img.Bytes());
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(BM_WriteHexText)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
