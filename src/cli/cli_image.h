#pragma once

#include <cstddef>
#include <string>
#include <vector>

class FirmwareImage;
struct HexLoadResult;

// Exit statuses shared by the image commands.
constexpr int ExitBadInput = 2; // bad arguments or a file that cannot be read or written
constexpr int ExitPartial = 3;  // the file does not give a whole image (a HEX file that ended
                                // early, left addresses out or held data outside the image, or
                                // a binary file that is not 32 KB) and --allow-partial was not
                                // given

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

// Saves the image as HEX when the name's extension says so, as binary otherwise; a failure
// raises the image's save error.
void SaveImageByExtension(const FirmwareImage& image, const std::string& fileName);

// Prints an error of a command on stderr, every line of it after "velmaris-cli COMMAND: ", so a
// save's message shows its short text, then the file and the reason, as the window does.
void ReportCliError(const char* command, const std::string& message);

// How many address ranges a report lists before it only counts the rest.
constexpr std::size_t ShownRanges = 8;

// Loads an image by --format or, without it, by the file's extension. Errors and an image
// that the file does not give whole (with every reason the loader found) are reported on
// stderr. Returns 0 when the image may be used, otherwise the exit status for the command.
int LoadImageForCli(const char* command, FirmwareImage& image, const std::string& fileName,
                    const CliArgs& args);

// Why the image just loaded from fileName is not whole, one short line per fault; empty when
// it is. result is the HEX load's result (ignored for a binary file).
std::vector<std::string> IncompleteImageProblems(const FirmwareImage& image,
                                                 const std::string& fileName, bool hex,
                                                 const HexLoadResult& result);

// Prints the problems under one line that names the command and the file.
void ReportIncompleteImage(const char* command, const std::string& fileName,
                           const std::vector<std::string>& problems, bool goingOn);
