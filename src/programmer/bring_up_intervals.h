#pragma once

namespace prog {

// The rhythm in which the link to the unit is brought up, shared by the programmer window and
// the command-line tool through one bring-up, so both meet the unit alike.
// The line is first watched a second after the port opens: the line adapter, powered by DTR
// and RTS, settles meanwhile.
constexpr int FirstListenMs = 1000;
// How long the line is watched: longer than the pause between a running unit's bursts.
constexpr int WatchMs = 600;
// The wait for a unit's answer while looking for one whose state is unknown.
constexpr int ProbeAnswerMs = 100;
// A wake-up attempt every 500 ms while the unit is silent; after this many the line is
// watched and the unit looked for again, in case it was switched on running meanwhile.
constexpr int WakeIntervalMs = 500;
constexpr int WakesPerRound = 4;
// The synchronisation 500 ms after a woken unit answered.
constexpr int SyncDelayMs = 500;
// The link check once a second while the link stands.
constexpr int CheckDelayMs = 1000;
// A port that opened but has had no answer this long gets a hint on what to check.
constexpr int NoAnswerHintMs = 10000;

} // namespace prog
