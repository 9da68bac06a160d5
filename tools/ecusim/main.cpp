// velmaris-ecusim: a simulated control unit on a pseudo-terminal.
//
//   velmaris-ecusim --help | --version
//   velmaris-ecusim LINK [--memory FILE] [--awake] [--pace] [--access-code HEX12]
//                   [--dump FILE] [--fault NAME[=VALUE]]...
//
// It creates a pseudo-terminal, makes LINK a symbolic link to its device, prints "ready" and
// then plays a control unit on it until it is terminated. The memory starts as FILE (.hex or
// raw .bin, 32 KB) or all 0x00; --dump writes the memory to a file on exit.
//
// Faults: no-echo, silent-after-ack=CMD (hex command byte), fail-protection, fail-erase=N,
// fail-block=OFFSET (hex image offset),
// bad-flash=OFFSET (the block reports success but keeps a wrong byte), short-read=BLOCK,
// disconnect-after=BYTES.
#include "ecu_model.h"
#include "pty_line.h"

#include "image/firmware_image.h"
#include "image/hex_format.h"
#include "programmer/protocol.h"
#include "velmaris_notice.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <iostream>
#include <limits>
#include <string>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) {
    g_stop = 1;
}

[[noreturn]] void Usage(const std::string& why) {
    std::cerr << "velmaris-ecusim: " << why << "\n"
              << "usage: velmaris-ecusim LINK [--memory FILE] [--awake] [--pace]"
                 " [--access-code HEX12] [--dump FILE] [--fault NAME[=VALUE]]...\n";
    std::exit(2);
}

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

void LoadMemory(const std::string& file, std::vector<uint8_t>& memory) {
    FirmwareImage image;
    if (EndsWith(file, ".hex") || EndsWith(file, ".HEX")) {
        const HexLoadResult r = image.LoadHex(file);
        if (!r.complete) {
            std::string why = file + ": not a whole image";
            for (const std::string& problem : HexLoadProblems(r, 4))
                why += "; " + problem;
            throw std::runtime_error(why);
        }
    } else {
        image.LoadBin(file);
    }
    std::memcpy(memory.data(), image.Bytes(), memory.size());
}

void ApplyFault(const std::string& fault, EcuModel::Faults& faults, PtyOptions& line) {
    const std::size_t eq = fault.find('=');
    const std::string name = fault.substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : fault.substr(eq + 1);
    auto number = [&](int base) {
        if (value.empty())
            Usage("fault " + name + " needs a value");
        // The whole value must be a number that fits; stol alone would throw past main's
        // handler or let a later character or a wrapped int through.
        std::size_t used = 0;
        long n = -1;
        try {
            n = std::stol(value, &used, base);
        } catch (const std::exception&) {
        }
        if (used != value.size() || n < 0 || n > std::numeric_limits<int>::max())
            Usage("fault " + name + ": bad value " + value);
        return static_cast<int>(n);
    };
    if (name == "no-echo")
        line.echo = false;
    else if (name == "silent-after-ack")
        faults.silentAfterAck = number(16);
    else if (name == "fail-protection")
        faults.failProtection = true;
    else if (name == "fail-erase")
        faults.failEraseSector = number(10);
    else if (name == "fail-block")
        faults.failBlockOffset = number(16);
    else if (name == "bad-flash")
        faults.badFlashOffset = number(16);
    else if (name == "short-read")
        faults.shortReadBlock = number(10);
    else if (name == "disconnect-after")
        line.disconnectAfter = number(10);
    else
        Usage("unknown fault " + name);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        Usage("no link path");
    if (std::strcmp(argv[1], "--version") == 0) {
        std::cout << "velmaris-ecusim " << VELMARIS_NOTICE_VERSION << "\n" << VELMARIS_NOTICE_TEXT;
        return 0;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::cout
            << "usage: velmaris-ecusim LINK [options]\n"
               "Plays a control unit on a pseudo-terminal reachable through the symbolic link "
               "LINK.\n"
               "  --memory FILE        32 KB memory from a .hex or .bin file (default all 0x00)\n"
               "  --dump FILE          write the memory to FILE on exit\n"
               "  --awake              start running at 19200 bit/s (default: asleep, 9600)\n"
               "  --pace               deliver bytes at the line rate, 10 bits per byte\n"
               "  --access-code HEX12  the unit's access code (default 000000000000); a woken\n"
               "                       unit answers monitor commands only after hearing it\n"
               "  --fault NAME[=VALUE] no-echo, silent-after-ack=CMD, fail-protection,\n"
               "                       fail-erase=SECTOR, fail-block=OFFSET, bad-flash=OFFSET,\n"
               "                       short-read=BLOCK, disconnect-after=BYTES\n"
               "                       (CMD and OFFSET hexadecimal)\n"
               "  --version            version and licence\n";
        return 0;
    }
    PtyOptions line;
    line.linkPath = argv[1];
    EcuModel::Faults faults;
    std::string memoryFile, dumpFile;
    bool awake = false;
    prog::AccessCode code{};
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc)
                Usage(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--memory")
            memoryFile = next();
        else if (arg == "--dump")
            dumpFile = next();
        else if (arg == "--awake")
            awake = true;
        else if (arg == "--pace")
            line.pace = true;
        else if (arg == "--access-code") {
            if (!prog::parse_access_code(next(), code))
                Usage("the access code must be 12 hexadecimal digits");
        } else if (arg == "--fault")
            ApplyFault(next(), faults, line);
        else
            Usage("unknown option " + arg);
    }

    try {
        EcuModel unit(awake ? EcuModel::Mode::Streaming : EcuModel::Mode::Asleep);
        unit.faults() = faults;
        unit.set_access_code(code.data());
        if (!memoryFile.empty())
            LoadMemory(memoryFile, unit.memory());

        struct sigaction sa {};
        sa.sa_handler = OnSignal;
        sigaction(SIGTERM, &sa, nullptr);
        sigaction(SIGINT, &sa, nullptr);
        std::signal(SIGPIPE, SIG_IGN);

        PtyLine pty(line);
        std::cout << "ready " << pty.device() << std::endl;
        pty.Run(unit, g_stop);

        if (!dumpFile.empty()) {
            std::ofstream out(dumpFile, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(unit.memory().data()),
                      static_cast<std::streamsize>(unit.memory().size()));
            if (!out)
                throw std::runtime_error("cannot write " + dumpFile);
        }
    } catch (const std::exception& e) {
        std::cerr << "velmaris-ecusim: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
