#pragma once

#include "programmer/protocol.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace prog {

// The number of offsets at which two 32 KB memories differ.
std::size_t count_differences(const uint8_t* a, const uint8_t* b);
// The offsets at which two 32 KB memories differ, rising.
std::vector<uint32_t> differing_offsets(const uint8_t* a, const uint8_t* b);

enum class ProgramOutcome {
    Ok,               // programmed and verified equal
    ProtectionFailed, // nothing was changed in the unit
    EraseFailed,      // the unit may be partly erased
    BlockFailed,      // the unit holds a partly programmed image
    Stopped,          // stopped on request; the unit holds a partly programmed image
    VerifyNoAnswer,   // programmed, but the verifying read got no answer
    VerifyShortBlock, // programmed, but the verifying read lost data
    VerifyMismatch,   // programmed, but the unit's memory differs from the image
};

// What the unit holds where a programming run stopped. Only Untouched and Programmed leave a
// unit that runs as before or as intended; every other state needs another run (or the backup).
enum class UnitState {
    Untouched,        // nothing was erased: the unit holds what it held
    Erased,           // erasing began (erasedSectors sectors done), nothing was written
    PartlyProgrammed, // the image was written below writtenUpTo, the rest is erased
    Unverified,       // the whole image was written, but the verifying read failed
    Differs,          // written and read back, but differingOffsets hold other bytes
    Programmed,       // written and verified equal
};

struct ProgramReport {
    ProgramOutcome outcome = ProgramOutcome::Ok;
    UnitState state = UnitState::Untouched;
    std::size_t differences = 0;            // for VerifyMismatch
    std::vector<uint32_t> differingOffsets; // for VerifyMismatch, rising
    int erasedSectors = 0;                  // sectors whose erase succeeded
    uint32_t writtenUpTo = 0;               // for PartlyProgrammed: the first offset not written
};

// Whether a unit in this state can run its own program as before or as intended.
bool unit_intact(UnitState state);

// One English sentence for the command line, e.g. "the unit is erased and partly programmed
// (up to 0x2380)"; addresses as 0x7000.
std::string unit_state_text(const ProgramReport& report);

enum class ProgramPhase { Protection, Erasing, Programming, Verifying };

// A whole programming run: protection, erasing the four sectors, the 256 blocks (one progress
// step each), then a verifying read into readBack (32 KB, one progress step per block) and
// the comparison. phase (if set) is told when each phase starts.
ProgramReport program_image(SerialLink& link, const uint8_t* image, uint8_t* readBack,
                            const ProgressStep& step,
                            const std::function<void(ProgramPhase)>& phase = {});

} // namespace prog
