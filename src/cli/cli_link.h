#pragma once

#include "programmer/com_port.h"
#include "programmer/protocol.h"

#include <memory>
#include <string>
#include <vector>

// What the command-line read and program commands share: their arguments, a port that
// prints its messages on stderr, the link bring-up and a progress line.
namespace cli_link {

struct Args {
    std::string port;
    int speed = 19200;
    std::string file;
};

// Parses "--port DEV [--speed 9600|19200] FILE"; returns an error text, empty when fine.
std::string Parse(const std::vector<std::string>& args, Args& out);

// Opens the port and brings the link up; nullptr after printing the reason on stderr.
std::unique_ptr<COMPort> Connect(const Args& args);

// A progress step that keeps one line on stderr up to date: "LABEL: NN%".
class ProgressLine {
public:
    ProgressLine(const char* label, int steps) : label_(label), steps_(steps) {}
    ~ProgressLine();
    prog::ProgressStep Step();
    void Restart(const char* label, int steps);

private:
    void Show(int percent);
    const char* label_;
    int steps_;
    int done_ = 0;
    int shown_ = -1;
};

} // namespace cli_link
