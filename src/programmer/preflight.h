#pragma once

#include <string>
#include <vector>

class FirmwareImage;

namespace prog {

// Why an image must not be programmed into a unit. Every caller that programs (the window and
// the command line) asks preflight_check first and programs nothing while it lists a reason.
enum class PreflightRefusal {
    NotLoaded,        // no file was opened and the unit was not read: Data is the empty image
    Incomplete,       // some bytes of 0x0000..0x7FFF did not come from the file
    Blank,            // the code area 0x0000..0x5FEF is all 0x00 or all 0xFF
    ChecksumMismatch, // the stored calibration checksum disagrees with the bytes
};

// The reasons, in the order above; empty when the image may be programmed.
std::vector<PreflightRefusal> preflight_check(const FirmwareImage& image);

// A short English text for the command line, e.g. "the image is incomplete".
const char* preflight_text(PreflightRefusal refusal);

} // namespace prog
