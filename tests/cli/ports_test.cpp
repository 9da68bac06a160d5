// velmaris-cli ports against real device nodes: a pseudo-terminal free and held, paths that
// are no port and a device that is not there.
#include "cli_run.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QJsonObject OnlyPort(const CliRun& run) {
    const QJsonArray ports =
        QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object()["ports"].toArray();
    EXPECT_EQ(ports.size(), 1) << run.out << run.err;
    return ports.isEmpty() ? QJsonObject() : ports[0].toObject();
}

QStringList Kinds(const QJsonObject& port) {
    QStringList kinds;
    for (const QJsonValue& p : port["problems"].toArray())
        kinds << p.toObject()["kind"].toString();
    return kinds;
}

// A pseudo-terminal is a port like an adapter. The process on its master side (as the simulated
// unit keeps the slave open too) is the line's far end and holds nothing; another process with
// the slave open is named as holding it.
TEST(PortsCommand, PseudoTerminalFreeThenHeldByAnotherProcess) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string slave = ptsname(master);
    // This process holds both ends, as the simulator does: the port is free.
    const int own = open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(own, 0);
    const CliRun free = RunCli({"ports", "--json", slave});
    const QJsonObject freePort = OnlyPort(free);
    EXPECT_EQ(freePort["device"].toString().toStdString(), slave);
    EXPECT_TRUE(freePort["canOpen"].toBool());
    EXPECT_TRUE(freePort["holders"].toArray().isEmpty()) << free.out;
    EXPECT_EQ(free.status, 0);

    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(master); // the child is another program: it has the slave side only
        close(own);
        const int held = open(slave.c_str(), O_RDWR | O_NOCTTY);
        (void)!write(ready[1], "x", 1);
        pause();
        _exit(held < 0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    const CliRun run = RunCli({"ports", "--json", slave});
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    const QJsonArray holders = OnlyPort(run)["holders"].toArray();
    ASSERT_EQ(holders.size(), 1) << run.out;
    EXPECT_EQ(holders[0].toObject()["pid"].toInt(), child);
    EXPECT_TRUE(Kinds(OnlyPort(run)).contains("held"));
    EXPECT_EQ(run.status, 1);
    close(ready[0]);
    close(ready[1]);
    close(own);
    close(master);
}

// Permissions are not proof: a pseudo-terminal whose master has not unlocked it refuses to open
// though its owner may read and write it, so the port is said not to open and the command fails.
TEST(PortsCommand, TerminalThatRefusesToOpen) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    const std::string slave = ptsname(master);
    const CliRun run = RunCli({"ports", "--json", slave});
    const QJsonObject port = OnlyPort(run);
    EXPECT_TRUE(port["present"].toBool());
    EXPECT_FALSE(port["canOpen"].toBool());
    EXPECT_EQ(Kinds(port), QStringList{"open-failed"});
    EXPECT_EQ(run.status, 1);
    const CliRun text = RunCli({"ports", slave});
    EXPECT_NE(text.out.find("can open: no"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("не открывается"), std::string::npos) << text.out;
    close(master);
}

TEST(PortsCommand, DeviceThatIsNotThere) {
    const CliRun run = RunCli({"ports", "--json", "/dev/ttyUSB-velmaris-gone"});
    const QJsonObject port = OnlyPort(run);
    EXPECT_FALSE(port["present"].toBool());
    EXPECT_EQ(Kinds(port), QStringList{"missing"});
    EXPECT_EQ(run.status, 1);
}

// A path that is no terminal is no port, whoever asks (root can open a file, but it carries no
// line): said what it is, never "can open", and the command fails.
TEST(PortsCommand, PathsThatAreNoSerialPort) {
    char folder[] = "/tmp/velmaris-ports-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string file = std::string(folder) + "/file";
    const std::string fifo = std::string(folder) + "/fifo";
    close(open(file.c_str(), O_CREAT | O_WRONLY, 0600));
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path :
         {std::string(folder), fifo, file, std::string("/dev/null"), std::string("/dev/tty")}) {
        SCOPED_TRACE(path);
        const CliRun run = RunCli({"ports", "--json", path});
        const QJsonObject port = OnlyPort(run);
        EXPECT_TRUE(port["present"].toBool());
        EXPECT_FALSE(port["canOpen"].toBool());
        EXPECT_EQ(Kinds(port), QStringList{"not-a-device"});
        EXPECT_EQ(run.status, 1);
    }
    std::remove(file.c_str());
    std::remove(fifo.c_str());
    rmdir(folder);
}

} // namespace
