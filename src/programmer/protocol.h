#pragma once

#include "programmer/serial_link.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// The host side of the control unit's monitor protocol: the five monitor commands, the
// exchanges that bring the link up, and the memory operations built on them. Operations keep
// no state between calls and must not overlap; each returns false (or a failure result) at the
// point where the unit's answer is wrong or missing, without repeating any frame.
namespace prog {

constexpr uint8_t Ack1 = 0xAA; // first acknowledgement: command accepted
constexpr uint8_t Ack2 = 0xEA; // second acknowledgement: command done

constexpr uint8_t CmdLinkTest = 0x93;
constexpr uint8_t CmdWriteWord = 0x82;
constexpr uint8_t CmdWriteBlock = 0x84;
constexpr uint8_t CmdReadBlock = 0x85;
constexpr uint8_t CmdCallRoutine = 0x9F;

constexpr uint32_t MemoryBase = 0xC00000;    // unit address of image byte 0
constexpr uint32_t SpeedRegister = 0x00FEB4; // the unit's serial speed register
constexpr uint32_t BlockBuffer = 0x00FC80;   // RAM that receives one block before programming
constexpr uint32_t RoutineEntry = 0xE00500;  // entry of the unit's flash routine

constexpr std::size_t MemorySize = 0x8000;
constexpr std::size_t BlockSize = 128;
constexpr std::size_t BlockCount = MemorySize / BlockSize; // 256
constexpr std::size_t RegionSize = 0x2000;
constexpr int RegionCount = 4;
constexpr int SectorCount = 4;
constexpr std::size_t ListenLength = 20;
constexpr std::size_t SyncLength = 12;
constexpr std::size_t SyncAnswerLength = 4;

constexpr uint8_t FnProgram = 0x00;
constexpr uint8_t FnErase = 0x01;
constexpr uint8_t FnProtection = 0x21;

using ParamBlock = std::array<uint8_t, 16>;
using AccessCode = std::array<uint8_t, 6>;

// The unit's six-byte access code sent in the synchronisation frame: six 0x00 bytes unless
// the environment variable VELMARIS_ACCESS_CODE holds 12 hexadecimal digits. A malformed
// value is an error (std::runtime_error), not silently replaced by the default.
AccessCode access_code();
// Parses 12 hexadecimal digits; false for anything else.
bool parse_access_code(const std::string& text, AccessCode& code);

// The speed code written to the speed register: 0x0040 for 9600, 0x0020 for 19200.
// Throws std::invalid_argument for other speeds.
uint16_t speed_code(int bitsPerSecond);

// Parameter blocks of the three routine functions.
ParamBlock protection_params();
ParamBlock erase_params(int sector);
ParamBlock program_params(uint32_t imageOffset);
// The status rule of a result block: byte 14 is 0 and byte 15 is 0 or 12.
bool result_ok(const uint8_t* result16);

// Monitor commands.
bool link_test(SerialLink& link);
bool write_word(SerialLink& link, uint32_t address, uint16_t word);
bool write_block(SerialLink& link, uint32_t address, const uint8_t* data, std::size_t n);
// Sends the request; true when the unit accepted it. The caller then reads the data.
bool request_read(SerialLink& link, uint32_t address, uint16_t length);
// Calls the flash routine; result (optional) receives the 16-byte result block.
bool call_routine(SerialLink& link, const ParamBlock& params, ParamBlock* result = nullptr);

// Operations.
bool check_link(SerialLink& link, int bitsPerSecond);
bool set_link_speed(SerialLink& link, int bitsPerSecond);
bool protection_step(SerialLink& link);
bool erase_sector(SerialLink& link, int sector);
bool erase_all(SerialLink& link);
// Programs the 128 bytes of data at imageOffset; an all-zero block is left as erasing left
// it and needs no exchange.
bool program_block(SerialLink& link, const uint8_t* data, uint32_t imageOffset);
bool listen(SerialLink& link);
bool wake_up(SerialLink& link);
void synchronise(SerialLink& link);

// The longest a unit goes on sending unasked: the rest of a memory read that the host stopped
// (its port closed half-way) runs to its end, at most the whole 32 KB at 9600 bit/s (34 s).
constexpr int MaxStreamMs = 40000;

// Reads until n bytes have come or maxMs has passed; how many came.
std::size_t await_bytes(SerialLink& link, uint8_t* buffer, std::size_t n, int maxMs);
// The synchronisation frame with the access code; false when its echo did not come back.
bool send_access_code(SerialLink& link);
// The link test with a short wait for the two acknowledgements, for finding a unit whose
// state is not known: a monitor answers at once, and a silent line costs only waitMs.
bool link_test_within(SerialLink& link, int waitMs);

// One progress step of a 32 KB run: the caller advances its progress display and handles
// pending events. Returning false asks the run to stop at this block boundary.
using ProgressStep = std::function<bool()>;

enum class RunResult {
    Ok,
    NoAnswer,   // the unit did not accept the read request (no first acknowledgement)
    ShortBlock, // a 128-byte block of a read did not arrive whole
    Failed,     // programming a block failed
    Stopped,    // the caller asked to stop
};

// Programs the 64 blocks of region n (0..3) from data (the 32 KB image), one progress step
// before each block, and stops at the first failure. stoppedAt (if set) receives the offset
// of the block that failed or was not begun; every block below it was programmed.
RunResult program_region(SerialLink& link, const uint8_t* data, int region,
                         const ProgressStep& step, uint32_t* stoppedAt = nullptr);
// Reads the unit's 32 KB memory into buffer (32768 bytes). onRequestAccepted runs once the
// request has been accepted and sent. Every block must arrive whole: a read with a short
// block ends with ShortBlock, and the caller must not use the buffer.
RunResult read_memory(SerialLink& link, uint8_t* buffer, const ProgressStep& step,
                      const std::function<void()>& onRequestAccepted = {});

} // namespace prog
