#include "programmer/bring_up.h"

#include "programmer/protocol.h"
#include "programmer/timer.h"

#include <thread>

namespace prog {

bool bring_up(SerialLink& link, int bitsPerSecond, int timeoutMs,
              const std::function<void(const std::string&)>& say) {
    auto tell = [&](const std::string& what) {
        if (say)
            say(what);
    };
    timer clock;
    clock.start();
    tell("listening");
    bool awake = listen(link);
    while (clock.elapsed_ms() < timeoutMs) {
        if (!awake) {
            tell("waking the unit");
            const int64_t started = clock.elapsed_ms();
            awake = wake_up(link);
            if (!awake) {
                const int64_t spent = clock.elapsed_ms() - started;
                if (spent < 500)
                    std::this_thread::sleep_for(std::chrono::milliseconds(500 - spent));
                continue;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        tell("synchronising");
        synchronise(link);
        tell("checking the link");
        if (check_link(link, bitsPerSecond))
            return true;
        awake = false;
    }
    return false;
}

} // namespace prog
