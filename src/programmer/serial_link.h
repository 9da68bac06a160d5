#pragma once

#include <cstddef>
#include <cstdint>

// The byte link to the control unit as the monitor protocol needs it. The line echoes every
// byte the computer sends; the write operations consume that echo before they return, so the
// next read sees the unit's answer.
class SerialLink {
public:
    // What read_byte returns when no byte came. It is outside 0..255, so it can never be
    // mistaken for an acknowledgement.
    static constexpr int NoByte = -1;

    virtual ~SerialLink() = default;

    // Discards both queues and clears the line error state.
    virtual void purge() = 0;
    // Sets the line speed in bits per second (9600 or 19200).
    virtual void set_speed(int bitsPerSecond) = 0;
    // One byte, waiting at most about 500 ms when none is queued; NoByte when none came.
    virtual int read_byte() = 0;
    // Sends one byte and consumes its one-byte echo; true when the echo came back as sent.
    virtual bool write_byte(uint8_t value) = 0;
    // Waits up to 20 ms per expected byte for n bytes and reads them into buffer; true only
    // when exactly n bytes came. The bytes that did come are in buffer either way.
    virtual bool read_block(uint8_t* buffer, std::size_t n) = 0;
    // Purges, sends n bytes and reads the echo back into buffer; true when the whole echo came.
    virtual bool write_block(uint8_t* buffer, std::size_t n) = 0;
    // Waits at most waitMs for a first byte, then takes what is queued, up to max bytes;
    // returns how many it took (0 when none came). Unlike the reads above it never waits
    // longer than asked, so the bring-up can watch the line in short steps.
    virtual std::size_t read_some(uint8_t* buffer, std::size_t max, int waitMs) = 0;
};
