#pragma once

#include "ecu_model.h"
#include "scripted_link.h"

#include <vector>

// The simulated unit's monitor wired straight to the host, without a line in between: the
// host's bytes reach the model at once (understood only at the model's speed) and its answers
// are queued for the reads. Fast end-to-end runs of whole operations.
class ModelLink : public QueuedLink {
public:
    explicit ModelLink(EcuModel& unit) : unit_(unit) {}
    int speed = 19200;
    std::size_t bytesSent = 0;

    void set_speed(int bps) override { speed = bps; }
    bool write_byte(uint8_t value) override {
        Send(&value, 1);
        return read_byte() == value;
    }
    bool write_block(uint8_t* buffer, std::size_t n) override {
        purge();
        Send(buffer, n);
        return read_block(buffer, n);
    }

private:
    void Send(const uint8_t* data, std::size_t n) {
        bytesSent += n;
        Queue(data, n); // the echo
        for (std::size_t i = 0; i < n; ++i) {
            std::vector<uint8_t> answer;
            if (speed == unit_.speed())
                unit_.receive(data[i], answer);
            else
                unit_.noise();
            Queue(answer);
        }
    }
    EcuModel& unit_;
};
