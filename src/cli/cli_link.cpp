#include "cli/cli_link.h"

#include "programmer/bring_up.h"

#include <QCoreApplication>
#include <iostream>

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
    // Only a wait worth explaining is shown: the other stages pass within seconds.
    const auto say = [](const std::string& stage) {
        if (stage.rfind("waiting", 0) == 0)
            std::cerr << stage << "...\n";
    };
    if (!prog::bring_up(*port, args.speed, 15000, say)) {
        std::cerr << "no link with the control unit on " << args.port << "\n";
        return nullptr;
    }
    return port;
}

ProgressLine::~ProgressLine() {
    if (shown_ >= 0)
        std::cerr << "\n";
}

void ProgressLine::Restart(const char* label, int steps) {
    if (shown_ >= 0)
        std::cerr << "\n";
    label_ = label;
    steps_ = steps;
    done_ = 0;
    shown_ = -1;
}

void ProgressLine::Show(int percent) {
    if (percent == shown_)
        return;
    shown_ = percent;
    std::cerr << "\r" << label_ << ": " << percent << "%" << std::flush;
}

prog::ProgressStep ProgressLine::Step() {
    return [this] {
        ++done_;
        Show(steps_ > 0 ? done_ * 100 / steps_ : 100);
        return true;
    };
}

} // namespace cli_link
