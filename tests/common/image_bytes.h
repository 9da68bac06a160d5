#pragma once

#include "image/firmware_image.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The working copy as a vector, so whole images compare in one expectation.
inline std::vector<uint8_t> ImageBytes(const FirmwareImage& image) {
    return {image.Bytes(), image.Bytes() + FirmwareImage::Size};
}

// The varied bytes most fixtures start from: byte i is i * mul + add.
inline std::vector<uint8_t> PatternBytes(unsigned mul, unsigned add) {
    std::vector<uint8_t> bytes(FirmwareImage::Size);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * mul + add);
    return bytes;
}

// Flips the bits of mask in one byte, through the write path.
inline void FlipBits(FirmwareImage& image, uint32_t address, uint8_t mask) {
    const auto a = static_cast<uint16_t>(address);
    image.WriteByte(a, static_cast<uint8_t>(image.ReadByte(a) ^ mask));
}

// Puts Size bytes into an image as a load does: working and loaded copy both, no change set,
// decoded with the image's map set. Loaded and Complete stay as they were.
inline void LoadBytes(FirmwareImage& image, const std::vector<uint8_t>& bytes) {
    const bool loaded = image.Loaded;
    const bool complete = image.Complete;
    image.AdoptLoad(*FirmwareImage::FromBytes(bytes.data(), image.UseO2Maps));
    image.Loaded = loaded;
    image.Complete = complete;
}
