// velmaris-cli read: reads the control unit's 32 KB memory into a .bin or .hex file.
#include "cli/cli_image.h"
#include "cli/cli_link.h"
#include "cli/command.h"
#include "image/firmware_image.h"
#include "programmer/protocol.h"

#include <chrono>
#include <iostream>
#include <vector>

namespace {

int Run(const std::vector<std::string>& args) {
    cli_link::Args a;
    const std::string error = cli_link::Parse(args, a);
    if (!error.empty()) {
        std::cerr << "velmaris-cli read: " << error << "\n";
        return 2;
    }
    // An output that cannot be written is refused now, not after the read of the unit.
    try {
        FirmwareImage::CheckSaveTarget(a.file);
    } catch (const std::exception& e) {
        ReportCliError("read", e.what());
        return ExitBadInput;
    }
    std::unique_ptr<COMPort> port = cli_link::Connect(a);
    if (!port)
        return 1;

    std::vector<uint8_t> memory(prog::MemorySize);
    prog::RunResult result;
    const auto started = std::chrono::steady_clock::now();
    {
        cli_link::ProgressLine progress("reading", static_cast<int>(prog::BlockCount));
        result = prog::read_memory(*port, memory.data(), progress.Step());
    }
    if (result == prog::RunResult::NoAnswer) {
        std::cerr << "velmaris-cli read: the unit did not accept the read request\n";
        return 1;
    }
    if (result != prog::RunResult::Ok) {
        std::cerr << "velmaris-cli read: part of the memory did not arrive; nothing written\n";
        return 1;
    }
    try {
        SaveImageByExtension(*FirmwareImage::FromBytes(memory.data()), a.file);
    } catch (const std::exception& e) {
        ReportCliError("read", e.what());
        return ExitBadInput;
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    std::cerr << "read 32768 bytes into " << a.file << " in " << took.count() << " s\n";
    return 0;
}

const CliCommandRegistration registration({
    "read",
    "read --port DEV [--speed 9600|19200] OUT   read the control unit's memory into OUT "
    "(.bin or .hex)",
    Run,
});

} // namespace
