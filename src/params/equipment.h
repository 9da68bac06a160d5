#pragma once

#include "image/equipment_bits.h"

#include <string>

// Caption of item k as the equipment list shows it (UTF-8). Throws std::out_of_range for k
// outside 0..47.
const char* EquipmentCaption(int k);

// Designation of item k in the unit's documentation: "TYPE.0" .. "TYPE.7", then "TYPE1.0" ..
// "TYPE5.7". Throws std::out_of_range for k outside 0..47.
std::string EquipmentDesignation(int k);

// Whether the user may change item k: only the oxygen sensor (1), the speed sensor (6), the
// adsorber (36) and the fan (40). All other bits are shown for information only.
bool IsEquipmentChangeable(int k);
