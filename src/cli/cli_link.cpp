#include "cli/cli_link.h"

#include "programmer/bring_up.h"
#include "programmer/progress_text.h"

#include <QCoreApplication>
#include <iostream>
#include <unistd.h>

namespace cli_link {

std::string Parse(const std::vector<std::string>& args, Args& out) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--port" || a == "--speed") {
            if (i + 1 >= args.size())
                return a + " needs a value";
            const std::string& value = args[++i];
            if (a == "--port")
                out.port = value;
            else if (value == "9600" || value == "19200")
                out.speed = std::stoi(value);
            else
                return "--speed must be 9600 or 19200";
        } else if (!a.empty() && a[0] == '-') {
            return "unknown option " + a;
        } else if (out.file.empty()) {
            out.file = a;
        } else {
            return "only one file may be given";
        }
    }
    if (out.port.empty())
        return "--port is required";
    if (out.file.empty())
        return "a file name is required";
    return {};
}

std::unique_ptr<COMPort> Connect(const Args& args) {
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "velmaris-cli";
        static char* argv[] = {name, nullptr};
        new QCoreApplication(argc, argv); // the serial port needs an application object
    }
    auto port = std::make_unique<COMPort>([](const QString& caption, const QString& text) {
        std::cerr << caption.toStdString() << ": " << text.toStdString() << "\n";
    });
    port->set_port_name(QString::fromStdString(args.port));
    if (!port->open())
        return nullptr;
    std::cerr << "connecting to the control unit on " << args.port << "...\n";
    // The bring-up tells only what is worth explaining: a wait, and what to check when
    // nothing answers.
    const auto say = [](const std::string& what) { std::cerr << what << "\n"; };
    if (!prog::bring_up(*port, args.speed, 15000, say)) {
        std::cerr << "no link with the control unit on " << args.port << "\n";
        return nullptr;
    }
    return port;
}

ProgressLine::ProgressLine(const char* label, int steps)
    : label_(label), terminal_(isatty(STDERR_FILENO) != 0) {
    progress_.Start(steps);
}

ProgressLine::~ProgressLine() {
    EndBar();
}

void ProgressLine::EndBar() {
    if (terminal_ && !shown_.empty())
        std::cerr << "\n";
}

void ProgressLine::Restart(const char* label, int steps) {
    EndBar();
    label_ = label;
    progress_.Start(steps);
    shown_.clear();
    shownTenths_ = -1;
}

void ProgressLine::Show() {
    const int percent = progress_.Percent();
    if (!terminal_) {
        if (shownTenths_ == percent / 10)
            return;
        shownTenths_ = percent / 10;
        std::cerr << prog::ProgressPlainLine(label_, percent / 10 * 10) << "\n" << std::flush;
        return;
    }
    std::string line = prog::ProgressBarLine(label_, progress_.done(), progress_.total(),
                                             progress_.ElapsedSeconds());
    if (line == shown_)
        return;
    // A shorter line (the time left gone at the end) must not leave the tail of the last one.
    const std::size_t width = line.size();
    if (shown_.size() > width)
        line += std::string(shown_.size() - width, ' ');
    std::cerr << "\r" << line << std::flush;
    line.resize(width);
    shown_ = line;
}

prog::ProgressStep ProgressLine::Step() {
    return [this] {
        progress_.Step();
        Show();
        return true;
    };
}

} // namespace cli_link
