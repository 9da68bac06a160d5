#pragma once

#include "image/change_set.h"

#include <cstdint>

// A change set kept for a long time, as a history step keeps it: a keypad step changes one or
// two bytes, so up to two changes sit in the object itself and only larger sets take a block of
// their own, sized exactly. Ten thousand steps then hold no vector each.
class StoredChanges {
public:
    StoredChanges() = default;
    explicit StoredChanges(const ChangeSet& changes) { Assign(changes); }
    ~StoredChanges() { Release(); }
    StoredChanges(const StoredChanges&) = delete;
    StoredChanges& operator=(const StoredChanges&) = delete;

    void Assign(const ChangeSet& changes) {
        Release();
        size_ = static_cast<uint32_t>(changes.size());
        ByteChange* out = inline_;
        if (size_ > InlineCapacity)
            out = heap_ = new ByteChange[size_];
        for (uint32_t i = 0; i < size_; ++i)
            out[i] = changes[i];
    }
    ChangeSet Changes() const {
        const ByteChange* in = size_ > InlineCapacity ? heap_ : inline_;
        return ChangeSet(in, in + size_);
    }
    bool Empty() const { return size_ == 0; }

private:
    static constexpr uint32_t InlineCapacity = 2;
    void Release() {
        if (size_ > InlineCapacity)
            delete[] heap_;
        size_ = 0;
    }
    union {
        ByteChange inline_[InlineCapacity];
        ByteChange* heap_;
    };
    uint32_t size_ = 0;
};
