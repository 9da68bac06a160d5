// Byte-exact frames and result rules of the monitor protocol, against a scripted unit.
#include "programmer/protocol.h"
#include "scripted_link.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace prog;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes CallFrame(const ParamBlock& p) {
    Bytes f = {0x00, 0x05, 0xE0};
    f.insert(f.end(), p.begin(), p.end());
    return f;
}

Bytes ResultAnswer(uint8_t b14, uint8_t b15, uint8_t last = Ack2) {
    Bytes r(16, 0);
    r[14] = b14;
    r[15] = b15;
    r.push_back(last);
    return r;
}

} // namespace

TEST(ProtocolFrames, SpeedSwitchWritesTheSpeedRegister) {
    for (auto [speed, code] : {std::pair{9600, 0x40}, std::pair{19200, 0x20}}) {
        ScriptedLink link;
        link.answers = {{Ack1, Ack2}, {Ack1}, {Ack2}};
        ASSERT_TRUE(check_link(link, speed));
        const std::vector<Bytes> expected = {
            {0x93}, {0x82}, {0xB4, 0xFE, 0x00, static_cast<uint8_t>(code), 0x00}};
        EXPECT_EQ(link.sent, expected);
        EXPECT_EQ(link.speeds, std::vector<int>{speed});
    }
}

// Addresses and words go least significant byte first, every bit of them.
TEST(ProtocolFrames, WordWriteSendsAddressAndWordLowByteFirst) {
    ScriptedLink link;
    link.answers = {{Ack1}, {Ack2}};
    ASSERT_TRUE(write_word(link, 0xABCDEF, 0x1235));
    EXPECT_EQ(link.sent, (std::vector<Bytes>{{0x82}, {0xEF, 0xCD, 0xAB, 0x35, 0x12}}));
}

// A command byte the unit does not acknowledge sends nothing after it.
TEST(ProtocolFrames, UnacknowledgedCommandStopsTheExchange) {
    ScriptedLink link;
    link.answers = {{}, {Ack2}};
    EXPECT_FALSE(write_word(link, 0x10, 0x1234));
    EXPECT_EQ(link.sent, std::vector<Bytes>{{0x82}});
}

// Bytes that were on the line before the wake-up frame are no answer to it.
TEST(ProtocolFrames, WakeUpIgnoresBytesThatCameBeforeIt) {
    struct StaleLine : QueuedLink {
        void set_speed(int) override {}
        bool write_byte(uint8_t) override { return true; }
        bool write_block(uint8_t*, std::size_t) override { return true; }
        void Stale() { Queue(Bytes(40, 0x33)); }
    } line;
    line.Stale();
    EXPECT_FALSE(wake_up(line));
}

TEST(ProtocolFrames, LinkTestWithoutSecondAckChangesNothing) {
    ScriptedLink link;
    link.answers = {{Ack1}};
    EXPECT_FALSE(check_link(link, 19200));
    EXPECT_EQ(link.sent.size(), 1u);
    EXPECT_TRUE(link.speeds.empty());

    ScriptedLink late; // the word written but no final acknowledgement: port stays put
    late.answers = {{Ack1, Ack2}, {Ack1}, {0x00}};
    EXPECT_FALSE(check_link(late, 9600));
    EXPECT_TRUE(late.speeds.empty());
    EXPECT_THROW(speed_code(38400), std::invalid_argument);
}

TEST(ProtocolFrames, ParameterBlocks) {
    const ParamBlock program = program_params(0x1F80);
    const ParamBlock expected = {0x00, 0x00, 0x80, 0x00, 0x80, 0xFC, 0, 0,
                                 0,    0,    0x80, 0x1F, 0xC0, 0,    0, 0};
    EXPECT_EQ(program, expected);
    EXPECT_EQ(protection_params(), (ParamBlock{0x21}));
    ParamBlock erase{};
    erase[0] = 0x01;
    erase[12] = 3;
    EXPECT_EQ(erase_params(3), erase);
}

TEST(ProtocolFrames, CallRoutineResultRule) {
    struct Case {
        Bytes answer;
        bool ok;
    } cases[] = {
        {ResultAnswer(0, 12), true},
        {ResultAnswer(0, 0), true},
        {ResultAnswer(0, 1), false},
        {ResultAnswer(1, 0), false},
        {ResultAnswer(0, 12, 0x00), false}, // the 17th byte is not 0xEA
        {Bytes(16, 0), false},              // the result block came short
    };
    for (const Case& c : cases) {
        ScriptedLink link;
        link.answers = {{Ack1}, c.answer};
        EXPECT_EQ(erase_sector(link, 2), c.ok);
        ASSERT_EQ(link.sent.size(), 2u);
        EXPECT_EQ(link.sent[0], Bytes{0x9F});
        EXPECT_EQ(link.sent[1], CallFrame(erase_params(2)));
    }
}

TEST(ProtocolFrames, EraseAllStopsAtTheFirstFailure) {
    ScriptedLink link;
    link.answers = {{Ack1}, ResultAnswer(0, 12), {Ack1}, ResultAnswer(0, 1)};
    EXPECT_FALSE(erase_all(link));
    ASSERT_EQ(link.sent.size(), 4u);
    EXPECT_EQ(link.sent[3], CallFrame(erase_params(1)));
}

TEST(ProtocolFrames, ProgramBlockSkipsZeroBlocksAndSendsOthersWhole) {
    std::vector<uint8_t> image(MemorySize, 0);
    ScriptedLink idle;
    EXPECT_TRUE(program_block(idle, image.data(), 0x1F80));
    EXPECT_TRUE(idle.sent.empty());

    image[0x1F80 + 127] = 0x5C;
    ScriptedLink link;
    link.answers = {{Ack1}, {Ack2}, {Ack1}, ResultAnswer(0, 12)};
    EXPECT_TRUE(program_block(link, image.data(), 0x1F80));
    ASSERT_EQ(link.sent.size(), 4u);
    EXPECT_EQ(link.sent[0], Bytes{0x84});
    Bytes block = {0x80, 0xFC, 0x00, 0x80, 0x00};
    block.insert(block.end(), image.begin() + 0x1F80, image.begin() + 0x2000);
    EXPECT_EQ(link.sent[1], block);
    EXPECT_EQ(link.sent[1].size(), 133u);
    EXPECT_EQ(link.sent[3], CallFrame(program_params(0x1F80)));
}

TEST(ProtocolFrames, WrongEchoOfACommandByteSendsNoFrame) {
    // 0x84 or 0x82 heard back as another byte: the unit may have taken another command, so
    // the address and data that would follow must not go out, even if 0xAA came.
    std::vector<uint8_t> image(MemorySize, 0);
    image[5] = 1;
    ScriptedLink block;
    block.badByteEcho = true;
    block.answers = {{Ack1}, {Ack2}, {Ack1}, ResultAnswer(0, 12)};
    EXPECT_FALSE(program_block(block, image.data(), 0));
    EXPECT_EQ(block.sent, std::vector<Bytes>{{0x84}});

    ScriptedLink word;
    word.badByteEcho = true;
    word.answers = {{Ack1}, {Ack2}};
    EXPECT_FALSE(set_link_speed(word, 19200));
    EXPECT_EQ(word.sent, std::vector<Bytes>{{0x82}});
    EXPECT_TRUE(word.speeds.empty());

    // A frame whose echo did not come back whole was not heard: the acks that follow count
    // for nothing.
    struct NoEcho : ScriptedLink {
        bool write_block(uint8_t* buffer, std::size_t n) override {
            ScriptedLink::write_block(buffer, n);
            return false;
        }
    } silent;
    silent.answers = {{Ack1, Ack2}};
    EXPECT_FALSE(link_test(silent));
}

TEST(ProtocolFrames, CallRoutineHandsBackTheWholeResultBlock) {
    Bytes answer;
    for (uint8_t i = 1; i <= 14; ++i)
        answer.push_back(i);
    answer.insert(answer.end(), {0, 12, Ack2});
    ScriptedLink link;
    link.answers = {{Ack1}, answer};
    ParamBlock result{};
    EXPECT_TRUE(call_routine(link, erase_params(1), &result));
    EXPECT_EQ(Bytes(result.begin(), result.end()), Bytes(answer.begin(), answer.begin() + 16));
}

TEST(ProtocolFrames, ProgramRegionStepsBeforeEveryBlockAndStopsOnFailure) {
    std::vector<uint8_t> image(MemorySize, 0);
    image[0x2000 + 5 * 128] = 1; // the sixth block of region 1
    ScriptedLink link;
    link.answers = {{Ack1}, {Ack2}, {Ack1}, ResultAnswer(0, 1)};
    int steps = 0;
    EXPECT_EQ(program_region(link, image.data(), 1,
                             [&] {
                                 ++steps;
                                 return true;
                             }),
              RunResult::Failed);
    EXPECT_EQ(steps, 6);

    ScriptedLink quiet; // all-zero region: 64 steps, nothing sent
    steps = 0;
    EXPECT_EQ(program_region(quiet, image.data(), 3,
                             [&] {
                                 ++steps;
                                 return steps < 100;
                             }),
              RunResult::Ok);
    EXPECT_EQ(steps, 64);
    EXPECT_TRUE(quiet.sent.empty());
}

TEST(ProtocolFrames, ReadMemoryRequestAndBlocks) {
    Bytes memory(MemorySize);
    for (std::size_t i = 0; i < memory.size(); ++i)
        memory[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    ScriptedLink link;
    link.answers = {{Ack1}, memory};
    Bytes buffer(MemorySize, 0xFF);
    int steps = 0, accepted = 0;
    EXPECT_EQ(read_memory(
                  link, buffer.data(),
                  [&] {
                      ++steps;
                      return true;
                  },
                  [&] { ++accepted; }),
              RunResult::Ok);
    const std::vector<Bytes> expected = {{0x85}, {0x00, 0x00, 0xC0, 0x00, 0x80}};
    EXPECT_EQ(link.sent, expected);
    EXPECT_EQ(buffer, memory);
    EXPECT_EQ(steps, 256);
    EXPECT_EQ(accepted, 1);
}

TEST(ProtocolFrames, ReadMemoryFailures) {
    Bytes buffer(MemorySize);
    ScriptedLink silent; // no first acknowledgement: no frame follows the command
    EXPECT_EQ(read_memory(silent, buffer.data(), {}), RunResult::NoAnswer);
    EXPECT_EQ(silent.sent.size(), 1u);

    ScriptedLink shortLink; // the last block arrives 28 bytes short
    shortLink.answers = {{Ack1}, Bytes(MemorySize - 28, 0x11)};
    int steps = 0;
    EXPECT_EQ(read_memory(shortLink, buffer.data(),
                          [&] {
                              ++steps;
                              return true;
                          }),
              RunResult::ShortBlock);
    EXPECT_EQ(steps, 255);

    ScriptedLink stopped;
    stopped.answers = {{Ack1}, Bytes(MemorySize, 0x22)};
    steps = 0;
    EXPECT_EQ(read_memory(stopped, buffer.data(), [&] { return ++steps < 10; }),
              RunResult::Stopped);
    EXPECT_EQ(steps, 10);
}

TEST(ProtocolFrames, BringUpExchanges) {
    ScriptedLink link;
    link.answers = {Bytes(20, 0x33)};
    EXPECT_TRUE(wake_up(link));
    EXPECT_EQ(link.speeds, std::vector<int>{9600});
    EXPECT_EQ(link.sent, (std::vector<Bytes>{{0x55, 0xAB, 0x00}}));

    ScriptedLink shortWake;
    shortWake.answers = {Bytes(19, 0x33)};
    EXPECT_FALSE(wake_up(shortWake));

    ::setenv("VELMARIS_ACCESS_CODE", "0102030405aB", 1);
    ScriptedLink sync; // nothing queued: the synchronisation frame goes out
    synchronise(sync);
    EXPECT_EQ(sync.sent, (std::vector<Bytes>{{0xED, 0x00, 1, 2, 3, 4, 5, 0xAB}}));
    ::unsetenv("VELMARIS_ACCESS_CODE");
    ScriptedLink plain;
    synchronise(plain);
    EXPECT_EQ(plain.sent, (std::vector<Bytes>{{0xED, 0x00, 0, 0, 0, 0, 0, 0}}));
}

TEST(ProtocolFrames, AccessCodeSetting) {
    AccessCode code{};
    EXPECT_TRUE(parse_access_code("A0b1C2d3E4f5", code));
    EXPECT_EQ(code, (AccessCode{0xA0, 0xB1, 0xC2, 0xD3, 0xE4, 0xF5}));
    EXPECT_FALSE(parse_access_code("A0b1C2d3E4f", code));
    EXPECT_FALSE(parse_access_code("A0b1C2d3E4fg", code));
    ::setenv("VELMARIS_ACCESS_CODE", "xyz", 1);
    EXPECT_THROW(access_code(), std::runtime_error);
    ::unsetenv("VELMARIS_ACCESS_CODE");
    EXPECT_EQ(access_code(), AccessCode{});
}
