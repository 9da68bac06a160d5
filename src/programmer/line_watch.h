#pragma once

#include "programmer/serial_link.h"

#include <cstddef>
#include <cstdint>

// What the line carries when the host says nothing: a bring-up must tell a silent unit from a
// running one and from one still sending the rest of a read that a stopped run left behind.
namespace prog {

struct LineActivity {
    std::size_t bytes = 0;
    int64_t longestGapMs = 0; // the longest pause between two arrivals
    int64_t quietAtEndMs = 0; // from the last arrival to the end of the watch (all of it if none)
};

// A pause this long ends a stream: its bytes follow each other at the line rate, a few
// milliseconds apart even through an adapter that hands them over in chunks.
constexpr int64_t StreamGapMs = 100;

enum class LineKind {
    Silent,      // nothing came
    Bursts,      // a running unit: short bursts with pauses between them
    Streaming,   // bytes back to back to the end of the watch: a stopped read still running
    StreamEnded, // bytes back to back, then quiet: the unit has just finished sending
};

// Purges, then takes what arrives during ms, noting when it came.
LineActivity watch_line(SerialLink& link, int ms);

// Bursts are at most burstLength bytes each, so more bytes without a pause are a stream.
LineKind classify_line(const LineActivity& seen, std::size_t burstLength);

} // namespace prog
