// velmaris-cli program: programs a .bin or .hex image into the control unit and verifies it.
#include "cli/cli_image.h"
#include "cli/command.h"
#include "image/firmware_image.h"
#include "programmer/cli_link.h"
#include "programmer/runs.h"

#include <chrono>
#include <filesystem>
#include <iostream>
#include <vector>

namespace {

// Loads the image to program. Anything less than a complete image is refused: what is
// missing would be programmed as zeros.
std::string Load(const std::string& file, FirmwareImage& image) {
    if (IsHexFileName(file)) {
        const HexLoadResult r = image.LoadHex(file);
        if (!r.complete)
            return file + ": line " + std::to_string(r.line) + ": " + r.reason;
        return {};
    }
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    if (ec)
        return file + ": " + ec.message();
    if (size != FirmwareImage::Size)
        return file + ": a binary image must be exactly 32768 bytes";
    image.LoadBin(file);
    return {};
}

const char* Reason(prog::ProgramOutcome outcome) {
    switch (outcome) {
    case prog::ProgramOutcome::ProtectionFailed:
        return "the unit's protection step failed; the unit is unchanged";
    case prog::ProgramOutcome::EraseFailed:
        return "erasing failed; the unit may be partly erased";
    case prog::ProgramOutcome::BlockFailed:
        return "programming a block failed; the unit holds a partly programmed image";
    case prog::ProgramOutcome::Stopped:
        return "stopped; the unit holds a partly programmed image";
    case prog::ProgramOutcome::VerifyNoAnswer:
        return "the verifying read got no answer; the result is unknown";
    case prog::ProgramOutcome::VerifyShortBlock:
        return "the verifying read lost data; the result is unknown";
    case prog::ProgramOutcome::VerifyMismatch:
        return "the unit's memory differs from the image";
    case prog::ProgramOutcome::Ok:
        break;
    }
    return "";
}

int Run(const std::vector<std::string>& args) {
    cli_link::Args a;
    const std::string error = cli_link::Parse(args, a);
    if (!error.empty()) {
        std::cerr << "velmaris-cli program: " << error << "\n";
        return 2;
    }
    FirmwareImage image;
    const std::string loadError = Load(a.file, image);
    if (!loadError.empty()) {
        std::cerr << "velmaris-cli program: " << loadError << "\n";
        return 2;
    }
    std::unique_ptr<COMPort> port = cli_link::Connect(a);
    if (!port)
        return 1;

    std::vector<uint8_t> readBack(prog::MemorySize);
    prog::ProgramReport report;
    const auto started = std::chrono::steady_clock::now();
    {
        cli_link::ProgressLine progress("programming", static_cast<int>(prog::BlockCount));
        report = prog::program_image(
            *port, image.Data.get(), readBack.data(), progress.Step(), [&](prog::ProgramPhase p) {
                if (p == prog::ProgramPhase::Verifying)
                    progress.Restart("verifying", static_cast<int>(prog::BlockCount));
            });
    }
    if (report.outcome != prog::ProgramOutcome::Ok) {
        std::cerr << "velmaris-cli program: " << Reason(report.outcome);
        if (report.outcome == prog::ProgramOutcome::VerifyMismatch)
            std::cerr << " (" << report.differences << " bytes)";
        std::cerr << "\n";
        return 1;
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    std::cerr << "programmed and verified " << a.file << " in " << took.count() << " s\n";
    return 0;
}

const CliCommandRegistration registration({
    "program",
    "program --port DEV [--speed 9600|19200] IN  program the image IN (.bin or .hex) into the "
    "control unit and verify it",
    Run,
});

} // namespace
