#pragma once

#include "image/change_set.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

// The names and bytes of the edit history's steps, one record after another in one store, so
// that ten thousand keypad steps hold no allocation each. A record is addressed by the offset
// Append returned. Dropping the last record gives its room back: the steps a history takes off
// its end (an undone branch, a merge) leave nothing behind. Dropping any other record only
// forgets it; Clear gives everything back.
class StepLog {
public:
    using Offset = std::size_t;

    // Throws std::length_error for a name of more than 65 535 bytes or a set of more than
    // 65 535 changes (an image has 32 768 bytes).
    Offset Append(std::string_view name, const ChangeSet& changes);
    std::string Name(Offset at) const;
    ChangeSet Changes(Offset at) const;
    void Drop(Offset at);
    void Clear() { bytes_.clear(); }
    // The bytes held, for measuring.
    std::size_t Size() const { return bytes_.size(); }

private:
    struct Header {
        std::size_t changes;
        std::size_t nameLength;
    };
    Header ReadHeader(Offset at) const;

    // Chunked storage: growing never copies what is there, and it holds no spare half.
    std::deque<uint8_t> bytes_;
};
