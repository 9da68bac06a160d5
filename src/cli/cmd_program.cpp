// velmaris-cli program: programs a .bin or .hex image into the control unit and verifies it.
#include "cli/cli_image.h"
#include "cli/cli_link.h"
#include "cli/command.h"
#include "image/firmware_image.h"
#include "maps/byte_owner.h"
#include "programmer/preflight.h"
#include "programmer/runs.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <vector>

namespace {

// Exit statuses of a run that reached the unit: 1 when it failed with the unit untouched, 4
// when the unit's contents are damaged or unknown (erased, partly written, not verified or
// different from the image).
constexpr int ExitUnitUntouched = 1;
constexpr int ExitUnitDamaged = 4;

// How many differing bytes are listed one by one before the rest is only counted.
constexpr std::size_t ListedBytes = 20;

// The options only this command has; what is left goes to the link's own parser.
struct ProgramOptions {
    bool fixChecksum = false;
    std::string backup; // where the unit's memory is saved before anything is erased
};

std::string TakeProgramOptions(std::vector<std::string>& args, ProgramOptions& out) {
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--fix-checksum") {
            out.fixChecksum = true;
        } else if (args[i] == "--backup") {
            if (i + 1 >= args.size())
                return "--backup needs a file name";
            out.backup = args[++i];
        } else {
            rest.push_back(args[i]);
        }
    }
    args = rest;
    return {};
}

// Loads the image to program and asks the pre-flight check whether it may be programmed.
// Every reason it gives is printed, and the details of an incomplete file with it.
bool LoadAndCheck(const std::string& file, const ProgramOptions& options, FirmwareImage& image) {
    const bool hex = IsHexFileName(file);
    HexLoadResult result;
    try {
        if (hex)
            result = image.LoadHex(file);
        else
            image.LoadBin(file);
    } catch (const std::exception& e) {
        std::cerr << "velmaris-cli program: " << file << ": " << e.what() << "\n";
        return false;
    }
    if (options.fixChecksum)
        image.UpdateChecksum();
    const std::vector<prog::PreflightRefusal> refusals = prog::preflight_check(image);
    if (refusals.empty())
        return true;
    std::cerr << "velmaris-cli program: " << file << ": not programmed, the unit is untouched:\n";
    for (const prog::PreflightRefusal refusal : refusals) {
        std::cerr << "  " << prog::preflight_text(refusal);
        if (refusal == prog::PreflightRefusal::ChecksumMismatch) {
            char values[64];
            std::snprintf(values, sizeof values, " (stored 0x%04X, computed 0x%04X)",
                          static_cast<unsigned>(image.StoredChecksum()),
                          static_cast<unsigned>(image.ComputeChecksum()));
            std::cerr << values << "; --fix-checksum stores the computed one";
        }
        std::cerr << "\n";
        if (refusal == prog::PreflightRefusal::Incomplete)
            for (const std::string& p : IncompleteImageProblems(image, file, hex, result))
                std::cerr << "    " << p << "\n";
    }
    return false;
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

// Reads the unit's memory and saves it, before anything is erased. False (after saying why)
// when either failed: the run must then stop with the unit untouched.
bool SaveBackup(COMPort& port, const std::string& backup) {
    std::vector<uint8_t> memory(prog::MemorySize);
    prog::RunResult read;
    {
        cli_link::ProgressLine progress("backup read", static_cast<int>(prog::BlockCount));
        read = prog::read_memory(port, memory.data(), progress.Step());
    }
    if (read != prog::RunResult::Ok) {
        std::cerr << "velmaris-cli program: the backup read "
                  << (read == prog::RunResult::NoAnswer ? "was not accepted by the unit"
                                                        : "lost part of the memory")
                  << "; nothing was programmed, the unit is untouched\n";
        return false;
    }
    try {
        SaveImageByExtension(*FirmwareImage::FromBytes(memory.data()), backup);
    } catch (const std::exception& e) {
        std::cerr << "velmaris-cli program: backup " << backup << ": " << e.what()
                  << "\nnothing was programmed, the unit is untouched\n";
        return false;
    }
    std::cerr << "saved the unit's memory to " << backup << "\n";
    return true;
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

// "map CoefCorUoz 1600/30", "ident ProgIdent", "checksum": what the byte at offset holds.
std::string OwnerText(const FirmwareImage& image, uint32_t offset) {
    const ByteOwner owner = OwnerOfByte(image, offset);
    switch (owner.kind) {
    case ByteOwner::Kind::MapCell: {
        std::string text =
            std::string("map ") + GetMapInfo(owner.map).name + " " + std::to_string(owner.rowLabel);
        if (owner.hasColumn)
            text += "/" + std::to_string(owner.colLabel);
        return text;
    }
    case ByteOwner::Kind::Ident:
        return std::string("ident ") + FirmwareImage::IdentName(owner.field);
    case ByteOwner::Kind::Equipment:
        return "equipment bits";
    case ByteOwner::Kind::Checksum:
        return "checksum";
    case ByteOwner::Kind::Other:
        break;
    }
    return "code or other data";
}

// Says what went wrong, what the unit holds now and what to do next; returns the exit status.
int ReportFailure(const FirmwareImage& image, const prog::ProgramReport& report,
                  const std::vector<uint8_t>& readBack, const std::string& backup) {
    std::cerr << "velmaris-cli program: " << Reason(report.outcome) << "\n"
              << prog::unit_state_text(report) << "\n";
    if (report.state == prog::UnitState::Differs) {
        for (std::size_t i = 0; i < report.differingOffsets.size() && i < ListedBytes; ++i) {
            const auto at = static_cast<uint16_t>(report.differingOffsets[i]);
            char line[64];
            std::snprintf(line, sizeof line, "  0x%04X: 0x%02X in the image, 0x%02X in the unit",
                          static_cast<unsigned>(at), static_cast<unsigned>(image.ReadByte(at)),
                          static_cast<unsigned>(readBack[at]));
            std::cerr << line << " (" << OwnerText(image, at) << ")\n";
        }
    }
    if (prog::unit_intact(report.state))
        return ExitUnitUntouched;
    std::cerr << "keep the unit powered and run the same command again";
    if (!backup.empty())
        std::cerr << "; what it held before is in " << backup;
    std::cerr << "\n";
    return ExitUnitDamaged;
}

int Run(const std::vector<std::string>& argv) {
    std::vector<std::string> args = argv;
    ProgramOptions options;
    cli_link::Args a;
    std::string error = TakeProgramOptions(args, options);
    if (error.empty())
        error = cli_link::Parse(args, a);
    if (error.empty() && !options.backup.empty() && SameFile(options.backup, a.file))
        error = "the backup must not replace the image to program";
    if (!error.empty()) {
        std::cerr << "velmaris-cli program: " << error << "\n";
        return 2;
    }
    FirmwareImage image;
    if (!LoadAndCheck(a.file, options, image))
        return 2;
    // A backup that could never be saved is said before the unit is woken and read.
    if (!options.backup.empty()) {
        try {
            FirmwareImage::CheckSaveTarget(options.backup);
        } catch (const std::exception& e) {
            ReportCliError("program", std::string(e.what()) +
                                          "\nnothing was programmed, the unit is untouched");
            return 2;
        }
    }
    std::unique_ptr<COMPort> port = cli_link::Connect(a);
    if (!port)
        return 1;
    if (!options.backup.empty() && !SaveBackup(*port, options.backup))
        return 1;

    std::vector<uint8_t> readBack(prog::MemorySize);
    prog::ProgramReport report;
    const auto started = std::chrono::steady_clock::now();
    {
        cli_link::ProgressLine progress("programming", static_cast<int>(prog::BlockCount));
        report = prog::program_image(
            *port, image.Bytes(), readBack.data(), progress.Step(), [&](prog::ProgramPhase p) {
                if (p == prog::ProgramPhase::Verifying)
                    progress.Restart("verifying", static_cast<int>(prog::BlockCount));
            });
    }
    if (report.outcome != prog::ProgramOutcome::Ok) {
        return ReportFailure(image, report, readBack, options.backup);
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    std::cerr << "programmed and verified " << a.file << " in " << took.count() << " s\n";
    return 0;
}

const CliCommandRegistration registration({
    "program",
    "program --port DEV [--speed 9600|19200] [--fix-checksum] [--backup FILE] IN   program IN "
    "(.bin or .hex) into the control unit and verify it; refuses a blank, incomplete or wrongly "
    "summed image; --fix-checksum recomputes the checksum first; --backup saves the unit's "
    "memory to FILE (.hex or .bin) before erasing; exit 1: failed with the unit untouched, "
    "exit 4: failed with the unit's contents damaged or unknown (said on stderr, with addresses)",
    Run,
});

} // namespace
