// The checks before programming, on images made in memory.
#include "image/firmware_image.h"
#include "programmer/preflight.h"

#include <gtest/gtest.h>

using prog::PreflightRefusal;
using Refusals = std::vector<PreflightRefusal>;

namespace {

// A whole image as a load leaves it, every byte `fill`, its checksum in agreement.
void Whole(FirmwareImage& image, uint8_t fill) {
    for (uint32_t a = 0; a < FirmwareImage::Size; ++a)
        image.WriteByte(static_cast<uint16_t>(a), fill);
    image.UpdateChecksum();
    image.Loaded = true;
    image.Complete = true;
}

// The code area is 0x0000..0x5FEF: one other byte anywhere in it, its first and its last
// included, means there is a program; bytes above it (the checksum, the calibration) do not.
TEST(Preflight, BlankMeansTheWholeCodeAreaHoldsOneErasedValue) {
    for (const uint8_t fill : {uint8_t{0x00}, uint8_t{0xFF}}) {
        FirmwareImage image;
        Whole(image, fill);
        EXPECT_EQ(prog::preflight_check(image), Refusals{PreflightRefusal::Blank});
        image.WriteByte(0x6000, 0x12);
        image.UpdateChecksum();
        EXPECT_EQ(prog::preflight_check(image), Refusals{PreflightRefusal::Blank});
        for (const uint16_t address : {0x0000, 0x0001, 0x2F00, 0x5FEF}) {
            FirmwareImage code;
            Whole(code, fill);
            code.WriteByte(address, 0x12);
            code.UpdateChecksum();
            EXPECT_TRUE(prog::preflight_check(code).empty()) << address;
        }
    }
}

TEST(Preflight, NamesEveryReasonOnce) {
    FirmwareImage image;
    EXPECT_EQ(prog::preflight_check(image),
              (Refusals{PreflightRefusal::NotLoaded, PreflightRefusal::Blank}));
    Whole(image, 0x5A);
    image.Complete = false;
    image.WriteByte(0x7000, 1); // not summed again
    EXPECT_EQ(prog::preflight_check(image),
              (Refusals{PreflightRefusal::Incomplete, PreflightRefusal::ChecksumMismatch}));
}

} // namespace
