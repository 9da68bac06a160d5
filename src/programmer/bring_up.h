#pragma once

#include "programmer/bring_up_intervals.h"
#include "programmer/serial_link.h"
#include "programmer/timer.h"

#include <functional>
#include <string>

namespace prog {

enum class LinkStage {
    Settling,        // the port has just opened
    Watching,        // watching the line for a running unit or a stream
    WaitingForQuiet, // a stopped read's stream is still coming: nothing is sent into it
    Synchronising,   // a running or woken unit: synchronise, then check the link
    Probing,         // looking for a unit left awake by an interrupted run, at either speed
    Waking,          // waking a sleeping unit every 500 ms
    Linked,          // the link stands; checked once a second
};

// What one step did, for its driver.
struct LinkStep {
    int nextInMs = 0;    // when the next step is due
    bool cameUp = false; // the link has just come up
    bool lost = false;   // the link was up and its check failed
    bool hint = false;   // nothing heard for a while since the port opened or the link fell
};

// Brings the link to the unit up and keeps it, one exchange per step, so that a window can
// drive it from one timer between its events and the command-line tool from a loop.
//
// After the port opens it waits for the adapter to settle, then watches the line. A running
// unit (short bursts) is synchronised and checked. A stream of a stopped read is let run out
// first. A silent line, or one whose stream has just ended, may hide a unit left awake by an
// interrupted run: it is looked for at the wanted speed and at 9600 bit/s, and only when it
// does not answer is the unit woken, every 500 ms. A unit that answered a link test is never
// woken. The link check, which also moves unit and port to the wanted speed, then runs once a
// second; when it fails the unit is looked for again.
class LinkBringUp {
public:
    // hintAfterMs: how long the unit may stay silent before a step carries the hint.
    explicit LinkBringUp(int bitsPerSecond = 19200, int hintAfterMs = NoAnswerHintMs)
        : speed_(bitsPerSecond), hintAfterMs_(hintAfterMs) {}

    // Begins again from the settling pause: the port has been opened or reopened.
    void Restart();
    // The next link check moves unit and port to this speed.
    void set_speed(int bitsPerSecond) { speed_ = bitsPerSecond; }
    // Runs the exchange that is due now.
    LinkStep Advance(SerialLink& link);

    LinkStage stage() const { return stage_; }
    bool linked() const { return stage_ == LinkStage::Linked; }

private:
    LinkStep Watch(SerialLink& link);
    LinkStep Check(SerialLink& link, LinkStep step);
    bool FindAwakeUnit(SerialLink& link);
    LinkStep Quiet(LinkStep step);

    int speed_;
    int hintAfterMs_;
    LinkStage stage_ = LinkStage::Settling;
    bool woken_ = false; // the unit answered a wake-up and waits for its access code
    int wakes_ = 0;      // failed wake-ups since the line was last watched
    timer streamSince_;
    timer silence_; // since the unit was last heard
    bool hinted_ = false;
};

// The command line's bring-up: drives LinkBringUp until the link is up. Gives up when
// timeoutMs has passed, not counting the wait for a stopped read's stream to end; say (if
// set) is told each wait worth explaining and the no-answer hint.
bool bring_up(SerialLink& link, int bitsPerSecond, int timeoutMs,
              const std::function<void(const std::string&)>& say = {});

} // namespace prog
