// The host side of the monitor protocol against a unit whose answers come from the input:
// whatever the unit sends, no operation may read or write outside its buffers, and a call
// reported as successful must carry a result block that passes the status rule.
#include "programmer/protocol.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Each frame the host sends releases the next answer: a length byte, then that many bytes.
class FuzzLink : public SerialLink {
public:
    FuzzLink(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    void purge() override { queue_.clear(); }
    void set_speed(int) override {}
    int read_byte() override {
        if (queue_.empty())
            return NoByte;
        const int b = queue_.front();
        queue_.erase(queue_.begin());
        return b;
    }
    bool write_byte(uint8_t value) override {
        Release();
        return read_byte() == value;
    }
    bool read_block(uint8_t* buffer, std::size_t n) override {
        const std::size_t k = n < queue_.size() ? n : queue_.size();
        if (k > 0) // an empty queue's data() may be null, which memcpy does not allow
            std::memcpy(buffer, queue_.data(), k);
        queue_.erase(queue_.begin(), queue_.begin() + static_cast<long>(k));
        return k == n;
    }
    bool write_block(uint8_t* buffer, std::size_t n) override {
        purge();
        Release();
        return read_block(buffer, n);
    }
    std::size_t read_some(uint8_t* buffer, std::size_t max, int) override {
        const std::size_t k = max < queue_.size() ? max : queue_.size();
        if (k > 0)
            std::memcpy(buffer, queue_.data(), k);
        queue_.erase(queue_.begin(), queue_.begin() + static_cast<long>(k));
        return k;
    }

private:
    void Release() {
        if (pos_ >= size_)
            return;
        std::size_t length = data_[pos_++];
        if (length == 0xFF) // long answers, for the memory read
            length = 0x8100;
        for (std::size_t i = 0; i < length; ++i)
            queue_.push_back(pos_ < size_ ? data_[pos_++] : static_cast<uint8_t>(i));
    }

    const uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    std::vector<uint8_t> queue_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzLink link(data, size);
    prog::wake_up(link);
    prog::synchronise(link);
    prog::check_link(link, 19200);
    prog::ParamBlock result{};
    if (prog::call_routine(link, prog::erase_params(1), &result) && !prog::result_ok(result.data()))
        std::abort();
    std::vector<uint8_t> image(prog::MemorySize, 0);
    image[0x1F80] = 1;
    prog::program_block(link, image.data(), 0x1F80);
    std::vector<uint8_t> buffer(prog::MemorySize);
    prog::read_memory(link, buffer.data(), [] { return true; });
    return 0;
}
