#pragma once

#include <string>
#include <vector>

class FirmwareImage;

// Exit statuses shared by the image commands.
constexpr int ExitBadInput = 2; // bad arguments or a file that cannot be read or written
constexpr int ExitPartial = 3;  // a HEX load ended early, or a binary file is not 32 KB,
                                // and --allow-partial was not given

// The arguments of an image command: positional arguments and the options every command
// that loads an image understands (--format hex|bin, --allow-partial), plus flags of its own.
struct CliArgs {
    std::vector<std::string> files;
    std::string format; // "", "hex" or "bin"
    bool allowPartial = false;
    std::vector<std::string> flags; // the command's own flags that were given
};

// Splits args; flags the command does not know, a bad --format or a wrong number of files are
// reported on stderr. Returns false when the arguments are bad.
bool ParseCliArgs(const char* command, const std::vector<std::string>& args,
                  const std::vector<std::string>& knownFlags, size_t fileCount, CliArgs& out);

bool HasFlag(const CliArgs& args, const std::string& flag);

// True when a file name's extension says HEX (".hex" in any case).
bool IsHexFileName(const std::string& fileName);

// Prints an error of a command on stderr, every line of it after "velmaris-cli COMMAND: ", so a
// save's message shows its short text, then the file and the reason, as the window does.
void ReportCliError(const char* command, const std::string& message);

// Loads an image by --format or, without it, by the file's extension. Errors and a HEX load
// that ended early (with its line and reason) are reported on stderr. Returns 0 when the image
// may be used, otherwise the exit status for the command.
int LoadImageForCli(const char* command, FirmwareImage& image, const std::string& fileName,
                    const CliArgs& args);
