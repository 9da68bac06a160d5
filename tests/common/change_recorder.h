#pragma once

#include "image/firmware_image.h"

#include <vector>

// Listens on an image for as long as it lives and keeps what it heard, in order.
class ChangeRecorder : public ImageListener {
public:
    explicit ChangeRecorder(FirmwareImage& image) : image_(image) { image_.AddListener(this); }
    ~ChangeRecorder() override { image_.RemoveListener(this); }
    ChangeRecorder(const ChangeRecorder&) = delete;
    ChangeRecorder& operator=(const ChangeRecorder&) = delete;

    void DataChanged(const ChangeSet& changes) override { sets.push_back(changes); }
    void DataReplaced() override { ++replaced; }

    std::vector<ChangeSet> sets;
    int replaced = 0;

private:
    FirmwareImage& image_;
};
