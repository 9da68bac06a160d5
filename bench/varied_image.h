#pragma once

#include "image/firmware_image.h"

#include <cstdint>

// Varied bytes everywhere (a linear congruential sequence from `seed`) and a rising load axis,
// so every table decodes to ordinary, non-trivial values. The image is not decoded.
inline void FillVariedImage(FirmwareImage& img, uint32_t seed) {
    uint32_t x = seed;
    for (uint32_t a = 0; a < FirmwareImage::Size; ++a) {
        x = x * 1103515245u + 12345u;
        img.WriteByte(static_cast<uint16_t>(a), static_cast<uint8_t>(x >> 16));
    }
    for (int n = 0; n < FirmwareImage::LoadCols; ++n)
        img.WriteByte(static_cast<uint16_t>(img.AddrP + n), static_cast<uint8_t>(3 + 2 * n));
}
