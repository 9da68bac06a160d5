// COMPort against the simulated unit on a pseudo-terminal: echo, wait budgets, opening.
#include "programmer/port/com_port.h"
#include "programmer/protocol.h"
#include "sim_fixture.h"
#include "sim_process.h"

#include <QTemporaryDir>
#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

class ComPortTest : public ::testing::Test {
protected:
    Messages messages;
    QTemporaryDir files;
};

TEST_F(ComPortTest, EchoIsConsumedAndMissingEchoFails) {
    SimProcess sim;
    COMPort port(std::ref(messages));
    port.set_port_name(QString::fromStdString(sim.link));
    ASSERT_TRUE(port.open());
    uint8_t frame[3] = {0x12, 0x34, 0x56};
    EXPECT_TRUE(port.write_block(frame, 3));
    EXPECT_EQ(frame[0], 0x12);
    EXPECT_EQ(frame[2], 0x56);
    EXPECT_EQ(port.read_byte(), SerialLink::NoByte); // nothing else is queued

    SimProcess mute({"--fault", "no-echo"});
    COMPort quiet(std::ref(messages));
    quiet.set_port_name(QString::fromStdString(mute.link));
    ASSERT_TRUE(quiet.open());
    const auto start = Clock::now();
    EXPECT_FALSE(quiet.write_block(frame, 3));
    const long long ms = MsSince(start);
    EXPECT_GE(ms, 400); // 60 ms budget plus the 500 ms first-byte wait
    EXPECT_LE(ms, 2000);
    EXPECT_TRUE(messages.seen.isEmpty());
}

TEST_F(ComPortTest, BlockReadWaitBudgets) {
    std::vector<uint8_t> memory = PatternMemory(3);
    SimProcess sim({"--memory", WriteFile(files.filePath("m.bin").toStdString(), memory)});
    COMPort port(std::ref(messages));
    port.set_port_name(QString::fromStdString(sim.link));
    ASSERT_TRUE(port.open());
    ASSERT_TRUE(prog::wake_up(port));
    prog::synchronise(port);

    // A 1-byte read returns as soon as the byte is there.
    uint8_t cmd = prog::CmdLinkTest;
    ASSERT_TRUE(port.write_block(&cmd, 1));
    uint8_t b = 0;
    auto start = Clock::now();
    EXPECT_TRUE(port.read_block(&b, 1));
    EXPECT_LT(MsSince(start), 300); // well short of the 500 ms first-byte wait
    EXPECT_EQ(b, prog::Ack1);
    EXPECT_EQ(port.read_byte(), prog::Ack2);

    // Twelve bytes come for a 20-byte read: false after about 400 ms, the 12 kept.
    ASSERT_TRUE(prog::request_read(port, prog::MemoryBase + 0x100, 12));
    uint8_t buffer[20] = {};
    start = Clock::now();
    EXPECT_FALSE(port.read_block(buffer, 20));
    const long long ms = MsSince(start);
    EXPECT_GE(ms, 300);
    EXPECT_LE(ms, 1500);
    EXPECT_TRUE(std::equal(buffer, buffer + 12, memory.begin() + 0x100));

    // Nothing at all: the read returns NoByte after the first-byte time-out.
    start = Clock::now();
    EXPECT_EQ(port.read_byte(), SerialLink::NoByte);
    EXPECT_GE(MsSince(start), 300);
}

TEST_F(ComPortTest, OpeningAndSpeed) {
    COMPort missing(std::ref(messages));
    missing.set_port_name(files.filePath("no-such-port"));
    EXPECT_FALSE(missing.open());
    EXPECT_FALSE(missing.is_open());
    ASSERT_EQ(messages.seen.size(), 1);
    EXPECT_TRUE(messages.seen[0].startsWith(
        QStringLiteral("Ошибка|Не удается найти указанный порт.\n\nУстройство ")))
        << messages.seen[0].toStdString();

    SimProcess sim;
    COMPort port(std::ref(messages));
    port.set_port_name(QString::fromStdString(sim.link));
    port.set_speed(9600); // closed: only stored
    ASSERT_TRUE(port.open());
    EXPECT_TRUE(port.open()); // already open: nothing changes
    const int fd = ::open(sim.link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios t{};
    ASSERT_EQ(tcgetattr(fd, &t), 0);
    EXPECT_EQ(cfgetospeed(&t), B9600);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    port.set_speed(19200);
    ASSERT_EQ(tcgetattr(fd, &t), 0);
    EXPECT_EQ(cfgetospeed(&t), B19200);
    ::close(fd);

    // The port is held: a second one cannot have it until the first lets go.
    COMPort second(std::ref(messages));
    second.set_port_name(QString::fromStdString(sim.link));
    EXPECT_FALSE(second.open());
    ASSERT_EQ(messages.seen.size(), 2);
    // The device is there: it is not said to be missing, and the system's reason is given.
    EXPECT_TRUE(messages.seen[1].startsWith(QStringLiteral("Ошибка|Не удается открыть порт ") +
                                            QString::fromStdString(sim.link) +
                                            QStringLiteral(" (")))
        << messages.seen[1].toStdString();
    port.close();
    EXPECT_FALSE(port.is_open());
    EXPECT_TRUE(second.open());
}

// A device that goes away while the port is open (adapter pulled, unit gone) is reported once,
// not again at every later attempt of the window's wake-up timer, twice a second.
TEST_F(ComPortTest, AVanishedDeviceIsReportedOnce) {
    SimProcess sim;
    COMPort port(std::ref(messages));
    port.set_port_name(QString::fromStdString(sim.link));
    ASSERT_TRUE(port.open());
    sim.Stop();
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(port.write_byte(0x55));
        EXPECT_EQ(port.read_byte(), SerialLink::NoByte);
    }
    EXPECT_EQ(messages.seen.size(), 1) << messages.seen.join('\n').toStdString();
}

} // namespace
