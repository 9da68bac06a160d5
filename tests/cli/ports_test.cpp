// velmaris-cli ports against real device nodes: a pseudo-terminal, a file without permission
// and a device that is not there.
#include "cli_run.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
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

TEST(PortsCommand, PseudoTerminalHeldByThisProcess) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string slave = ptsname(master);
    // Not handed on to the shell that starts the command: this process alone holds it.
    const int held = open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(held, 0);

    const CliRun run = RunCli({"ports", "--json", slave});
    const QJsonObject port = OnlyPort(run);
    EXPECT_EQ(port["device"].toString().toStdString(), slave);
    EXPECT_TRUE(port["present"].toBool());
    EXPECT_TRUE(port["canOpen"].toBool());
    const QJsonArray holders = port["holders"].toArray();
    ASSERT_EQ(holders.size(), 1) << run.out;
    EXPECT_EQ(holders[0].toObject()["pid"].toInt(), getpid());
    EXPECT_TRUE(Kinds(port).contains("held"));
    EXPECT_EQ(run.status, 1); // held by another process: not usable
    close(held);
    close(master);
}

TEST(PortsCommand, DeviceThatIsNotThere) {
    const CliRun run = RunCli({"ports", "--json", "/dev/ttyUSB-velmaris-gone"});
    const QJsonObject port = OnlyPort(run);
    EXPECT_FALSE(port["present"].toBool());
    EXPECT_EQ(Kinds(port), QStringList{"missing"});
    EXPECT_EQ(run.status, 1);
}

TEST(PortsCommand, PathWithoutPermission) {
    char folder[] = "/tmp/velmaris-ports-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string locked = std::string(folder) + "/locked";
    close(open(locked.c_str(), O_CREAT | O_WRONLY, 0600));
    ASSERT_EQ(chmod(locked.c_str(), 0), 0);
    const CliRun run = RunCli({"ports", "--json", locked});
    const QJsonObject port = OnlyPort(run);
    std::remove(locked.c_str());
    rmdir(folder);
    EXPECT_TRUE(port["present"].toBool());
    EXPECT_TRUE(Kinds(port).contains("not-a-device"));
    // Root may open anything: there the answer must be yes, never a made-up refusal.
    if (geteuid() == 0) {
        EXPECT_TRUE(port["canOpen"].toBool());
        GTEST_SKIP() << "a refusal cannot be shown as root";
    }
    EXPECT_FALSE(port["canOpen"].toBool());
    EXPECT_TRUE(Kinds(port).contains("no-permission"));
}

} // namespace
