#pragma once

#include <string>
#include <vector>

namespace prog {

// The port the programmer window starts on: the one remembered from the last run, else the
// first USB serial adapter offered (a stable /dev/serial/by-id/ name, or a ttyUSB or ttyACM
// device), else none. A built-in port is never guessed: an old PC's COM1 or ttyS0 opens
// without complaint and then has no unit on it, which looks like a dead unit.
std::string StartPort(const std::string& remembered, const std::vector<std::string>& offered);

// True for the "COM1".."COM4" names of the old Windows programs. On Linux such a remembered
// name is the default those programs stored, not a choice the user made.
bool IsComAlias(const std::string& name);

} // namespace prog
