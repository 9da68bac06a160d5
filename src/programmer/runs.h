#pragma once

#include "programmer/protocol.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace prog {

// The number of offsets at which two 32 KB memories differ.
std::size_t count_differences(const uint8_t* a, const uint8_t* b);

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

struct ProgramReport {
    ProgramOutcome outcome = ProgramOutcome::Ok;
    std::size_t differences = 0; // for VerifyMismatch
};

enum class ProgramPhase { Protection, Erasing, Programming, Verifying };

// A whole programming run: protection, erasing the four sectors, the 256 blocks (one progress
// step each), then a verifying read into readBack (32 KB, one progress step per block) and
// the comparison. phase (if set) is told when each phase starts.
ProgramReport program_image(SerialLink& link, const uint8_t* image, uint8_t* readBack,
                            const ProgressStep& step,
                            const std::function<void(ProgramPhase)>& phase = {});

} // namespace prog
