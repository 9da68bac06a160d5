#pragma once

#include <array>
#include <string>

class FirmwareImage;

// The equipment of the control unit: 48 bits in the 6 bytes at the image's AddrEquipment that
// say which sensors, actuators and functions are fitted or enabled. Item k is bit k % 8 of byte
// AddrEquipment + k / 8 (bit 0 least significant); a set bit means fitted / enabled.
constexpr int EquipmentCount = 48;
constexpr int EquipmentBytes = EquipmentCount / 8;

using EquipmentBits = std::array<bool, EquipmentCount>;

// Caption of item k as the equipment list shows it (UTF-8). Throws std::out_of_range for k
// outside 0..47.
const char* EquipmentCaption(int k);

// Designation of item k in the unit's documentation: "TYPE.0" .. "TYPE.7", then "TYPE1.0" ..
// "TYPE5.7". Throws std::out_of_range for k outside 0..47.
std::string EquipmentDesignation(int k);

// Whether the user may change item k: only the oxygen sensor (1), the speed sensor (6), the
// adsorber (36) and the fan (40). All other bits are shown for information only.
bool IsEquipmentChangeable(int k);

// The 48 bits as they stand in the image, in item order.
EquipmentBits ReadEquipment(const FirmwareImage& image);

// Sets or clears each of the 48 bits alone, in item order, through the image's byte writes.
void WriteEquipment(FirmwareImage& image, const EquipmentBits& bits);
