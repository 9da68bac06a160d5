#include "ecu_model.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint8_t Ack1 = 0xAA;
constexpr uint8_t Ack2 = 0xEA;
constexpr uint32_t MemoryBase = 0xC00000;
constexpr uint32_t SpeedRegister = 0x00FEB4;
constexpr uint32_t RoutineEntry = 0xE00500;
constexpr std::size_t SectorSize = 0x2000;

uint32_t Address(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (uint32_t(p[2]) << 16);
}
uint16_t Word(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

} // namespace

EcuModel::EcuModel(Mode start) : mode_(start), speed_(9600), memory_(MemorySize, 0) {
    Reset(start);
}

void EcuModel::set_access_code(const uint8_t code[6]) {
    std::memcpy(accessCode_, code, 6);
}

void EcuModel::Reset(Mode mode) {
    mode_ = mode;
    speed_ = mode == Mode::Streaming ? 19200 : 9600;
    command_ = 0;
    expected_ = 0;
    frame_.clear();
    unlocked_ = false;
    synchronised_ = false;
    locked_ = false;
}

void EcuModel::noise() {
    if (mode_ != Mode::Asleep)
        Reset(Mode::Asleep);
    else {
        command_ = 0;
        frame_.clear();
    }
}

void EcuModel::burst(std::vector<uint8_t>& out) const {
    if (mode_ != Mode::Streaming)
        return;
    for (std::size_t i = 0; i < BurstLength; ++i)
        out.push_back(static_cast<uint8_t>(0x10 + i));
}

void EcuModel::receive(uint8_t byte, std::vector<uint8_t>& out) {
    if (mode_ == Mode::Asleep) {
        // Only the wake-up sequence 0x55 0xAB 0x00 is understood.
        static const uint8_t wake[3] = {0x55, 0xAB, 0x00};
        if (byte == wake[frame_.size()])
            frame_.push_back(byte);
        else
            frame_.assign(byte == wake[0] ? 1 : 0, wake[0]);
        if (frame_.size() == 3) {
            frame_.clear();
            mode_ = Mode::Monitor;
            locked_ = true;
            for (std::size_t i = 0; i < BurstLength; ++i)
                out.push_back(static_cast<uint8_t>(0x30 + i));
        }
        return;
    }
    if (mode_ == Mode::Streaming)
        mode_ = Mode::Monitor; // the host took over; the unit stops talking unasked
    if (command_ != 0) {
        frame_.push_back(byte);
        if (frame_.size() == expected_)
            Frame(out);
        return;
    }
    Command(byte, out);
}

void EcuModel::Command(uint8_t cmd, std::vector<uint8_t>& out) {
    frame_.clear();
    if (locked_ && cmd != 0xED)
        return; // a woken monitor waits for its access code
    switch (cmd) {
    case 0x93: // link test
        out.push_back(Ack1);
        if (faults_.silentAfterAck != cmd)
            out.push_back(Ack2);
        return;
    case 0x82: // write word: address and word follow
        expected_ = 5;
        break;
    case 0x84: // write block: address, length and data follow
    case 0x85: // read block: address and length follow
        expected_ = 5;
        break;
    case 0x9F: // call routine: entry and 16-byte parameter block follow
        expected_ = 19;
        break;
    case 0xED: // synchronisation: 0x00 and the six-byte access code follow
        command_ = cmd;
        expected_ = 7;
        return;
    default:
        return; // unknown bytes are ignored
    }
    command_ = cmd;
    out.push_back(Ack1);
}

void EcuModel::Frame(std::vector<uint8_t>& out) {
    const uint8_t cmd = command_;
    const uint8_t* f = frame_.data();
    const bool silent = faults_.silentAfterAck == cmd;
    switch (cmd) {
    case 0x82: {
        const uint32_t address = Address(f);
        const uint16_t word = Word(f + 3);
        if (silent)
            break;
        out.push_back(Ack2);
        if (address == SpeedRegister) {
            if (word == 0x0040)
                speed_ = 9600;
            else if (word == 0x0020)
                speed_ = 19200;
        } else if (address + 1 < sizeof ram_) {
            ram_[address] = f[3];
            ram_[address + 1] = f[4];
        }
        break;
    }
    case 0x84:
        if (frame_.size() == 5) {
            expected_ = 5 + Word(f + 3); // the header told the data length
            if (expected_ > 5)
                return;
        }
        if (silent)
            break;
        // Only bank 0 is modelled (the RAM and the registers); bytes sent to another bank
        // never reach the block buffer.
        for (std::size_t i = 5; i < frame_.size(); ++i) {
            const uint32_t a = Address(f) + static_cast<uint32_t>(i - 5);
            if (a < sizeof ram_)
                ram_[a] = f[i];
        }
        out.push_back(Ack2);
        break;
    case 0x85: {
        if (silent)
            break;
        const uint32_t address = Address(f);
        std::size_t length = Word(f + 3);
        if (length == 0)
            length = 0x10000;
        std::size_t stop = length;
        if (faults_.shortReadBlock >= 0)
            stop = std::min(stop, std::size_t(faults_.shortReadBlock + 1) * 128 - 28);
        for (std::size_t i = 0; i < stop; ++i) {
            const uint32_t a = address + static_cast<uint32_t>(i);
            out.push_back(a >= MemoryBase && a < MemoryBase + MemorySize ? memory_[a - MemoryBase]
                                                                         : 0xFF);
        }
        break;
    }
    case 0x9F:
        if (!silent && Address(f) == RoutineEntry)
            CallRoutine(f + 3, out);
        break;
    case 0xED:
        synchronised_ = f[0] == 0x00 && std::memcmp(f + 1, accessCode_, 6) == 0;
        locked_ = locked_ && !synchronised_;
        if (synchronised_)
            for (uint8_t b : {0x5A, 0xA5, 0x00, 0x01})
                out.push_back(b);
        break;
    }
    command_ = 0;
    expected_ = 0;
    frame_.clear();
}

namespace {

// Whether the bytes from..to-1 of a parameter block are all 0x00.
bool Zero(const uint8_t* p, std::size_t from, std::size_t to) {
    return std::all_of(p + from, p + to, [](uint8_t b) { return b == 0; });
}

} // namespace

// The flash routine: protection unlocks erasing and programming; erase sets a sector to 0x00;
// programming copies the RAM block into memory, which only works on erased bytes. A parameter
// block that differs from the known forms in any byte the function does not use fails, so a
// host that builds it wrongly cannot pass.
void EcuModel::CallRoutine(const uint8_t* p, std::vector<uint8_t>& out) {
    uint8_t result[16] = {};
    const uint16_t function = Word(p);
    bool ok = false;
    if (function == 0x21 && Zero(p, 2, 16)) {
        ok = !faults_.failProtection;
        unlocked_ = ok;
    } else if (function == 0x01 && Zero(p, 2, 12) && Zero(p, 14, 16)) {
        const int sector = Word(p + 12);
        ok = unlocked_ && sector >= 0 && sector < 4 && sector != faults_.failEraseSector;
        if (ok)
            std::fill_n(memory_.begin() + sector * SectorSize, SectorSize, 0);
    } else if (function == 0x00 && Zero(p, 6, 10) && Zero(p, 13, 16)) {
        const uint16_t count = Word(p + 2);
        const uint16_t source = Word(p + 4);
        const uint32_t target = Word(p + 10) | (uint32_t(p[12]) << 16);
        const uint32_t offset = target - MemoryBase;
        ok = unlocked_ && target >= MemoryBase && offset + count <= MemorySize &&
             source + count <= sizeof ram_ && static_cast<int>(offset) != faults_.failBlockOffset;
        if (ok)
            ok = std::all_of(memory_.begin() + offset, memory_.begin() + offset + count,
                             [](uint8_t b) { return b == 0; });
        if (ok) {
            std::memcpy(memory_.data() + offset, ram_ + source, count);
            if (static_cast<int>(offset) == faults_.badFlashOffset)
                memory_[offset] ^= 0xFF;
        }
    }
    result[15] = ok ? 12 : 1;
    out.insert(out.end(), result, result + 16);
    out.push_back(Ack2);
}
