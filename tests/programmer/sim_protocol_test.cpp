// The protocol operations end to end: real COMPort, simulated unit on a pseudo-terminal.
#include "programmer/bring_up.h"
#include "programmer/port/com_port.h"
#include "programmer/protocol.h"
#include "sim_fixture.h"
#include "sim_process.h"

#include <QTemporaryDir>
#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

using Clock = std::chrono::steady_clock;

class SimProtocolTest : public ::testing::Test {
protected:
    // Starts a simulator with the given memory and options and opens a port on it.
    void Start(const std::vector<uint8_t>& memory, std::vector<std::string> options = {}) {
        options.insert(options.end(),
                       {"--memory", WriteFile(files.filePath("m.bin").toStdString(), memory),
                        "--dump", files.filePath("dump.bin").toStdString()});
        sim = std::make_unique<SimProcess>(options);
        port = std::make_unique<COMPort>(std::ref(messages));
        port->set_port_name(QString::fromStdString(sim->link));
        ASSERT_TRUE(port->open());
    }
    void BringUp() { ASSERT_TRUE(prog::bring_up(*port, 19200, 10000)); }
    std::vector<uint8_t> Dump() {
        port.reset();
        sim->Stop();
        return ReadFile(files.filePath("dump.bin").toStdString());
    }

    Messages messages;
    QTemporaryDir files;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<COMPort> port;
};

TEST_F(SimProtocolTest, BringUpFromAsleepThenRead) {
    const std::vector<uint8_t> memory = PatternMemory(1);
    Start(memory);
    EXPECT_FALSE(prog::listen(*port)); // asleep: silent
    BringUp();
    EXPECT_EQ(port->speed(), 19200);
    EXPECT_TRUE(prog::check_link(*port, 9600)); // the unit follows the chosen speed
    EXPECT_EQ(port->speed(), 9600);
    EXPECT_TRUE(prog::check_link(*port, 19200));

    std::vector<uint8_t> buffer(prog::MemorySize);
    int steps = 0;
    EXPECT_EQ(prog::read_memory(*port, buffer.data(),
                                [&] {
                                    ++steps;
                                    return true;
                                }),
              prog::RunResult::Ok);
    EXPECT_EQ(steps, 256);
    EXPECT_EQ(buffer, memory);
    EXPECT_TRUE(messages.seen.isEmpty());
}

TEST_F(SimProtocolTest, BringUpFromAwake) {
    Start(PatternMemory(2), {"--awake"});
    EXPECT_TRUE(prog::listen(*port));
    prog::synchronise(*port);
    EXPECT_TRUE(prog::check_link(*port, 19200));
}

TEST_F(SimProtocolTest, ProgramThenReadBack) {
    Start(PatternMemory(4));
    BringUp();
    std::vector<uint8_t> image(prog::MemorySize, 0);
    const std::vector<uint8_t> pattern = PatternMemory(5);
    // A few blocks spread over all regions; the rest stays zero and is skipped.
    for (std::size_t a : {0x0000u, 0x1F80u, 0x2000u, 0x4A00u, 0x7F80u})
        std::copy_n(pattern.begin() + a, 128, image.begin() + a);
    image[0x6001] = 0x01; // a block with a single non-zero byte is sent whole
    ASSERT_TRUE(prog::protection_step(*port));
    ASSERT_TRUE(prog::erase_all(*port));
    for (int region = 0; region < prog::RegionCount; ++region)
        ASSERT_EQ(prog::program_region(*port, image.data(), region, {}), prog::RunResult::Ok);
    std::vector<uint8_t> back(prog::MemorySize);
    ASSERT_EQ(prog::read_memory(*port, back.data(), {}), prog::RunResult::Ok);
    EXPECT_EQ(back, image);
    EXPECT_EQ(Dump(), image);
}

TEST_F(SimProtocolTest, WokenUnitAnswersOnlyAfterItsAccessCode) {
    struct Code { // the setting, put back whatever happens
        explicit Code(const char* hex) { ::setenv("VELMARIS_ACCESS_CODE", hex, 1); }
        ~Code() { ::unsetenv("VELMARIS_ACCESS_CODE"); }
    };
    Start(PatternMemory(6), {"--access-code", "0102030405AB"});
    ASSERT_TRUE(prog::wake_up(*port));
    {
        Code wrong("0102030405AC");
        prog::synchronise(*port);
    }
    EXPECT_FALSE(prog::link_test(*port));
    {
        Code right("0102030405ab");
        prog::synchronise(*port);
    }
    EXPECT_TRUE(prog::check_link(*port, 19200));
}

TEST_F(SimProtocolTest, SilentUnitFailsTheLinkTestInAboutHalfASecond) {
    Start(PatternMemory(7), {"--fault", "silent-after-ack=93"});
    ASSERT_TRUE(prog::wake_up(*port));
    prog::synchronise(*port);
    const auto start = Clock::now();
    EXPECT_FALSE(prog::link_test(*port));
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_GE(ms, 300);
    EXPECT_LE(ms, 1500);
}

// A read stopped half-way (its program ended, its port closed) leaves the unit sending the rest
// of the 32 KB. The next bring-up lets it finish instead of taking stale bytes for answers.
TEST_F(SimProtocolTest, ReadStoppedHalfWayLeavesALinkThatComesUpOnceTheUnitHasFinished) {
    Start(PatternMemory(9), {"--awake", "--pace"});
    BringUp();
    std::vector<uint8_t> buffer(prog::MemorySize);
    int blocks = 0;
    ASSERT_EQ(prog::read_memory(*port, buffer.data(), [&] { return ++blocks < 128; }),
              prog::RunResult::Stopped);
    const auto stopped = Clock::now();
    port = std::make_unique<COMPort>(std::ref(messages));
    port->set_port_name(QString::fromStdString(sim->link));
    ASSERT_TRUE(port->open());
    BringUp();
    // The rest of the read takes about 8.5 s at 19200 bit/s; the link follows within seconds.
    EXPECT_LT(std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - stopped).count(), 25);
    EXPECT_TRUE(prog::check_link(*port, 19200));
    EXPECT_TRUE(messages.seen.isEmpty()) << messages.seen.join("\n").toStdString();
}

TEST_F(SimProtocolTest, DisconnectEndsTheExchangeWithoutHanging) {
    Start(PatternMemory(8), {"--fault", "disconnect-after=5"});
    ASSERT_TRUE(prog::wake_up(*port)); // 3 bytes; the line drops in the read request
    std::vector<uint8_t> buffer(prog::MemorySize);
    const auto start = Clock::now();
    EXPECT_NE(prog::read_memory(*port, buffer.data(), {}), prog::RunResult::Ok);
    EXPECT_FALSE(prog::link_test(*port));
    EXPECT_LT(std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count(), 10);
}

} // namespace
