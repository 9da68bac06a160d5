#pragma once

#include "image/firmware_image.h"

#include <cstdint>
#include <vector>

// Varied bytes everywhere (a linear congruential sequence from `seed`) and a rising load axis,
// so every table decodes to ordinary, non-trivial values. One write: the image decodes once.
inline void FillVariedImage(FirmwareImage& img, uint32_t seed) {
    std::vector<uint8_t> bytes(FirmwareImage::Size);
    uint32_t x = seed;
    for (uint8_t& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
    }
    for (int n = 0; n < FirmwareImage::LoadCols; ++n)
        bytes[img.AddrP + n] = static_cast<uint8_t>(3 + 2 * n);
    img.ReplaceData(bytes.data());
}
