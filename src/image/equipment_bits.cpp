#include "image/equipment_bits.h"

#include "image/firmware_image.h"

namespace {

uint16_t ByteAddress(const FirmwareImage& image, int k) {
    return static_cast<uint16_t>(image.AddrEquipment + k / 8);
}

uint8_t BitMask(int k) {
    return static_cast<uint8_t>(1u << (k % 8));
}

} // namespace

EquipmentBits ReadEquipment(const FirmwareImage& image) {
    EquipmentBits bits{};
    for (int k = 0; k < EquipmentCount; ++k)
        bits[k] = (image.ReadByte(ByteAddress(image, k)) & BitMask(k)) != 0;
    return bits;
}

void WriteEquipment(FirmwareImage& image, const EquipmentBits& bits) {
    FirmwareImage::WriteBatch batch(image);
    for (int k = 0; k < EquipmentCount; ++k) {
        const uint16_t addr = ByteAddress(image, k);
        const uint8_t old = image.ReadByte(addr);
        const uint8_t value = bits[k] ? static_cast<uint8_t>(old | BitMask(k))
                                      : static_cast<uint8_t>(old & ~BitMask(k));
        image.WriteByte(addr, value);
    }
}
