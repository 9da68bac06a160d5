#pragma once

#include "programmer/serial_link.h"

#include <functional>
#include <string>

namespace prog {

// Brings the link up in one go, in the order and rhythm the programmer window's timers run
// it: a second after opening, wait (silently) until the line carries no stream of a stopped
// read any more, then listen once at the port's speed; if the unit is silent, wake it
// every 500 ms; 500 ms after it answers, synchronise; a second later check the link at the
// wanted speed, which moves unit and port there. A failed check starts waking again. Gives up
// when timeoutMs has passed since the line was quiet; say (if set) is told each stage.
bool bring_up(SerialLink& link, int bitsPerSecond, int timeoutMs,
              const std::function<void(const std::string&)>& say = {});

} // namespace prog
