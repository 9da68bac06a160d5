#pragma once

#include "programmer/port/com_port.h"
#include "programmer/progress_text.h"
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

// A progress step for stderr. On a terminal it is one bar line rewritten in place, with the
// percent and the time left; into a file or a pipe it is a plain "LABEL: NN%" line at every
// tenth, so a log stays readable.
class ProgressLine {
public:
    ProgressLine(const char* label, int steps);
    ~ProgressLine();
    prog::ProgressStep Step();
    void Restart(const char* label, int steps);

private:
    void Show();
    void EndBar();
    const char* label_;
    prog::ProgressEstimate progress_;
    bool terminal_;
    std::string shown_;
    int shownTenths_ = -1;
};

} // namespace cli_link
