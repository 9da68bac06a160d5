#include "programmer/port_doctor.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace portdoc {

namespace {

// Services that open every new serial port they see, looking for a modem, a braille display
// or a GPS receiver.
const char* const GrabbingServices[] = {"ModemManager", "brltty", "gpsd"};

std::string ReadLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

bool Exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

fs::path Canonical(const fs::path& path) {
    std::error_code ec;
    fs::path real = fs::weakly_canonical(path, ec);
    return ec ? path : real;
}

// Calls visit for each entry of a folder. Entries may vanish while they are read (a process
// that ends); that ends the walk, it never throws.
template <class Visit> void ForEachEntry(const fs::path& folder, Visit visit) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec))
        visit(*it);
}

// What a path is when it is no serial port: a folder, a FIFO, an ordinary file, the process's
// own terminal, or another device; empty for a terminal device that can be a port (a serial
// tty the kernel lists, or a pseudo-terminal such as the simulator's).
std::string NotASerialPort(const std::string& device, const struct stat& st) {
    if (S_ISDIR(st.st_mode))
        return "папка";
    if (S_ISFIFO(st.st_mode))
        return "канал (FIFO)";
    if (S_ISREG(st.st_mode))
        return "обычный файл";
    if (!S_ISCHR(st.st_mode))
        return "не символьное устройство";
    const unsigned major = ::major(st.st_rdev);
    const unsigned minor = ::minor(st.st_rdev);
    if (major == 5 && minor <= 2)
        return minor == 0 ? "управляющий терминал этого процесса" : "системное устройство";
    const bool pseudoTerminal = major >= 136 && major <= 143;
    const std::string name = fs::path(device).filename().string();
    std::error_code ec;
    if (pseudoTerminal || fs::exists("/sys/class/tty/" + name, ec))
        return {};
    return "устройство, не являющееся терминалом";
}

// The "tty-index:" of a /proc/PID/fdinfo file: the number of the pseudo-terminal whose master
// that descriptor is; empty when there is none.
std::string TtyIndex(const fs::path& fdinfo) {
    std::ifstream in(fdinfo);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("tty-index:", 0) == 0) {
            const std::size_t digits = line.find_first_of("0123456789");
            return digits == std::string::npos ? std::string() : line.substr(digits);
        }
    return {};
}

class Doctor {
public:
    explicit Doctor(const PortSystem& system) : system_(system) {}

    // A path as the system sees it, below the root.
    fs::path Below(const std::string& path) const { return fs::path(system_.root + path); }
    // A path below the root as the system names it.
    std::string SystemName(const fs::path& path) const {
        const std::string text = path.string();
        if (!system_.root.empty() && text.rfind(system_.root, 0) == 0)
            return text.substr(system_.root.size());
        return text;
    }

    PortReport Diagnose(const std::string& path) const;
    std::vector<PortReport> List() const;
    std::string StableNameOf(const std::string& device) const;

private:
    void DescribeHardware(PortReport& report) const;
    void CheckAccess(PortReport& report) const;
    void FindHolders(PortReport& report) const;

    const PortSystem& system_;
};

std::string Doctor::StableNameOf(const std::string& device) const {
    std::string found;
    ForEachEntry(Below("/dev/serial/by-id"), [&](const fs::directory_entry& entry) {
        if (found.empty() && SystemName(Canonical(entry.path())) == device)
            found = SystemName(entry.path());
    });
    return found;
}

void Doctor::DescribeHardware(PortReport& report) const {
    const std::string name = fs::path(report.device).filename().string();
    const fs::path classEntry = Below("/sys/class/tty/" + name);
    if (!Exists(classEntry / "device"))
        return;
    // The tty's own device carries the driver; newer kernels put generic serial "port" and
    // "ctrl" devices (bus serial-base) in between, above which sits the real one.
    fs::path device = Canonical(classEntry / "device");
    for (fs::path at = device; !at.empty() && at != at.parent_path(); at = at.parent_path()) {
        std::error_code ec;
        const std::string driver = fs::read_symlink(at / "driver", ec).string();
        if (!ec && driver.find("/serial-base/") == std::string::npos) {
            report.driver = fs::path(driver).filename().string();
            break;
        }
        if (SystemName(at) == "/sys/devices")
            break;
    }
    for (fs::path at = device; !at.empty() && at != at.parent_path(); at = at.parent_path()) {
        if (Exists(at / "idVendor")) {
            report.usbVendor = ReadLine(at / "idVendor");
            report.usbProduct = ReadLine(at / "idProduct");
            const std::string maker = ReadLine(at / "manufacturer");
            const std::string product = ReadLine(at / "product");
            report.usbName = maker + (maker.empty() || product.empty() ? "" : " ") + product;
            break;
        }
        if (SystemName(at) == "/sys/devices")
            break;
    }
}

void Doctor::CheckAccess(PortReport& report) const {
    struct stat st {};
    const fs::path node = Below(report.device);
    if (::stat(node.c_str(), &st) != 0) {
        report.problems.push_back(
            {ProblemKind::Missing,
             "Устройство " + report.device +
                 " не найдено: адаптер отключён, ещё не готов или получил другое имя. "
                 "Подключите его заново и выберите порт из списка."});
        return;
    }
    report.present = true;
    if (system_.root.empty()) {
        // Only a terminal device can carry the line: anything else opens (or not) without
        // being a port, and "can open" would mislead.
        if (const std::string what = NotASerialPort(report.device, st); !what.empty()) {
            report.problems.push_back(
                {ProblemKind::NotADevice,
                 report.device + " — не последовательный порт: " + what + "."});
            return;
        }
    }
    report.group = system_.groupName ? system_.groupName(st.st_gid) : std::to_string(st.st_gid);
    if (report.group.empty())
        report.group = std::to_string(st.st_gid);
    report.canOpen = system_.mayOpen(node.string());
    if (report.canOpen && system_.tryOpen) {
        if (const int error = system_.tryOpen(node.string()); error != 0) {
            report.canOpen = false;
            report.problems.push_back(
                {ProblemKind::OpenFailed, "Права позволяют открыть " + report.device +
                                              ", но порт не открывается: " + std::strerror(error) +
                                              "."});
        }
    }
    if (report.canOpen)
        return;
    if (!report.problems.empty())
        return;
    const bool inGroup =
        std::find(system_.groups.begin(), system_.groups.end(), st.st_gid) != system_.groups.end();
    const mode_t groupRw = S_IRGRP | S_IWGRP;
    if (!inGroup && (st.st_mode & groupRw) == groupRw) {
        const std::string user = system_.user.empty() ? "$USER" : system_.user;
        report.problems.push_back(
            {ProblemKind::NotInGroup,
             "Пользователь " + user + " не состоит в группе " + report.group +
                 ", которой принадлежит порт. Добавьте его командой «sudo usermod -aG " +
                 report.group + " " + user + "» и войдите в систему заново."});
        return;
    }
    report.problems.push_back(
        {ProblemKind::NoPermission,
         "Нет прав на чтение и запись " + report.device +
             " (владелец и режим доступа не "
             "разрешают их этому пользователю). Проверьте правила udev для этого устройства."});
}

void Doctor::FindHolders(PortReport& report) const {
    const std::string device = SystemName(Canonical(Below(report.device)));
    // A pseudo-terminal's number: the process on its master side (a simulated unit) keeps the
    // slave open too, and is the other end of the line, not a program in the way.
    const std::string ptyIndex =
        device.rfind("/dev/pts/", 0) == 0 ? device.substr(std::string("/dev/pts/").size()) : "";
    bool someHidden = false;
    std::vector<std::string> services;
    ForEachEntry(Below("/proc"), [&](const fs::directory_entry& entry) {
        const std::string pidText = entry.path().filename().string();
        if (pidText.empty() || !std::all_of(pidText.begin(), pidText.end(),
                                            [](char c) { return c >= '0' && c <= '9'; }))
            return;
        const int pid = std::stoi(pidText);
        const std::string name = ReadLine(entry.path() / "comm");
        for (const char* service : GrabbingServices)
            if (name == service &&
                std::find(services.begin(), services.end(), name) == services.end())
                services.push_back(name);
        if (system_.root.empty() && pid == static_cast<int>(::getpid()))
            return; // the doctor itself
        std::error_code fdError;
        fs::directory_iterator fds(entry.path() / "fd", fdError);
        if (fdError) {
            someHidden = someHidden || fdError.value() == EACCES;
            return;
        }
        bool holds = false;
        bool farEnd = false; // holds the master of this very pseudo-terminal: the line's far end
        for (; !fdError && fds != fs::directory_iterator(); fds.increment(fdError)) {
            std::error_code linkError;
            const fs::path target = fs::read_symlink(fds->path(), linkError);
            if (linkError)
                continue;
            if (target.string() == device)
                holds = true;
            else if (!ptyIndex.empty() && target.string() == "/dev/ptmx" &&
                     TtyIndex(entry.path() / "fdinfo" / fds->path().filename()) == ptyIndex)
                farEnd = true;
        }
        if (holds && !farEnd)
            report.holders.push_back({pid, name});
    });
    for (const PortHolder& holder : report.holders)
        report.problems.push_back(
            {ProblemKind::Held, "Порт занят процессом " + holder.name + " (PID " +
                                    std::to_string(holder.pid) +
                                    "). Закройте эту программу или остановите службу."});
    if (!report.holders.empty())
        return;
    if (someHidden)
        report.problems.push_back(
            {ProblemKind::HeldUnknown,
             "Процессы других пользователей не проверены: чтобы узнать, не занят ли порт, "
             "запустите «sudo velmaris-cli ports»."});
    for (const std::string& service : services)
        report.problems.push_back(
            {ProblemKind::GrabbingService,
             "Запущена служба " + service +
                 ", которая может занимать последовательные порты. Если порт занят, "
                 "остановите её: «sudo systemctl stop " +
                 (service == "ModemManager" ? std::string("ModemManager") : service) + "»."});
}

PortReport Doctor::Diagnose(const std::string& path) const {
    PortReport report;
    const fs::path given = Below(path);
    const bool stable = path.rfind("/dev/serial/", 0) == 0;
    std::error_code ec;
    if (stable || fs::is_symlink(given, ec)) {
        // A stable name points at the device; a link left behind points at nothing, and
        // its target names the device that has gone.
        fs::path target = fs::read_symlink(given, ec);
        if (ec)
            target = given;
        else if (target.is_relative())
            target = given.parent_path() / target;
        report.device = SystemName(Canonical(target.lexically_normal()));
        if (stable)
            report.stableName = path;
    } else {
        report.device = path;
    }
    if (report.stableName.empty())
        report.stableName = StableNameOf(report.device);
    DescribeHardware(report);
    CheckAccess(report);
    const bool port =
        std::none_of(report.problems.begin(), report.problems.end(),
                     [](const PortProblem& p) { return p.kind == ProblemKind::NotADevice; });
    if (report.present && port)
        FindHolders(report);
    return report;
}

std::vector<PortReport> Doctor::List() const {
    std::vector<std::string> devices;
    auto add = [&devices](const std::string& device) {
        if (std::find(devices.begin(), devices.end(), device) == devices.end())
            devices.push_back(device);
    };
    ForEachEntry(Below("/sys/class/tty"), [&](const fs::directory_entry& entry) {
        const std::string name = entry.path().filename().string();
        if (!Exists(entry.path() / "device"))
            return; // consoles and pseudo-terminals
        // The kernel keeps entries for every legacy serial port; type 0 means no UART.
        if (name.rfind("ttyS", 0) == 0 && ReadLine(entry.path() / "type") == "0")
            return;
        add("/dev/" + name);
    });
    std::sort(devices.begin(), devices.end());
    // A stable name whose device has gone is a port the user expects to see.
    std::vector<std::string> leftBehind;
    ForEachEntry(Below("/dev/serial/by-id"), [&](const fs::directory_entry& entry) {
        if (!Exists(entry.path()))
            leftBehind.push_back(SystemName(entry.path()));
    });
    std::sort(leftBehind.begin(), leftBehind.end());
    std::vector<PortReport> reports;
    for (const std::string& device : devices)
        reports.push_back(Diagnose(device));
    for (const std::string& link : leftBehind)
        reports.push_back(Diagnose(link));
    return reports;
}

} // namespace

PortSystem PortSystem::Real() {
    PortSystem system;
    system.uid = ::geteuid();
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(count > 0 ? static_cast<std::size_t>(count) : 0);
    if (count > 0 && ::getgroups(count, groups.data()) == count)
        system.groups.assign(groups.begin(), groups.end());
    system.groups.push_back(::getegid());
    if (const passwd* pw = ::getpwuid(system.uid))
        system.user = pw->pw_name;
    system.groupName = [](unsigned gid) {
        const group* gr = ::getgrgid(gid);
        return gr ? std::string(gr->gr_name) : std::to_string(gid);
    };
    system.mayOpen = [](const std::string& path) {
        return ::access(path.c_str(), R_OK | W_OK) == 0;
    };
    system.tryOpen = [](const std::string& path) {
        // Non-blocking, so a line without carrier does not hold the doctor up, and not as a
        // controlling terminal.
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return errno;
        ::close(fd);
        return 0;
    };
    return system;
}

std::string StableNameFor(const PortSystem& system, const std::string& device) {
    return Doctor(system).StableNameOf(device);
}

std::vector<PortReport> ListPorts(const PortSystem& system) {
    return Doctor(system).List();
}

PortReport DiagnosePort(const PortSystem& system, const std::string& path) {
    return Doctor(system).Diagnose(path);
}

std::string DiagnosisText(const PortReport& report) {
    std::string text;
    for (const PortProblem& problem : report.problems)
        text += (text.empty() ? "" : "\n") + problem.text;
    return text;
}

const char* ProblemKindName(ProblemKind kind) {
    switch (kind) {
    case ProblemKind::Missing:
        return "missing";
    case ProblemKind::NotInGroup:
        return "not-in-group";
    case ProblemKind::NoPermission:
        return "no-permission";
    case ProblemKind::Held:
        return "held";
    case ProblemKind::HeldUnknown:
        return "held-unknown";
    case ProblemKind::GrabbingService:
        return "grabbing-service";
    case ProblemKind::NotADevice:
        return "not-a-device";
    case ProblemKind::OpenFailed:
        return "open-failed";
    }
    return "unknown";
}

void WritePortReportJson(JsonWriter& json, const PortReport& report) {
    json.BeginObject();
    json.Key("device");
    json.String(report.device);
    json.Key("stableName");
    json.String(report.stableName);
    json.Key("driver");
    json.String(report.driver);
    json.Key("usbVendor");
    json.String(report.usbVendor);
    json.Key("usbProduct");
    json.String(report.usbProduct);
    json.Key("usbName");
    json.String(report.usbName);
    json.Key("present");
    json.Bool(report.present);
    json.Key("group");
    json.String(report.group);
    json.Key("canOpen");
    json.Bool(report.canOpen);
    json.Key("holders");
    json.BeginArray();
    for (const PortHolder& holder : report.holders) {
        json.BeginObject();
        json.Key("pid");
        json.Integer(holder.pid);
        json.Key("name");
        json.String(holder.name);
        json.EndObject();
    }
    json.EndArray();
    json.Key("problems");
    json.BeginArray();
    for (const PortProblem& problem : report.problems) {
        json.BeginObject();
        json.Key("kind");
        json.String(ProblemKindName(problem.kind));
        json.Key("text");
        json.String(problem.text);
        json.EndObject();
    }
    json.EndArray();
    json.EndObject();
}

} // namespace portdoc
