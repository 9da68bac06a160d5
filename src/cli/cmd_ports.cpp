// velmaris-cli ports [--json] [DEVICE...]
// Lists the serial ports, or diagnoses the named ones: stable name, driver, USB identity,
// whether the port opens for this user (tried, not guessed from permissions) and what stands in
// the way. Exit status 0; with named devices 1 when one of them is no serial port, does not open
// or is held by another process.

#include "cli/command.h"
#include "image/json_writer.h"
#include "programmer/port_doctor.h"

#include <iostream>

namespace {

void PrintReport(const portdoc::PortReport& port) {
    std::cout << port.device;
    if (!port.stableName.empty())
        std::cout << "  " << port.stableName;
    std::cout << "\n";
    if (!port.driver.empty())
        std::cout << "  driver:   " << port.driver << "\n";
    if (!port.usbVendor.empty())
        std::cout << "  usb:      " << port.usbVendor << ":" << port.usbProduct
                  << (port.usbName.empty() ? "" : "  ") << port.usbName << "\n";
    if (!port.group.empty())
        std::cout << "  group:    " << port.group << "\n";
    std::cout << "  can open: " << (port.canOpen ? "yes" : "no") << "\n";
    for (const portdoc::PortProblem& problem : port.problems)
        std::cout << "  ! " << problem.text << "\n";
}

bool Usable(const portdoc::PortReport& port) {
    return port.canOpen && port.holders.empty();
}

int RunPorts(const std::vector<std::string>& args) {
    bool json = false;
    std::vector<std::string> devices;
    for (const std::string& a : args) {
        if (a == "--json") {
            json = true;
        } else if (!a.empty() && a[0] == '-') {
            std::cerr << "usage: velmaris-cli ports [--json] [DEVICE...]\n";
            return 2;
        } else {
            devices.push_back(a);
        }
    }
    const portdoc::PortSystem system = portdoc::PortSystem::Real();
    std::vector<portdoc::PortReport> ports;
    if (devices.empty())
        ports = portdoc::ListPorts(system);
    for (const std::string& device : devices)
        ports.push_back(portdoc::DiagnosePort(system, device));

    int status = 0;
    for (const portdoc::PortReport& port : ports)
        if (!devices.empty() && !Usable(port))
            status = 1;
    if (json) {
        JsonWriter out;
        out.BeginObject();
        out.Key("ports");
        out.BeginArray();
        for (const portdoc::PortReport& port : ports)
            portdoc::WritePortReportJson(out, port);
        out.EndArray();
        out.EndObject();
        std::cout << out.Text() << "\n";
        return status;
    }
    if (ports.empty())
        std::cout << "no serial ports found: plug the adapter in and run this again "
                     "(the kernel log, `sudo dmesg | tail`, shows whether it was recognised)\n";
    for (const portdoc::PortReport& port : ports)
        PrintReport(port);
    return status;
}

const CliCommandRegistration registration({
    "ports",
    "ports [--json] [DEVICE...]   serial ports: stable name, driver, USB identity, whether "
    "this user can open them and what stands in the way",
    RunPorts,
});

} // namespace
