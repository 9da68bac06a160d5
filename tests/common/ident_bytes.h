#pragma once

#include "image/firmware_image.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Raw bytes of the identification area, written and read as they are stored.
inline void PutRaw(FirmwareImage& image, uint16_t address, const std::string& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i)
        image.WriteByte(static_cast<uint16_t>(address + i), static_cast<uint8_t>(bytes[i]));
}

inline std::string Raw(const FirmwareImage& image, uint16_t address, int length) {
    return std::string(reinterpret_cast<const char*>(image.Bytes()) + address,
                       static_cast<size_t>(length));
}

// A text padded with zero bytes to a field's length.
inline std::string Padded(const std::string& text, int length) {
    return text + std::string(static_cast<size_t>(length) - text.size(), '\0');
}
