// velmaris-cli convert IN OUT [--fix-checksum] [--format hex|bin] [--allow-partial]
// Converts an image between HEX and binary; each file's extension says its format (--format
// overrides it for IN). --fix-checksum stores a freshly computed checksum before writing.

#include "cli/cli_image.h"
#include "cli/command.h"
#include "image/firmware_image.h"

#include <exception>

namespace {

int RunConvert(const std::vector<std::string>& argv) {
    CliArgs args;
    if (!ParseCliArgs("convert", argv, {"--fix-checksum"}, 2, args))
        return ExitBadInput;
    FirmwareImage image;
    if (const int status = LoadImageForCli("convert", image, args.files[0], args))
        return status;
    if (HasFlag(args, "--fix-checksum"))
        image.UpdateChecksum();
    const std::string& out = args.files[1];
    try {
        SaveImageByExtension(image, out);
    } catch (const std::exception& e) {
        ReportCliError("convert", e.what());
        return ExitBadInput;
    }
    return 0;
}

const CliCommandRegistration registration({
    "convert",
    "convert IN OUT [--fix-checksum] [--format hex|bin] [--allow-partial]   convert between "
    "HEX and binary by extension",
    RunConvert,
});

} // namespace
