#pragma once

#include "image/firmware_image.h"

#include <cstdint>

// Puts the raw values that the fixture database's stored Results were made from into an image
// (constants), and plausible vector contents at the fixture's vector addresses.
inline void FillFixtureImage(FirmwareImage& image) {
    image.WriteByte(0x6104, 0x55);
    image.WriteWord(0x6106, 3100);
    image.WriteByte(0x6108, 0x8D);
    image.WriteByte(0x6109, 0x88);
    image.WriteByte(0x610A, 0x1E);
    image.WriteWord(0x6210, 245);
    image.WriteByte(0x6212, 0x1D);
    image.WriteByte(0x6213, 0x8D);
    image.WriteByte(0x6214, 0x14);
    image.WriteByte(0x6215, 0x95);
    for (int i = 0; i < 16; ++i) {
        image.WriteByte(static_cast<uint16_t>(0x6660 + i), static_cast<uint8_t>(150 - 4 * i));
        image.WriteByte(static_cast<uint16_t>(0x6670 + i), static_cast<uint8_t>(10 * i));
        image.WriteByte(static_cast<uint16_t>(0x6900 + 2 * i), static_cast<uint8_t>(240 - 12 * i));
        image.WriteByte(static_cast<uint16_t>(0x6901 + 2 * i), static_cast<uint8_t>(230 - 11 * i));
        image.WriteByte(static_cast<uint16_t>(0x6920 + i), static_cast<uint8_t>(16 * i));
        image.WriteByte(static_cast<uint16_t>(0x6930 + i), static_cast<uint8_t>(16 * i + 5));
    }
    for (int i = 0; i < 8; ++i) {
        image.WriteWord(static_cast<uint16_t>(0x6680 + 2 * i), static_cast<uint16_t>(400 - 30 * i));
        image.WriteWord(static_cast<uint16_t>(0x6690 + 2 * i),
                        static_cast<uint16_t>(900 + 100 * i));
    }
    for (int i = 0; i < 32; ++i) {
        image.WriteByte(static_cast<uint16_t>(0x6A00 + i), static_cast<uint8_t>(20 + i));
        image.WriteWord(static_cast<uint16_t>(0x6A20 + 2 * i),
                        static_cast<uint16_t>(600 + 200 * i));
    }
}
