#pragma once

#include <cstdint>
#include <vector>

// One byte of the image that a write really changed.
struct ByteChange {
    uint16_t address;
    uint8_t before;
    uint8_t after;
    bool operator==(const ByteChange& o) const {
        return address == o.address && before == o.before && after == o.after;
    }
};

// The bytes one write changed, in rising address order, each address once. A write that
// leaves every byte as it was makes no change set at all. Holding before and after, a change
// set is undone by writing the before bytes and redone by writing the after bytes.
using ChangeSet = std::vector<ByteChange>;

// Whoever keeps track of the image's bytes (an edit history, change marks, a comparison)
// registers one of these on the image. Calls arrive after the bytes are in place, on the
// thread that wrote them. A listener must not add or remove listeners while it is being called.
class ImageListener {
public:
    virtual ~ImageListener() = default;
    // An edit: a byte, word or whole-image write changed the bytes listed.
    virtual void DataChanged(const ChangeSet& changes) = 0;
    // A load or a clear put new bytes into Data and the same into LoadedCopy: the image now
    // holds another file (or none), nothing counts as changed, and a new history begins.
    // Bytes from before this call must not be written back as an edit of the new image.
    virtual void DataReplaced() = 0;
};
