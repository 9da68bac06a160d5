// velmaris-cli checksum FILE [--format hex|bin] [--allow-partial]
// Prints the stored and the computed calibration checksum; exit status 0 when they agree,
// 1 when they do not. Of a file that is not a whole image the two values are printed only with
// --allow-partial, and the status is 3 all the same: bytes that never came count as zeros, so
// agreeing values prove nothing (a cut file "agrees" with 0x0000 = 0x0000).

#include "cli/cli_image.h"
#include "cli/command.h"
#include "image/firmware_image.h"

#include <cstdio>

namespace {

int RunChecksum(const std::vector<std::string>& argv) {
    CliArgs args;
    if (!ParseCliArgs("checksum", argv, {}, 1, args))
        return ExitBadInput;
    FirmwareImage image;
    if (const int status = LoadImageForCli("checksum", image, args.files[0], args))
        return status;
    const unsigned stored = image.StoredChecksum();
    const unsigned computed = image.ComputeChecksum();
    std::printf("stored   0x%04X\ncomputed 0x%04X\n", stored, computed);
    if (!image.Complete)
        return ExitPartial;
    return stored == computed ? 0 : 1;
}

const CliCommandRegistration registration({
    "checksum",
    "checksum FILE [--format hex|bin] [--allow-partial]   stored and computed checksum "
    "(exit 1 when they differ, 3 when FILE is not a whole image)",
    RunChecksum,
});

} // namespace
