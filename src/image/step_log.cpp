// The history's records: a four-byte header (number of changes, name length, both 16-bit
// little-endian), four bytes per change (address low, address high, before, after), the name.
#include "image/step_log.h"

#include <stdexcept>
#include <vector>

namespace {

constexpr std::size_t HeaderBytes = 4;
constexpr std::size_t ChangeBytes = 4;
constexpr std::size_t MaxField = 0xFFFF;

void PutWord(std::vector<uint8_t>& out, std::size_t value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

} // namespace

StepLog::Offset StepLog::Append(std::string_view name, const ChangeSet& changes) {
    if (name.size() > MaxField || changes.size() > MaxField)
        throw std::length_error("history step too large to keep");
    std::vector<uint8_t> record;
    record.reserve(HeaderBytes + changes.size() * ChangeBytes + name.size());
    PutWord(record, changes.size());
    PutWord(record, name.size());
    for (const ByteChange& c : changes) {
        PutWord(record, c.address);
        record.push_back(c.before);
        record.push_back(c.after);
    }
    record.insert(record.end(), name.begin(), name.end());
    const Offset at = bytes_.size();
    bytes_.insert(bytes_.end(), record.begin(), record.end());
    return at;
}

StepLog::Header StepLog::ReadHeader(Offset at) const {
    auto word = [&](std::size_t i) -> std::size_t {
        return bytes_[at + i] | static_cast<std::size_t>(bytes_[at + i + 1]) << 8;
    };
    return {word(0), word(2)};
}

std::string StepLog::Name(Offset at) const {
    const Header h = ReadHeader(at);
    const auto from =
        bytes_.begin() + static_cast<std::ptrdiff_t>(at + HeaderBytes + h.changes * ChangeBytes);
    return std::string(from, from + static_cast<std::ptrdiff_t>(h.nameLength));
}

ChangeSet StepLog::Changes(Offset at) const {
    const Header h = ReadHeader(at);
    ChangeSet changes(h.changes);
    auto in = bytes_.begin() + static_cast<std::ptrdiff_t>(at + HeaderBytes);
    for (ByteChange& c : changes) {
        const uint8_t low = *in++;
        const uint8_t high = *in++;
        c.address = static_cast<uint16_t>(low | high << 8);
        c.before = *in++;
        c.after = *in++;
    }
    return changes;
}

void StepLog::Drop(Offset at) {
    const Header h = ReadHeader(at);
    if (at + HeaderBytes + h.changes * ChangeBytes + h.nameLength == bytes_.size())
        bytes_.resize(at);
}
