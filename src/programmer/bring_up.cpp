#include "programmer/bring_up.h"

#include "programmer/bring_up_intervals.h"
#include "programmer/line_watch.h"
#include "programmer/protocol.h"

#include <algorithm>
#include <thread>

namespace prog {

namespace {

// A running unit sends its bursts, and answers, at 19200 bit/s.
constexpr int RunningUnitSpeed = 19200;

} // namespace

void LinkBringUp::Restart() {
    stage_ = LinkStage::Settling;
    woken_ = false;
    wakes_ = 0;
    silence_.start();
    hinted_ = false;
}

LinkStep LinkBringUp::Advance(SerialLink& link) {
    LinkStep step;
    switch (stage_) {
    case LinkStage::Settling:
        stage_ = LinkStage::Watching;
        step.nextInMs = FirstListenMs;
        return step;
    case LinkStage::Watching:
    case LinkStage::WaitingForQuiet:
        step = Watch(link);
        break;
    case LinkStage::Synchronising:
        if (woken_) {
            // A woken unit says nothing more until it has its access code: no need to listen
            // for a running unit's bytes first.
            send_access_code(link);
            uint8_t answer[SyncAnswerLength];
            link.read_block(answer, sizeof answer); // the answer is not interpreted
        } else {
            synchronise(link);
        }
        step = Check(link, step);
        break;
    case LinkStage::Probing:
        if (FindAwakeUnit(link) && set_link_speed(link, speed_)) {
            stage_ = LinkStage::Linked;
            step.cameUp = true;
            step.nextInMs = CheckDelayMs;
        } else {
            stage_ = LinkStage::Waking;
            wakes_ = 0;
        }
        break;
    case LinkStage::Waking: {
        timer attempt;
        attempt.start();
        if (wake_up(link)) {
            woken_ = true;
            silence_.start();
            stage_ = LinkStage::Synchronising;
            step.nextInMs = SyncDelayMs;
        } else if (++wakes_ >= WakesPerRound) {
            stage_ = LinkStage::Watching;
        } else {
            // Attempts start every 500 ms, or back to back when one takes longer.
            step.nextInMs =
                static_cast<int>(std::max<int64_t>(0, WakeIntervalMs - attempt.elapsed_ms()));
        }
        break;
    }
    case LinkStage::Linked:
        if (check_link(link, speed_)) {
            step.nextInMs = CheckDelayMs;
        } else {
            step.lost = true;
            stage_ = LinkStage::Watching;
            silence_.start();
            hinted_ = false;
        }
        break;
    }
    if (!linked() && !hinted_ && silence_.elapsed_ms() >= hintAfterMs_) {
        hinted_ = true;
        step.hint = true;
    }
    return step;
}

LinkStep LinkBringUp::Watch(SerialLink& link) {
    LinkStep step;
    const LineKind kind = classify_line(watch_line(link, WatchMs), ListenLength);
    if (kind != LineKind::Silent)
        silence_.start(); // something is there: no hint about a dead line
    switch (kind) {
    case LineKind::Streaming:
        if (stage_ != LinkStage::WaitingForQuiet) {
            stage_ = LinkStage::WaitingForQuiet;
            streamSince_.start();
        }
        // A stream that goes on longer than any read is no read left over: look for the unit.
        if (streamSince_.elapsed_ms() >= MaxStreamMs)
            stage_ = LinkStage::Probing;
        break;
    case LineKind::Bursts:
        woken_ = false;
        link.set_speed(RunningUnitSpeed);
        stage_ = LinkStage::Synchronising;
        break;
    case LineKind::StreamEnded:
    case LineKind::Silent:
        stage_ = LinkStage::Probing;
        break;
    }
    return step;
}

LinkStep LinkBringUp::Check(SerialLink& link, LinkStep step) {
    if (check_link(link, speed_)) {
        silence_.start();
        woken_ = false;
        stage_ = LinkStage::Linked;
        step.cameUp = true;
        step.nextInMs = CheckDelayMs;
    } else {
        stage_ = LinkStage::Probing;
    }
    return step;
}

// A run stopped between the wake-up and programming leaves the unit in its monitor: at 9600
// bit/s before the link check moved it, at the wanted speed after; still waiting for its
// access code if the run ended before synchronising. Such a unit ignores the wake-up, so it
// is asked directly: a link test, then the access code and a second link test.
bool LinkBringUp::FindAwakeUnit(SerialLink& link) {
    const int speeds[] = {speed_, 9600};
    const int count = speed_ == 9600 ? 1 : 2;
    for (int i = 0; i < count; ++i) {
        link.set_speed(speeds[i]);
        if (link_test_within(link, ProbeAnswerMs))
            return true;
        if (send_access_code(link)) {
            uint8_t answer[SyncAnswerLength];
            await_bytes(link, answer, sizeof answer, ProbeAnswerMs);
            if (link_test_within(link, ProbeAnswerMs))
                return true;
        }
    }
    return false;
}

bool bring_up(SerialLink& link, int bitsPerSecond, int timeoutMs,
              const std::function<void(const std::string&)>& say) {
    LinkBringUp machine(bitsPerSecond);
    machine.Restart();
    timer clock;
    clock.start();
    for (;;) {
        const LinkStage before = machine.stage();
        const LinkStep step = machine.Advance(link);
        if (machine.linked())
            return true;
        if (machine.stage() == LinkStage::WaitingForQuiet) {
            if (before != LinkStage::WaitingForQuiet && say)
                say("waiting for the unit to finish sending");
            clock.start(); // the time-out counts from the quiet line
        }
        if (step.hint && say)
            say("no answer yet: check that the ignition is on, the adapter is plugged in and "
                "the wiring; 'velmaris-cli ports' lists the serial ports");
        if (clock.elapsed_ms() + step.nextInMs >= timeoutMs)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(step.nextInMs));
    }
}

} // namespace prog
