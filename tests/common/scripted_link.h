#pragma once

#include "programmer/serial_link.h"

#include <chrono>
#include <deque>
#include <thread>
#include <vector>

// The host's end of a line whose incoming bytes wait in a queue. Reads never wait: what is not
// there is simply missing. The doubles built on it decide what the unit puts into the queue.
class QueuedLink : public SerialLink {
public:
    void purge() override { input_.clear(); }
    int read_byte() override {
        if (input_.empty())
            return NoByte;
        const int b = input_.front();
        input_.pop_front();
        return b;
    }
    bool read_block(uint8_t* buffer, std::size_t n) override {
        std::size_t i = 0;
        for (; i < n && !input_.empty(); ++i) {
            buffer[i] = input_.front();
            input_.pop_front();
        }
        return i == n;
    }
    // A quiet line makes the caller wait as a real one would, so a watch of the line lasts
    // its time instead of spinning.
    std::size_t read_some(uint8_t* buffer, std::size_t max, int waitMs) override {
        if (input_.empty() && waitMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
        std::size_t i = 0;
        for (; i < max && !input_.empty(); ++i) {
            buffer[i] = input_.front();
            input_.pop_front();
        }
        return i;
    }

protected:
    void Queue(const uint8_t* data, std::size_t n) { input_.insert(input_.end(), data, data + n); }
    void Queue(const std::vector<uint8_t>& bytes) {
        input_.insert(input_.end(), bytes.begin(), bytes.end());
    }

private:
    std::deque<uint8_t> input_;
};

// A line with a scripted unit behind it: it records every frame the host sends, returns a
// perfect echo, and after each frame makes the next scripted answer available to the reads.
class ScriptedLink : public QueuedLink {
public:
    std::vector<std::vector<uint8_t>> sent;   // every frame, in order
    std::deque<std::vector<uint8_t>> answers; // one per frame sent; missing = silence
    std::vector<int> speeds;
    int purges = 0;

    void purge() override {
        ++purges;
        QueuedLink::purge();
    }
    void set_speed(int bps) override { speeds.push_back(bps); }
    bool badByteEcho = false; // single bytes come back garbled
    bool write_byte(uint8_t value) override {
        Sent(&value, 1);
        return !badByteEcho;
    }
    bool write_block(uint8_t* buffer, std::size_t n) override {
        purge();
        Sent(buffer, n);
        return true;
    }

private:
    void Sent(const uint8_t* data, std::size_t n) {
        sent.emplace_back(data, data + n);
        if (!answers.empty()) {
            Queue(answers.front());
            answers.pop_front();
        }
    }
};
