#pragma once

#include <csignal>
#include <string>

class EcuModel;

struct PtyOptions {
    std::string linkPath;      // symbolic link made to the pseudo-terminal's device
    bool pace = false;         // deliver every byte at the line rate (10 bits per byte)
    bool echo = true;          // return every byte the host sends, as the real line does
    long disconnectAfter = -1; // close the line after this many bytes from the host
};

// The line between the host's serial port and the simulated unit: a pseudo-terminal whose
// slave side the host opens through the symbolic link. The unit understands a byte only when
// the host's port speed, read from the terminal settings, matches its own.
class PtyLine {
public:
    explicit PtyLine(const PtyOptions& options);
    ~PtyLine();
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    const std::string& device() const { return device_; }
    // Plays the unit until stop becomes non-zero or the programmed disconnect happens.
    void Run(EcuModel& unit, volatile std::sig_atomic_t& stop);

private:
    int HostSpeed() const;

    PtyOptions options_;
    int master_ = -1;
    int slave_ = -1; // kept open so the line survives the host closing and reopening it
    std::string device_;
};
