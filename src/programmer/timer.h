#pragma once

#include <chrono>
#include <cstdint>

// A millisecond stopwatch on the monotonic clock; the block read bounds its wait with it.
class timer {
public:
    void start() { start_ = std::chrono::steady_clock::now(); }
    // Whole milliseconds since start().
    int64_t elapsed_ms() {
        last_ = std::chrono::steady_clock::now();
        return std::chrono::duration_cast<std::chrono::milliseconds>(last_ - start_).count();
    }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point last_ = start_;
};
