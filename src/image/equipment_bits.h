#pragma once

#include <array>

class FirmwareImage;

// The equipment of the control unit: 48 bits in the 6 bytes at the image's AddrEquipment that
// say which sensors, actuators and functions are fitted or enabled. Item k is bit k % 8 of byte
// AddrEquipment + k / 8 (bit 0 least significant); a set bit means fitted / enabled.
constexpr int EquipmentCount = 48;
constexpr int EquipmentBytes = EquipmentCount / 8;

using EquipmentBits = std::array<bool, EquipmentCount>;

// The 48 bits as they stand in the image, in item order.
EquipmentBits ReadEquipment(const FirmwareImage& image);

// Sets or clears each of the 48 bits alone, in item order, through the image's byte writes.
void WriteEquipment(FirmwareImage& image, const EquipmentBits& bits);
