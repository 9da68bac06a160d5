#include "cli/cli_image.h"
#include "cli/command.h"

#include "velmaris_notice.h"

#include <csignal>
#include <cstring>
#include <exception>
#include <iostream>

namespace {

std::vector<CliCommand>& Registry() {
    static std::vector<CliCommand> commands;
    return commands;
}

int PrintUsage(std::ostream& out) {
    out << "usage: velmaris-cli COMMAND [ARGS...]\n\ncommands:\n";
    for (const CliCommand& c : CliCommands())
        out << "  " << c.usage << "\n";
    out << "\nexit status:\n"
           "  0  success\n"
           "  1  a check failed or the unit did not answer; program: failed, the unit untouched\n"
           "  2  bad arguments, or an input that cannot be read, written or used\n"
           "  3  the file does not give a whole image (without --allow-partial)\n"
           "  4  program failed and the unit's contents are damaged or unknown\n";
    return 2;
}

} // namespace

CliCommandRegistration::CliCommandRegistration(const CliCommand& command) {
    Registry().push_back(command);
}

const std::vector<CliCommand>& CliCommands() {
    return Registry();
}

int main(int argc, char** argv) {
    // Past a file size limit a write then fails with an error the commands report and clean up
    // after, instead of the signal killing the program with its temporary files left behind.
    std::signal(SIGXFSZ, SIG_IGN);
    if (argc < 2)
        return PrintUsage(std::cerr);
    if (std::strcmp(argv[1], "--version") == 0) {
        std::cout << "velmaris-cli " << VELMARIS_VERSION << "\n" << VELMARIS_NOTICE_TEXT;
        return 0;
    }
    if (std::strcmp(argv[1], "help") == 0 || std::strcmp(argv[1], "--help") == 0) {
        PrintUsage(std::cout);
        return 0;
    }
    for (const CliCommand& c : CliCommands())
        if (c.name == std::string(argv[1])) {
            try {
                return c.run(std::vector<std::string>(argv + 2, argv + argc));
            } catch (const std::exception& e) {
                ReportCliError(c.name, e.what());
                return 2;
            }
        }
    std::cerr << "velmaris-cli: unknown command '" << argv[1] << "'\n";
    return PrintUsage(std::cerr);
}
