// Change sets as steps of the edit history: joining, undoing, redoing and counting them.
#include "image/edit_steps.h"

#include "image/firmware_image.h"

#include <cstring>
#include <memory>

EditPath DirectEditPath() {
    return [](const std::string&, const std::function<void()>& writes) { writes(); };
}

ChangeSet CombineChangeSets(const ChangeSet& first, const ChangeSet& second) {
    ChangeSet out;
    out.reserve(first.size() + second.size());
    auto keep = [&out](const ByteChange& c) {
        if (c.before != c.after)
            out.push_back(c);
    };
    auto a = first.begin();
    auto b = second.begin();
    while (a != first.end() || b != second.end()) {
        if (b == second.end() || (a != first.end() && a->address < b->address))
            keep(*a++);
        else if (a == first.end() || b->address < a->address)
            keep(*b++);
        else {
            keep({a->address, a->before, b->after});
            ++a;
            ++b;
        }
    }
    return out;
}

namespace {

void WriteBytes(FirmwareImage& image, const ChangeSet& changes, bool after) {
    auto bytes = std::make_unique<uint8_t[]>(FirmwareImage::Size);
    std::memcpy(bytes.get(), image.Bytes(), FirmwareImage::Size);
    for (const ByteChange& c : changes)
        bytes[c.address] = after ? c.after : c.before;
    image.ReplaceData(bytes.get());
}

} // namespace

void WriteBeforeBytes(FirmwareImage& image, const ChangeSet& changes) {
    WriteBytes(image, changes, false);
}

void WriteAfterBytes(FirmwareImage& image, const ChangeSet& changes) {
    WriteBytes(image, changes, true);
}

bool HoldsBeforeBytes(const FirmwareImage& image, const ChangeSet& changes) {
    for (const ByteChange& c : changes)
        if (c.address >= FirmwareImage::Size || image.Bytes()[c.address] != c.before)
            return false;
    return true;
}

bool KeypadStepsMerge(const KeypadStep& previous, const KeypadStep& next) {
    const int64_t gap = next.timeMs - previous.timeMs;
    return previous.map == next.map && previous.address == next.address && gap >= 0 &&
           gap < KeypadMergeWindowMs;
}

std::size_t CountChangedBytes(const FirmwareImage& image) {
    const uint8_t* data = image.Bytes();
    const uint8_t* loaded = image.LoadedBytes();
    std::size_t n = 0;
    for (std::size_t a = 0; a < FirmwareImage::Size; ++a)
        n += data[a] != loaded[a];
    return n;
}

ChangeCollector::ChangeCollector(FirmwareImage& image) : image_(image) {
    image_.AddListener(this);
}

ChangeCollector::~ChangeCollector() {
    image_.RemoveListener(this);
}

void ChangeCollector::DataChanged(const ChangeSet& changes) {
    changes_ = CombineChangeSets(changes_, changes);
}

void ChangeCollector::DataReplaced() {
    replaced_ = true;
    changes_.clear();
}
