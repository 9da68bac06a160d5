#pragma once

#include "image/json_writer.h"

#include <functional>
#include <string>
#include <vector>

// Finds the serial ports of the system and says, for each, whether this user can open it and
// what stands in the way: a group the user is not in, another process holding the port, a
// device that has gone. Reads sysfs, /dev and /proc below a root folder, so tests can point
// it at a made-up system.
namespace portdoc {

// The system the doctor looks at and who asks.
struct PortSystem {
    // Prefix of /sys, /dev, /proc and /var/lock; empty for the real system.
    std::string root;
    unsigned uid = 0;
    std::vector<unsigned> groups; // primary and supplementary groups of the asking process
    std::string user;             // the asking user's login name, for the command to join
    std::function<std::string(unsigned gid)> groupName;
    // Whether this process may read and write the device (an absolute path below root).
    // The real system asks the kernel (access(2)), which also knows of access lists; a
    // made-up one is judged by owner, group and mode.
    std::function<bool(const std::string& path)> mayOpen;
    // Opens the device for a moment and closes it again: 0 when that worked, else the errno.
    // Permissions alone do not say a port opens (a pseudo-terminal still locked, a serial
    // port with no UART behind it, one opened for exclusive use). Unset for a made-up system.
    std::function<int(const std::string& path)> tryOpen;

    // The running system and the calling process.
    static PortSystem Real();
};

// A process that has the device open.
struct PortHolder {
    int pid = 0;
    std::string name; // the process's command name, e.g. "ModemManager"
};

enum class ProblemKind {
    Missing,         // no device node: unplugged, or a stable name left behind
    NotInGroup,      // the owning group may use it, the user is not in that group
    NoPermission,    // nobody but the owner (or root) may use it
    Held,            // another process has it open
    HeldUnknown,     // some processes could not be looked at (other users')
    GrabbingService, // a service known to grab serial ports is running
    NotADevice,      // the path is an ordinary file or a folder
    OpenFailed       // permissions allow it, yet the device does not open
};

struct PortProblem {
    ProblemKind kind;
    std::string text; // Russian, one sentence or two, with the command that helps
};

struct PortReport {
    std::string device;     // /dev/ttyUSB0
    std::string stableName; // /dev/serial/by-id/..., empty when the system made none
    std::string driver;     // ftdi_sio, cp210x, ch341, cdc_acm, serial8250, ...
    std::string usbVendor;  // "0403", empty when not on USB
    std::string usbProduct; // "6001"
    std::string usbName;    // manufacturer and product as the device names itself
    std::string group;      // owning group of the device node
    bool present = false;
    bool canOpen = false;
    std::vector<PortHolder> holders;
    std::vector<PortProblem> problems;
};

// Every serial port of the system: USB adapters, ACM devices, serial ports with a UART behind
// them and stable names whose device has gone; each with its diagnosis.
std::vector<PortReport> ListPorts(const PortSystem& system);

// The diagnosis of one device named by the user: a device path, a stable name or any path.
PortReport DiagnosePort(const PortSystem& system, const std::string& path);

// The stable name (/dev/serial/by-id/...) that points at device, empty when there is none.
std::string StableNameFor(const PortSystem& system, const std::string& device);

// The problems of a report, one per line; empty when nothing stands in the way.
std::string DiagnosisText(const PortReport& report);

// Writes the report as one JSON object.
void WritePortReportJson(JsonWriter& json, const PortReport& report);

// Machine name of a problem kind for JSON: "missing", "not-in-group", ...
const char* ProblemKindName(ProblemKind kind);

} // namespace portdoc
