// The serial-port doctor on a made-up system: sysfs, /dev and /proc below a temporary folder.
#include "programmer/port_choice.h"
#include "programmer/port_doctor.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class PortDoctorTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("velmaris-ports-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        // An adapter on USB: interface, usb-serial port and tty as the kernel lays them out.
        const fs::path usb = root / "sys/devices/usb1/1-1";
        Write(usb / "idVendor", "0403\n");
        Write(usb / "idProduct", "6001\n");
        Write(usb / "manufacturer", "Zentor\n");
        Write(usb / "product", "Line Adapter\n");
        fs::create_directories(usb / "1-1:1.0/ttyUSB0/tty/ttyUSB0");
        fs::create_directories(root / "sys/bus/usb-serial/drivers/zt_serial");
        fs::create_directory_symlink("../../../../../bus/usb-serial/drivers/zt_serial",
                                     usb / "1-1:1.0/ttyUSB0/driver");
        fs::create_directory_symlink("../..", usb / "1-1:1.0/ttyUSB0/tty/ttyUSB0/device");
        fs::create_directories(root / "sys/class/tty");
        fs::create_directory_symlink("../../devices/usb1/1-1/1-1:1.0/ttyUSB0/tty/ttyUSB0",
                                     root / "sys/class/tty/ttyUSB0");
        // A UART on the board, under the generic serial port layers of newer kernels; and a
        // legacy port entry with no UART behind it.
        const fs::path uart = root / "sys/devices/pnp0/00:01";
        for (const char* bus :
             {"pnp/drivers/serial", "serial-base/drivers/ctrl", "serial-base/drivers/port"})
            fs::create_directories(root / "sys/bus" / bus);
        fs::create_directories(uart / "00:01:0/00:01:0.0/tty/ttyS0");
        fs::create_directory_symlink("../../../bus/pnp/drivers/serial", uart / "driver");
        fs::create_directory_symlink("../../../../bus/serial-base/drivers/ctrl",
                                     uart / "00:01:0/driver");
        fs::create_directory_symlink("../../../../../bus/serial-base/drivers/port",
                                     uart / "00:01:0/00:01:0.0/driver");
        fs::create_directory_symlink("../..", uart / "00:01:0/00:01:0.0/tty/ttyS0/device");
        Write(uart / "00:01:0/00:01:0.0/tty/ttyS0/type", "4\n");
        fs::create_directory_symlink("../../devices/pnp0/00:01/00:01:0/00:01:0.0/tty/ttyS0",
                                     root / "sys/class/tty/ttyS0");
        fs::create_directories(root / "sys/class/tty/ttyS1/device");
        Write(root / "sys/class/tty/ttyS1/type", "0\n");
        Write(root / "dev/ttyS0", "");
        // A console: no device behind it, not a serial port.
        fs::create_directories(root / "sys/class/tty/tty1");
        Write(root / "dev/ttyUSB0", "");
        fs::permissions(root / "dev/ttyUSB0", fs::perms::owner_read | fs::perms::owner_write |
                                                  fs::perms::group_read | fs::perms::group_write);
        fs::create_directories(root / "dev/serial/by-id");
        fs::create_symlink("../../ttyUSB0", root / "dev/serial/by-id/usb-Zentor_A1-if00-port0");
        // An adapter that was pulled: its stable name is left pointing at nothing.
        fs::create_symlink("../../ttyACM3", root / "dev/serial/by-id/usb-Zentor_B7-if00");
        Process(812, "brltty", "/dev/tty1");
        fs::create_directories(root / "proc/self");

        system.root = root.string();
        system.uid = 4321; // not the owner of the made-up nodes
        system.user = "ivo";
        system.groupName = [](unsigned) { return std::string("dialout"); };
        system.mayOpen = [this](const std::string&) { return allowed; };
    }
    void TearDown() override { fs::remove_all(root); }

    static void Write(const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text;
    }
    void Process(int pid, const char* name, const char* openFile) {
        const fs::path dir = root / "proc" / std::to_string(pid);
        Write(dir / "comm", std::string(name) + "\n");
        fs::create_directories(dir / "fd");
        fs::create_symlink(openFile, dir / "fd/5");
    }
    static bool Has(const portdoc::PortReport& r, portdoc::ProblemKind kind,
                    const std::string& words) {
        for (const portdoc::PortProblem& p : r.problems)
            if (p.kind == kind && p.text.find(words) != std::string::npos)
                return true;
        return false;
    }

    fs::path root;
    portdoc::PortSystem system;
    bool allowed = false;
};

TEST_F(PortDoctorTest, ListsAdaptersWithTheirIdentityAndWhatStandsInTheWay) {
    const std::vector<portdoc::PortReport> ports = portdoc::ListPorts(system);
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[0].device, "/dev/ttyS0");
    EXPECT_EQ(ports[0].driver, "serial");
    EXPECT_EQ(ports[0].usbVendor, "");
    const portdoc::PortReport& usb = ports[1];
    EXPECT_EQ(usb.device, "/dev/ttyUSB0");
    EXPECT_EQ(usb.stableName, "/dev/serial/by-id/usb-Zentor_A1-if00-port0");
    EXPECT_EQ(usb.driver, "zt_serial");
    EXPECT_EQ(usb.usbVendor + ":" + usb.usbProduct, "0403:6001");
    EXPECT_EQ(usb.usbName, "Zentor Line Adapter");
    EXPECT_TRUE(usb.present);
    EXPECT_FALSE(usb.canOpen);
    EXPECT_TRUE(Has(usb, portdoc::ProblemKind::NotInGroup, "sudo usermod -aG dialout ivo"));
    EXPECT_TRUE(Has(usb, portdoc::ProblemKind::GrabbingService, "brltty"));

    const portdoc::PortReport& gone = ports[2];
    EXPECT_EQ(gone.device, "/dev/ttyACM3");
    EXPECT_EQ(gone.stableName, "/dev/serial/by-id/usb-Zentor_B7-if00");
    EXPECT_FALSE(gone.present);
    EXPECT_TRUE(Has(gone, portdoc::ProblemKind::Missing, "/dev/ttyACM3"));
}

TEST_F(PortDoctorTest, NamesTheProcessHoldingThePortAndJudgesPermissionsByMode) {
    Process(977, "ModemManager", "/dev/ttyUSB0");
    allowed = true;
    portdoc::PortReport r =
        portdoc::DiagnosePort(system, "/dev/serial/by-id/usb-Zentor_A1-if00-port0");
    EXPECT_EQ(r.device, "/dev/ttyUSB0");
    EXPECT_TRUE(r.canOpen);
    ASSERT_EQ(r.holders.size(), 1u);
    EXPECT_EQ(r.holders[0].pid, 977);
    EXPECT_TRUE(Has(r, portdoc::ProblemKind::Held, "ModemManager (PID 977)"));
    // The holder is named; guessing at running services would only distract.
    EXPECT_FALSE(Has(r, portdoc::ProblemKind::GrabbingService, ""));

    // Only the owner may use it: joining a group would not help, so none is suggested.
    allowed = false;
    fs::permissions(root / "dev/ttyUSB0", fs::perms::group_all, fs::perm_options::remove);
    r = portdoc::DiagnosePort(system, "/dev/ttyUSB0");
    EXPECT_EQ(r.stableName, "/dev/serial/by-id/usb-Zentor_A1-if00-port0");
    EXPECT_TRUE(Has(r, portdoc::ProblemKind::NoPermission, "/dev/ttyUSB0"));
    EXPECT_FALSE(Has(r, portdoc::ProblemKind::NotInGroup, ""));
    // In the group already: nothing about groups either.
    system.groups = {static_cast<unsigned>(::getegid())};
    fs::permissions(root / "dev/ttyUSB0", fs::perms::group_read | fs::perms::group_write,
                    fs::perm_options::add);
    EXPECT_FALSE(
        Has(portdoc::DiagnosePort(system, "/dev/ttyUSB0"), portdoc::ProblemKind::NotInGroup, ""));
}

// Joining the group helps only where the group may read and write; a group that may only
// read gets no such advice.
TEST_F(PortDoctorTest, NoGroupAdviceForAGroupThatMayOnlyRead) {
    fs::permissions(root / "dev/ttyUSB0", fs::perms::group_write, fs::perm_options::remove);
    const portdoc::PortReport r = portdoc::DiagnosePort(system, "/dev/ttyUSB0");
    EXPECT_FALSE(Has(r, portdoc::ProblemKind::NotInGroup, ""));
    EXPECT_TRUE(Has(r, portdoc::ProblemKind::NoPermission, "/dev/ttyUSB0"));
}

TEST_F(PortDoctorTest, AnAdapterWithoutAMakerIsNamedByItsProduct) {
    fs::remove(root / "sys/devices/usb1/1-1/manufacturer");
    EXPECT_EQ(portdoc::DiagnosePort(system, "/dev/ttyUSB0").usbName, "Line Adapter");
    Write(root / "sys/devices/usb1/1-1/manufacturer", "Zentor\n");
    fs::remove(root / "sys/devices/usb1/1-1/product");
    EXPECT_EQ(portdoc::DiagnosePort(system, "/dev/ttyUSB0").usbName, "Zentor");
}

} // namespace

// The start port: the remembered one wins; else the first USB adapter in the list, whatever
// built-in ports come before it; else none.
TEST(StartPort, RememberedThenFirstAdapterThenNone) {
    const std::vector<std::string> offered = {"COM1", "/dev/ttyS4", "/dev/ttyACM0",
                                              "/dev/serial/by-id/usb-Acme_Cable-if00"};
    EXPECT_EQ(prog::StartPort("/dev/ttyS1", offered), "/dev/ttyS1");
    EXPECT_EQ(prog::StartPort("", offered), "/dev/ttyACM0");
    EXPECT_EQ(prog::StartPort("", {"COM1", "/dev/serial/by-id/usb-Acme-if00", "/dev/ttyUSB3"}),
              "/dev/serial/by-id/usb-Acme-if00");
    EXPECT_EQ(prog::StartPort("", {"COM1", "COM2", "/dev/ttyS0"}), "");
    EXPECT_TRUE(prog::IsComAlias("com4"));
    EXPECT_FALSE(prog::IsComAlias("COM5"));
    EXPECT_FALSE(prog::IsComAlias("COM10"));
}
