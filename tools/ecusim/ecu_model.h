#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The monitor of a simulated control unit, driven byte by byte. It knows nothing about the
// line: the caller feeds it the bytes it understood (at its own speed) and sends what it
// answers. The pseudo-terminal simulator and the in-process tests share it.
class EcuModel {
public:
    enum class Mode {
        Asleep,    // waits for the wake-up sequence at 9600 bit/s
        Streaming, // running: sends a status burst now and then, at 19200 bit/s
        Monitor,   // answers monitor commands
    };

    // Faults injected on request.
    struct Faults {
        int silentAfterAck = -1;     // command byte after whose 0xAA nothing more is sent
        bool failProtection = false; // the protection routine reports failure
        int failEraseSector = -1;    // erasing this sector reports failure
        int failBlockOffset = -1;    // programming the block at this image offset fails
        int shortReadBlock = -1;     // a memory read stops 28 bytes short of this block's end
        int badFlashOffset = -1;     // this block reports success but keeps a wrong first byte
    };

    static constexpr std::size_t MemorySize = 0x8000;
    static constexpr std::size_t BurstLength = 20;

    explicit EcuModel(Mode start);

    Mode mode() const { return mode_; }
    int speed() const { return speed_; }
    std::vector<uint8_t>& memory() { return memory_; }
    Faults& faults() { return faults_; }
    void set_access_code(const uint8_t code[6]);
    // True once a synchronisation frame carried the right access code. A unit woken from
    // sleep answers nothing but that frame until then; a running unit needs no code.
    bool synchronised() const { return synchronised_; }

    // A byte heard at the unit's own speed; the answer is appended to out.
    void receive(uint8_t byte, std::vector<uint8_t>& out);
    // A byte sent at another speed: the unit hears noise, and its monitor falls back to
    // waiting for the wake-up sequence at 9600 bit/s.
    void noise();
    // What a running unit sends unasked (empty unless streaming).
    void burst(std::vector<uint8_t>& out) const;

private:
    void Reset(Mode mode);
    void Command(uint8_t cmd, std::vector<uint8_t>& out);
    void Frame(std::vector<uint8_t>& out);
    void CallRoutine(const uint8_t* params, std::vector<uint8_t>& out);

    Mode mode_;
    int speed_;
    Faults faults_;
    std::vector<uint8_t> memory_;
    uint8_t ram_[0x10000] = {};
    uint8_t accessCode_[6] = {};
    bool synchronised_ = false;
    bool locked_ = false; // woken, access code not yet given
    bool unlocked_ = false;

    uint8_t command_ = 0;      // command whose frame is being collected (0: none)
    std::size_t expected_ = 0; // frame length still expected
    std::vector<uint8_t> frame_;
};
