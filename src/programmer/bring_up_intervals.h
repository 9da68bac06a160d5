#pragma once

namespace prog {

// The rhythm in which the link to the unit is brought up, shared by the programmer window's
// timers and the command-line tool, so both meet the unit alike.
// The first listen a second after the port opens: the line adapter, powered by DTR and RTS,
// settles meanwhile. While a unit still sends the rest of a stopped read, the line is probed
// at the same pace.
constexpr int FirstListenMs = 1000;
// A wake-up attempt every 500 ms while the unit is silent.
constexpr int WakeIntervalMs = 500;
// The synchronisation 500 ms after the unit answered.
constexpr int SyncDelayMs = 500;
// The link check a second after synchronising, and once a second while the link stands.
constexpr int CheckDelayMs = 1000;

} // namespace prog
