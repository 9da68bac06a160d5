#include "programmer/protocol.h"

#include "image/hex_digit.h"
#include "programmer/timer.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace prog {

namespace {

// Addresses travel as 3 bytes, words and lengths as 2 bytes, least significant first.
void PutAddress(uint8_t* out, uint32_t address) {
    out[0] = static_cast<uint8_t>(address & 0xFF);
    out[1] = static_cast<uint8_t>((address >> 8) & 0xFF);
    out[2] = static_cast<uint8_t>((address >> 16) & 0xFF);
}

void PutWord(uint8_t* out, uint16_t word) {
    out[0] = static_cast<uint8_t>(word & 0xFF);
    out[1] = static_cast<uint8_t>(word >> 8);
}

// Sends a frame and checks that the line returned exactly what was sent: a missing or
// garbled echo means the unit did not hear the frame as sent, so the exchange cannot go on.
bool SendFrame(SerialLink& link, const uint8_t* frame, std::size_t n) {
    uint8_t echo[160];
    if (n > sizeof echo)
        throw std::logic_error("frame too long");
    std::memcpy(echo, frame, n);
    return link.write_block(echo, n) && std::memcmp(echo, frame, n) == 0;
}

bool ReadAck(SerialLink& link, uint8_t expected) {
    uint8_t b = 0;
    return link.read_block(&b, 1) && b == expected;
}

// A command byte sent alone must come back as sent: a garbled echo means the unit may have
// taken another command, and the frame that would follow must then not go out.
bool SendCommand(SerialLink& link, uint8_t cmd) {
    return link.write_byte(cmd) && link.read_byte() == Ack1;
}

} // namespace

bool parse_access_code(const std::string& text, AccessCode& code) {
    if (text.size() != 12)
        return false;
    AccessCode parsed{};
    for (std::size_t i = 0; i < 6; ++i) {
        const int hi = HexDigit(text[2 * i]);
        const int lo = HexDigit(text[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        parsed[i] = static_cast<uint8_t>(hi * 16 + lo);
    }
    code = parsed;
    return true;
}

AccessCode access_code() {
    AccessCode code{}; // the default: six 0x00 bytes
    const char* env = std::getenv("VELMARIS_ACCESS_CODE");
    if (env != nullptr && *env != '\0' && !parse_access_code(env, code))
        throw std::runtime_error("VELMARIS_ACCESS_CODE must be 12 hexadecimal digits.");
    return code;
}

uint16_t speed_code(int bitsPerSecond) {
    switch (bitsPerSecond) {
    case 9600:
        return 0x0040;
    case 19200:
        return 0x0020;
    default:
        throw std::invalid_argument("Unsupported link speed: " + std::to_string(bitsPerSecond));
    }
}

ParamBlock protection_params() {
    ParamBlock p{};
    p[0] = FnProtection;
    return p;
}

ParamBlock erase_params(int sector) {
    ParamBlock p{};
    p[0] = FnErase;
    p[12] = static_cast<uint8_t>(sector);
    return p;
}

ParamBlock program_params(uint32_t imageOffset) {
    ParamBlock p{};
    p[0] = FnProgram;
    PutWord(&p[2], static_cast<uint16_t>(BlockSize));
    PutWord(&p[4], static_cast<uint16_t>(BlockBuffer & 0xFFFF));
    PutAddress(&p[10], MemoryBase + imageOffset);
    return p;
}

bool result_ok(const uint8_t* r) {
    return r[14] == 0 && (r[15] == 0 || r[15] == 12);
}

bool link_test(SerialLink& link) {
    const uint8_t cmd = CmdLinkTest;
    return SendFrame(link, &cmd, 1) && ReadAck(link, Ack1) && ReadAck(link, Ack2);
}

bool write_word(SerialLink& link, uint32_t address, uint16_t word) {
    if (!SendCommand(link, CmdWriteWord))
        return false;
    uint8_t frame[5];
    PutAddress(frame, address);
    PutWord(frame + 3, word);
    return SendFrame(link, frame, sizeof frame) && link.read_byte() == Ack2;
}

bool write_block(SerialLink& link, uint32_t address, const uint8_t* data, std::size_t n) {
    if (!SendCommand(link, CmdWriteBlock))
        return false;
    uint8_t frame[5 + BlockSize];
    if (n > BlockSize)
        throw std::logic_error("write_block: at most one block");
    PutAddress(frame, address);
    PutWord(frame + 3, static_cast<uint16_t>(n));
    std::memcpy(frame + 5, data, n);
    return SendFrame(link, frame, 5 + n) && link.read_byte() == Ack2;
}

bool request_read(SerialLink& link, uint32_t address, uint16_t length) {
    const uint8_t cmd = CmdReadBlock;
    if (!SendFrame(link, &cmd, 1) || !ReadAck(link, Ack1))
        return false;
    uint8_t frame[5];
    PutAddress(frame, address);
    PutWord(frame + 3, length);
    return SendFrame(link, frame, sizeof frame);
}

bool call_routine(SerialLink& link, const ParamBlock& params, ParamBlock* result) {
    const uint8_t cmd = CmdCallRoutine;
    if (!SendFrame(link, &cmd, 1) || !ReadAck(link, Ack1))
        return false;
    uint8_t frame[19];
    PutAddress(frame, RoutineEntry);
    std::memcpy(frame + 3, params.data(), params.size());
    if (!SendFrame(link, frame, sizeof frame))
        return false;
    uint8_t answer[17] = {};
    const bool whole = link.read_block(answer, sizeof answer);
    if (result != nullptr)
        std::memcpy(result->data(), answer, 16);
    return whole && answer[16] == Ack2 && result_ok(answer);
}

bool set_link_speed(SerialLink& link, int bitsPerSecond) {
    if (!write_word(link, SpeedRegister, speed_code(bitsPerSecond)))
        return false;
    link.set_speed(bitsPerSecond);
    return true;
}

bool check_link(SerialLink& link, int bitsPerSecond) {
    return link_test(link) && set_link_speed(link, bitsPerSecond);
}

bool protection_step(SerialLink& link) {
    return call_routine(link, protection_params());
}

bool erase_sector(SerialLink& link, int sector) {
    return call_routine(link, erase_params(sector));
}

bool erase_all(SerialLink& link) {
    for (int sector = 0; sector < SectorCount; ++sector)
        if (!erase_sector(link, sector))
            return false;
    return true;
}

bool program_block(SerialLink& link, const uint8_t* data, uint32_t imageOffset) {
    const uint8_t* block = data + imageOffset;
    if (std::all_of(block, block + BlockSize, [](uint8_t b) { return b == 0; }))
        return true;
    return write_block(link, BlockBuffer, block, BlockSize) &&
           call_routine(link, program_params(imageOffset));
}

bool listen(SerialLink& link) {
    uint8_t buffer[ListenLength];
    return link.read_block(buffer, sizeof buffer);
}

bool wake_up(SerialLink& link) {
    link.set_speed(9600);
    link.purge();
    uint8_t frame[3] = {0x55, 0xAB, 0x00};
    if (!link.write_block(frame, sizeof frame))
        return false;
    uint8_t buffer[ListenLength];
    return link.read_block(buffer, sizeof buffer);
}

bool send_access_code(SerialLink& link) {
    const AccessCode code = access_code();
    uint8_t frame[8] = {0xED, 0x00};
    for (std::size_t i = 0; i < code.size(); ++i)
        frame[2 + i] = code[i];
    return SendFrame(link, frame, sizeof frame);
}

void synchronise(SerialLink& link) {
    uint8_t buffer[SyncLength];
    if (link.read_block(buffer, sizeof buffer))
        return;
    send_access_code(link);
    link.read_block(buffer, SyncAnswerLength); // the answer is not interpreted
}

std::size_t await_bytes(SerialLink& link, uint8_t* buffer, std::size_t n, int maxMs) {
    timer clock;
    clock.start();
    std::size_t got = 0;
    while (got < n) {
        const int64_t left = maxMs - clock.elapsed_ms();
        if (left <= 0)
            break;
        got += link.read_some(buffer + got, n - got, static_cast<int>(left));
    }
    return got;
}

bool link_test_within(SerialLink& link, int waitMs) {
    const uint8_t cmd = CmdLinkTest;
    uint8_t acks[2] = {};
    return SendFrame(link, &cmd, 1) && await_bytes(link, acks, 2, waitMs) == 2 && acks[0] == Ack1 &&
           acks[1] == Ack2;
}

RunResult program_region(SerialLink& link, const uint8_t* data, int region,
                         const ProgressStep& step, uint32_t* stoppedAt) {
    const uint32_t first = static_cast<uint32_t>(region) * RegionSize;
    for (uint32_t a = first; a < first + RegionSize; a += BlockSize) {
        if (stoppedAt != nullptr)
            *stoppedAt = a;
        if (step && !step())
            return RunResult::Stopped;
        if (!program_block(link, data, a))
            return RunResult::Failed;
    }
    return RunResult::Ok;
}

RunResult read_memory(SerialLink& link, uint8_t* buffer, const ProgressStep& step,
                      const std::function<void()>& onRequestAccepted) {
    std::memset(buffer, 0, MemorySize);
    if (!request_read(link, MemoryBase, static_cast<uint16_t>(MemorySize)))
        return RunResult::NoAnswer;
    if (onRequestAccepted)
        onRequestAccepted();
    for (std::size_t block = 0; block < BlockCount; ++block) {
        if (!link.read_block(buffer + block * BlockSize, BlockSize))
            return RunResult::ShortBlock;
        if (step && !step())
            return RunResult::Stopped;
    }
    return RunResult::Ok;
}

} // namespace prog
