#pragma once

// Runs the built velmaris-cli (path in the VELMARIS_CLI macro) as a user would, and captures
// its exit status, standard output and standard error. A run is cut off after two minutes, so
// a program that hangs fails its test instead of stalling the whole run.

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

struct CliRun {
    int status = -1; // exit status, -1 when the program did not exit normally
    std::string out;
    std::string err;
};

inline std::string ShellQuote(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Arguments already quoted for the shell, e.g. "decode '/tmp/a b.hex'".
inline CliRun RunCliCommand(const std::string& shellArgs) {
    std::string errFile =
        (std::filesystem::temp_directory_path() / "velmaris-cli-stderr-XXXXXX").string();
    const int fd = mkstemp(errFile.data());
    CliRun run;
    if (fd < 0)
        return run;
    close(fd);
    const std::string command =
        "timeout 120 " + ShellQuote(VELMARIS_CLI) + " " + shellArgs + " 2>" + ShellQuote(errFile);
    if (FILE* pipe = popen(command.c_str(), "r")) {
        std::array<char, 4096> buffer;
        std::size_t n;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
            run.out.append(buffer.data(), n);
        const int status = pclose(pipe);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::ifstream err(errFile, std::ios::binary);
    std::ostringstream text;
    text << err.rdbuf();
    run.err = text.str();
    std::remove(errFile.c_str());
    return run;
}

inline CliRun RunCli(const std::vector<std::string>& args) {
    std::string shellArgs;
    for (const std::string& a : args)
        shellArgs += (shellArgs.empty() ? "" : " ") + ShellQuote(a);
    return RunCliCommand(shellArgs);
}
