#pragma once

#include <string>
#include <vector>

// A sub-command of velmaris-cli. Each command lives in its own file and registers itself with
// a static CliCommandRegistration, so commands can be added without touching main().
// run() gets the arguments after the command name and returns the process exit status:
// 0 success, 2 bad arguments or unreadable input, other values as the command documents.
struct CliCommand {
    const char* name;
    const char* usage; // one line, shown by `velmaris-cli help`
    int (*run)(const std::vector<std::string>& args);
};

struct CliCommandRegistration {
    explicit CliCommandRegistration(const CliCommand& command);
};

const std::vector<CliCommand>& CliCommands();
