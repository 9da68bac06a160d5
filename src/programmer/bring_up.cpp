#include "programmer/bring_up.h"

#include "programmer/bring_up_intervals.h"
#include "programmer/protocol.h"
#include "programmer/timer.h"

#include <thread>

namespace prog {

namespace {

void SleepUntil(timer& clock, int64_t ms) {
    const int64_t left = ms - clock.elapsed_ms();
    if (left > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(left));
}

} // namespace

bool bring_up(SerialLink& link, int bitsPerSecond, int timeoutMs,
              const std::function<void(const std::string&)>& say) {
    auto tell = [&](const std::string& what) {
        if (say)
            say(what);
    };
    timer clock;
    clock.start();
    SleepUntil(clock, FirstListenMs);
    // A unit still sending the rest of a stopped read would answer every bring-up step with
    // stale bytes; sending meanwhile would only confuse it. Let it finish first, and count the
    // time-out from the quiet line.
    if (line_busy(link)) {
        tell("waiting for the unit to finish sending");
        wait_for_quiet(link, MaxStreamMs);
        clock.start();
    }
    tell("listening");
    bool awake = listen(link);
    int64_t nextWake = clock.elapsed_ms() + WakeIntervalMs;
    while (clock.elapsed_ms() < timeoutMs) {
        if (!awake) {
            // Attempts start every 500 ms, or back to back when one takes longer.
            SleepUntil(clock, nextWake);
            nextWake = clock.elapsed_ms() + WakeIntervalMs;
            tell("waking the unit");
            awake = wake_up(link);
            if (!awake)
                continue;
        }
        SleepUntil(clock, clock.elapsed_ms() + SyncDelayMs);
        tell("synchronising");
        synchronise(link);
        SleepUntil(clock, clock.elapsed_ms() + CheckDelayMs);
        tell("checking the link");
        if (check_link(link, bitsPerSecond))
            return true;
        awake = false;
        nextWake = clock.elapsed_ms() + WakeIntervalMs;
    }
    return false;
}

} // namespace prog
