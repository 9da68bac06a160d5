#pragma once

#include "ecu_model.h"
#include "programmer/serial_link.h"

#include <deque>
#include <vector>

// The simulated unit's monitor wired straight to the host, without a line in between: the
// host's bytes reach the model at once (understood only at the model's speed) and its answers
// are queued for the reads. Fast end-to-end runs of whole operations.
class ModelLink : public SerialLink {
public:
    explicit ModelLink(EcuModel& unit) : unit_(unit) {}
    int speed = 19200;
    std::size_t bytesSent = 0;

    void purge() override { input_.clear(); }
    void set_speed(int bps) override { speed = bps; }
    int read_byte() override {
        if (input_.empty())
            return NoByte;
        const int b = input_.front();
        input_.pop_front();
        return b;
    }
    bool write_byte(uint8_t value) override {
        Send(&value, 1);
        return read_byte() == value;
    }
    bool read_block(uint8_t* buffer, std::size_t n) override {
        std::size_t i = 0;
        for (; i < n && !input_.empty(); ++i) {
            buffer[i] = input_.front();
            input_.pop_front();
        }
        return i == n;
    }
    bool write_block(uint8_t* buffer, std::size_t n) override {
        purge();
        Send(buffer, n);
        return read_block(buffer, n);
    }

private:
    void Send(const uint8_t* data, std::size_t n) {
        bytesSent += n;
        input_.insert(input_.end(), data, data + n); // the echo
        for (std::size_t i = 0; i < n; ++i) {
            std::vector<uint8_t> answer;
            if (speed == unit_.speed())
                unit_.receive(data[i], answer);
            else
                unit_.noise();
            input_.insert(input_.end(), answer.begin(), answer.end());
        }
    }
    EcuModel& unit_;
    std::deque<uint8_t> input_;
};
