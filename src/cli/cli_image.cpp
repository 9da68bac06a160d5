#include "cli/cli_image.h"

#include "image/firmware_image.h"
#include "image/hex_format.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <filesystem>
#include <iostream>

bool ParseCliArgs(const char* command, const std::vector<std::string>& args,
                  const std::vector<std::string>& knownFlags, size_t fileCount, CliArgs& out) {
    out = CliArgs();
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--allow-partial") {
            out.allowPartial = true;
        } else if (a == "--format" || a.rfind("--format=", 0) == 0) {
            std::string value;
            if (a == "--format") {
                if (i + 1 == args.size()) {
                    std::cerr << "velmaris-cli " << command << ": --format needs hex or bin\n";
                    return false;
                }
                value = args[++i];
            } else {
                value = a.substr(9);
            }
            if (value != "hex" && value != "bin") {
                std::cerr << "velmaris-cli " << command << ": unknown format '" << value
                          << "' (use hex or bin)\n";
                return false;
            }
            out.format = value;
        } else if (std::find(knownFlags.begin(), knownFlags.end(), a) != knownFlags.end()) {
            out.flags.push_back(a);
        } else if (a.size() > 1 && a[0] == '-') {
            std::cerr << "velmaris-cli " << command << ": unknown option '" << a << "'\n";
            return false;
        } else {
            out.files.push_back(a);
        }
    }
    if (out.files.size() != fileCount) {
        std::cerr << "velmaris-cli " << command << ": expected " << fileCount << " file name"
                  << (fileCount == 1 ? "" : "s") << ", got " << out.files.size() << "\n";
        return false;
    }
    return true;
}

bool HasFlag(const CliArgs& args, const std::string& flag) {
    return std::find(args.flags.begin(), args.flags.end(), flag) != args.flags.end();
}

bool IsHexFileName(const std::string& fileName) {
    const size_t slash = fileName.find_last_of('/');
    const size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return false;
    std::string ext = fileName.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".hex";
}

void SaveImageByExtension(const FirmwareImage& image, const std::string& fileName) {
    if (IsHexFileName(fileName))
        image.SaveHex(fileName);
    else
        image.SaveBin(fileName);
}

void ReportCliError(const char* command, const std::string& message) {
    std::size_t start = 0;
    do {
        const std::size_t end = message.find('\n', start);
        std::cerr << "velmaris-cli " << command << ": " << message.substr(start, end - start)
                  << "\n";
        start = end == std::string::npos ? end : end + 1;
    } while (start != std::string::npos);
}

void ReportIncompleteImage(const char* command, const std::string& fileName,
                           const std::vector<std::string>& problems, bool goingOn) {
    std::cerr << "velmaris-cli " << command << ": " << fileName
              << ": the file does not give a whole image"
              << (goingOn ? " (going on with what was loaded):\n"
                          : " (use --allow-partial to go on with what was loaded):\n");
    for (const std::string& p : problems)
        std::cerr << "  " << p << "\n";
}

std::vector<std::string> IncompleteImageProblems(const FirmwareImage& image,
                                                 const std::string& fileName, bool hex,
                                                 const HexLoadResult& result) {
    if (hex) {
        std::vector<std::string> problems = HexLoadProblems(result, ShownRanges);
        if (!result.missing.empty())
            problems.push_back("the missing bytes are zeros");
        return problems;
    }
    if (image.Complete)
        return {};
    // The loader pads a short file with zeros and drops the tail of a long one; either way
    // the image is not the file, and the line says which of the two happened.
    std::error_code ec;
    const auto size = std::filesystem::file_size(fileName, ec);
    std::string what = (ec ? std::string("the file") : std::to_string(size) + " bytes") +
                       ", a binary image has exactly " + std::to_string(FirmwareImage::Size) +
                       " bytes";
    if (!ec && size > FirmwareImage::Size)
        what +=
            "; the bytes past the first " + std::to_string(FirmwareImage::Size) + " are left out";
    else
        what += "; the missing bytes are zeros";
    return {what};
}

int LoadImageForCli(const char* command, FirmwareImage& image, const std::string& fileName,
                    const CliArgs& args) {
    const bool hex = args.format.empty() ? IsHexFileName(fileName) : args.format == "hex";
    try {
        HexLoadResult result;
        if (hex)
            result = image.LoadHex(fileName);
        else
            image.LoadBin(fileName);
        const std::vector<std::string> problems =
            IncompleteImageProblems(image, fileName, hex, result);
        if (problems.empty())
            return 0;
        ReportIncompleteImage(command, fileName, problems, args.allowPartial);
        return args.allowPartial ? 0 : ExitPartial;
    } catch (const std::exception& e) {
        ReportCliError(command, fileName + ": " + e.what());
        return ExitBadInput;
    }
}
