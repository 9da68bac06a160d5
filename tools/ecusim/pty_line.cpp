#include "pty_line.h"

#include "ecu_model.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::runtime_error SystemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

int SpeedOf(speed_t code) {
    switch (code) {
    case B1200:
        return 1200;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    default:
        return 0;
    }
}

} // namespace

PtyLine::PtyLine(const PtyOptions& options) : options_(options) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0)
        throw SystemError("posix_openpt");
    if (grantpt(master_) != 0 || unlockpt(master_) != 0)
        throw SystemError("unlockpt");
    device_ = ptsname(master_);
    slave_ = open(device_.c_str(), O_RDWR | O_NOCTTY);
    if (slave_ < 0)
        throw SystemError("open " + device_);
    termios t{};
    tcgetattr(slave_, &t);
    cfmakeraw(&t);
    cfsetspeed(&t, B19200);
    tcsetattr(slave_, TCSANOW, &t);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    unlink(options_.linkPath.c_str());
    if (symlink(device_.c_str(), options_.linkPath.c_str()) != 0)
        throw SystemError("symlink " + options_.linkPath);
}

PtyLine::~PtyLine() {
    unlink(options_.linkPath.c_str());
    if (slave_ >= 0)
        close(slave_);
    if (master_ >= 0)
        close(master_);
}

int PtyLine::HostSpeed() const {
    termios t{};
    if (tcgetattr(slave_, &t) != 0)
        return 0;
    return SpeedOf(cfgetospeed(&t));
}

void PtyLine::Run(EcuModel& unit, volatile std::sig_atomic_t& stop) {
    std::deque<uint8_t> out;
    std::vector<uint8_t> answer;
    std::vector<uint8_t> chunk;
    Clock::time_point lineFreeAt = Clock::now(); // when the last paced byte has been sent
    Clock::time_point nextBurst = Clock::now();
    long received = 0;
    bool blocked = false;
    const auto burstPeriod = std::chrono::milliseconds(500);

    auto enqueue = [&](const std::vector<uint8_t>& bytes) {
        if (out.empty())
            lineFreeAt = std::max(lineFreeAt, Clock::now());
        out.insert(out.end(), bytes.begin(), bytes.end());
    };

    while (!stop) {
        const Clock::time_point now = Clock::now();
        const int speed = HostSpeed() > 0 ? HostSpeed() : unit.speed();
        const auto byteTime = std::chrono::nanoseconds(10'000'000'000LL / speed);

        // Send what is due: everything at once, or at the line rate when pacing.
        std::size_t due = out.size();
        if (options_.pace)
            due = now < lineFreeAt + byteTime
                      ? 0
                      : std::min<std::size_t>(out.size(), (now - lineFreeAt) / byteTime);
        if (due > 0 && !blocked) {
            chunk.assign(out.begin(), out.begin() + static_cast<long>(due));
            const ssize_t n = write(master_, chunk.data(), chunk.size());
            if (n > 0) {
                out.erase(out.begin(), out.begin() + n);
                lineFreeAt += byteTime * n;
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                throw SystemError("write");
            }
            blocked = n < static_cast<ssize_t>(due);
        }

        if (unit.mode() == EcuModel::Mode::Streaming && now >= nextBurst) {
            answer.clear();
            unit.burst(answer);
            enqueue(answer);
            nextBurst = now + burstPeriod;
        }

        // Sleep until input comes, the pseudo-terminal takes more, or the next byte is due.
        auto wait = std::chrono::milliseconds(50);
        if (!out.empty() && options_.pace && !blocked)
            wait = std::min(wait, std::chrono::duration_cast<std::chrono::milliseconds>(
                                      lineFreeAt + byteTime - now));
        if (unit.mode() == EcuModel::Mode::Streaming)
            wait = std::min(wait,
                            std::chrono::duration_cast<std::chrono::milliseconds>(nextBurst - now));
        if (!out.empty() && !options_.pace && !blocked)
            wait = std::chrono::milliseconds(0);
        pollfd p{master_, static_cast<short>(POLLIN | (blocked ? POLLOUT : 0)), 0};
        timespec ts{};
        const auto waitNs = std::max<long long>(
            0, std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count());
        ts.tv_sec = static_cast<time_t>(waitNs / 1'000'000'000);
        ts.tv_nsec = static_cast<long>(waitNs % 1'000'000'000);
        if (options_.pace && wait < std::chrono::milliseconds(1) && !out.empty())
            ts.tv_nsec = std::max<long>(ts.tv_nsec, 100'000); // sub-millisecond pacing
        const int r = ppoll(&p, 1, &ts, nullptr);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            throw SystemError("poll");
        }
        if (p.revents & POLLOUT)
            blocked = false;
        if (!(p.revents & POLLIN))
            continue;

        uint8_t buffer[4096];
        const ssize_t n = read(master_, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR || errno == EIO)
                continue;
            throw SystemError("read");
        }
        const int hostSpeed = HostSpeed();
        for (ssize_t i = 0; i < n; ++i) {
            if (options_.disconnectAfter >= 0 && received >= options_.disconnectAfter)
                return;
            ++received;
            answer.clear();
            if (options_.echo)
                answer.push_back(buffer[i]);
            if (hostSpeed == unit.speed())
                unit.receive(buffer[i], answer);
            else
                unit.noise();
            enqueue(answer);
        }
    }
}
