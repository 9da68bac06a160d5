#pragma once

#include "image/change_set.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

class FirmwareImage;

// The path a window's writes take to become one named step of the edit history. The name is a
// short text for the user (UTF-8), the writes change the image through its byte, word or
// whole-image writes. Where nothing records history, the writes simply run.
using EditPath = std::function<void(const std::string& name, const std::function<void()>& writes)>;
EditPath DirectEditPath();

// Joins two change sets made one after the other into the one change they make together:
// each address keeps its first before byte and its last after byte, and an address that ends
// where it began drops out. The result is in rising address order.
ChangeSet CombineChangeSets(const ChangeSet& first, const ChangeSet& second);

// Undo and redo of a step: puts the before bytes (undo) or the after bytes (redo) of a change
// set into the image as one whole-image write, so listeners hear one change set however many
// bytes the step holds.
void WriteBeforeBytes(FirmwareImage& image, const ChangeSet& changes);
void WriteAfterBytes(FirmwareImage& image, const ChangeSet& changes);

// True when the image holds the before bytes of every change, i.e. the step can be redone on it.
bool HoldsBeforeBytes(const FirmwareImage& image, const ChangeSet& changes);

// Keypad presses on one cell that follow each other closely are one step for the user: a press
// merges into the previous step when both step the same map's cell at the same address and it
// came less than a second after the previous press.
struct KeypadStep {
    int map = -1;
    int32_t address = -1;
    int64_t timeMs = 0;
};
constexpr int64_t KeypadMergeWindowMs = 1000;
bool KeypadStepsMerge(const KeypadStep& previous, const KeypadStep& next);

// How many bytes of Data differ from LoadedCopy, the file as last opened or saved.
std::size_t CountChangedBytes(const FirmwareImage& image);

// Listens on an image while it lives and joins everything written meanwhile into one change set.
class ChangeCollector : public ImageListener {
public:
    explicit ChangeCollector(FirmwareImage& image);
    ~ChangeCollector() override;
    ChangeCollector(const ChangeCollector&) = delete;
    ChangeCollector& operator=(const ChangeCollector&) = delete;

    void DataChanged(const ChangeSet& changes) override;
    void DataReplaced() override;

    const ChangeSet& Changes() const { return changes_; }
    // A load or a clear came in between: the collected bytes no longer describe an edit.
    bool Replaced() const { return replaced_; }

private:
    FirmwareImage& image_;
    ChangeSet changes_;
    bool replaced_ = false;
};
