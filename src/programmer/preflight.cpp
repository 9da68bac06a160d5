#include "programmer/preflight.h"

#include "image/firmware_image.h"

namespace prog {

namespace {

// The program code below the calibration checksum word. Erased flash reads 0xFF, a new image
// 0x00: either one all through means there is no program to run.
constexpr uint16_t CodeLast = 0x5FEF;

bool CodeAreaBlank(const FirmwareImage& image) {
    const uint8_t first = image.ReadByte(0);
    if (first != 0x00 && first != 0xFF)
        return false;
    for (uint32_t a = 1; a <= CodeLast; ++a)
        if (image.ReadByte(static_cast<uint16_t>(a)) != first)
            return false;
    return true;
}

} // namespace

std::vector<PreflightRefusal> preflight_check(const FirmwareImage& image) {
    std::vector<PreflightRefusal> reasons;
    if (!image.Loaded)
        reasons.push_back(PreflightRefusal::NotLoaded);
    else if (!image.Complete)
        reasons.push_back(PreflightRefusal::Incomplete);
    if (CodeAreaBlank(image))
        reasons.push_back(PreflightRefusal::Blank);
    if (image.StoredChecksum() != image.ComputeChecksum())
        reasons.push_back(PreflightRefusal::ChecksumMismatch);
    return reasons;
}

const char* preflight_text(PreflightRefusal refusal) {
    switch (refusal) {
    case PreflightRefusal::NotLoaded:
        return "no image was opened or read";
    case PreflightRefusal::Incomplete:
        return "the image is incomplete";
    case PreflightRefusal::Blank:
        return "the image is blank (its code area holds only 0x00 or only 0xFF)";
    case PreflightRefusal::ChecksumMismatch:
        return "the stored calibration checksum disagrees with the image";
    }
    return "";
}

} // namespace prog
