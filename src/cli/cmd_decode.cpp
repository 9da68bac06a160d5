// velmaris-cli decode FILE [--o2] [--format hex|bin] [--allow-partial]
// Prints every decoded member of the image as one JSON object on stdout.

#include "cli/cli_image.h"
#include "cli/command.h"
#include "image/firmware_image.h"
#include "image/image_json.h"

#include <iostream>

namespace {

int RunDecode(const std::vector<std::string>& argv) {
    CliArgs args;
    if (!ParseCliArgs("decode", argv, {"--o2"}, 1, args))
        return ExitBadInput;
    FirmwareImage image;
    image.UseO2Maps = HasFlag(args, "--o2"); // the map set the load decodes
    if (const int status = LoadImageForCli("decode", image, args.files[0], args))
        return status;
    std::cout << DecodedImageJson(image);
    std::cout.flush();
    return std::cout ? 0 : ExitBadInput;
}

const CliCommandRegistration registration({
    "decode",
    "decode FILE [--o2] [--format hex|bin] [--allow-partial]   print the decoded image as JSON",
    RunDecode,
});

} // namespace
