#include "programmer/port_choice.h"

#include <cctype>

namespace prog {

namespace {

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

bool IsUsbAdapter(const std::string& name) {
    return name.rfind("/dev/serial/by-id/", 0) == 0 || Contains(name, "ttyUSB") ||
           Contains(name, "ttyACM");
}

} // namespace

bool IsComAlias(const std::string& name) {
    return name.size() == 4 && std::toupper(static_cast<unsigned char>(name[0])) == 'C' &&
           std::toupper(static_cast<unsigned char>(name[1])) == 'O' &&
           std::toupper(static_cast<unsigned char>(name[2])) == 'M' && name[3] >= '1' &&
           name[3] <= '4';
}

std::string StartPort(const std::string& remembered, const std::vector<std::string>& offered) {
    if (!remembered.empty())
        return remembered;
    for (const std::string& name : offered)
        if (IsUsbAdapter(name))
            return name;
    return {};
}

} // namespace prog
