#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace prog {

// Keeps what a unit held before it is programmed: saves its 32 KB memory (as read) as
// "backup-YYYYMMDD-HHMMSS.bin" and ".hex", local time `when`, in folder, which is created when
// missing. When a backup of the same second is already there, "-2", "-3", ... follow the time,
// so no earlier backup is ever replaced. Returns the path of the pair without its extension;
// throws std::runtime_error when the folder or a file cannot be written.
std::string save_unit_backup(const uint8_t* memory, const std::string& folder, std::time_t when);

} // namespace prog
