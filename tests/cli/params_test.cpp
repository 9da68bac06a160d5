// velmaris-cli db convert and velmaris-cli params as a user runs them.
#include "cli_run.h"
#include "comma_locale.h"
#include "damaged_jet.h"
#include "fixture_image.h"
#include "image/firmware_image.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <cstdlib>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

const std::string Fixture = VELMARIS_FIXTURES_DIR "/database-jet4.mdb";

CliRun Cli(const std::vector<std::string>& args) {
    return RunCli(args);
}

class CliParams : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        imagePath = dir.filePath("image.bin").toStdString();
        FirmwareImage image;
        FillFixtureImage(image);
        image.SaveBin(imagePath);
    }
    QTemporaryDir dir;
    std::string imagePath;
};

TEST_F(CliParams, ConvertedDatabaseDecodesLikeTheJetFile) {
    const std::string out = dir.filePath("copy.sqlite").toStdString();
    const CliRun convert = Cli({"db", "convert", Fixture, out});
    EXPECT_EQ(convert.status, 0);
    EXPECT_NE(convert.out.find("13 constants, 5 vectors, 10 addresses"), std::string::npos);

    const CliRun jet = Cli({"params", imagePath, "--db", Fixture});
    const CliRun sqlite = Cli({"params", imagePath, "--db", out});
    EXPECT_EQ(jet.status, 1); // RESERV has no input formula
    EXPECT_EQ(sqlite.status, 1);
    EXPECT_EQ(jet.out, sqlite.out);
    EXPECT_NE(jet.out.find("U_MIN\tМинимальное напряжение бортсети\t11.02\tВ\n"),
              std::string::npos);
    EXPECT_NE(jet.out.find("RESERV\tРезервный параметр\t-\t-\n"), std::string::npos);
    EXPECT_NE(jet.out.find("TWAT_ADC\tХарактеристика датчика температуры ОЖ\t°C\t16 points\n"
                           "  1\t0.00\t200\n  2\t0.08\t188\n"),
              std::string::npos)
        << jet.out;
}

TEST_F(CliParams, JsonListsEveryConstantAndPoint) {
    const CliRun run = Cli({"params", imagePath, "--db", Fixture, "--json"});
    EXPECT_EQ(run.status, 1);
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
    const QJsonArray constants = root["constants"].toArray();
    ASSERT_EQ(constants.size(), 13);
    EXPECT_EQ(constants[5].toObject()["result"].toDouble(), 0.98);
    EXPECT_EQ(constants[12].toObject()["decoded"].toBool(), false);
    const QJsonArray vectors = root["vectors"].toArray();
    ASSERT_EQ(vectors.size(), 5);
    const QJsonArray points = vectors[1].toObject()["points"].toArray();
    ASSERT_EQ(points.size(), 8);
    EXPECT_DOUBLE_EQ(points[1].toObject()["value"].toDouble(), 370 * 0.004);
    EXPECT_DOUBLE_EQ(points[1].toObject()["arg"].toDouble(), 10.0);
    ASSERT_EQ(root["problems"].toArray().size(), 1);
    EXPECT_EQ(root["problems"].toArray()[0].toString().toStdString(),
              "RESERV: SyntaxError: No Expression");
}

// The program runs in the user's locale; a comma locale of the C library must not change a
// printed number.
TEST_F(CliParams, NumbersDoNotDependOnTheLocale) {
    if (!CommaLocale().ok())
        GTEST_SKIP() << CommaLocale::Missing;
    const char* previous = std::getenv("LC_ALL");
    const std::string saved = previous ? previous : "";
    setenv("LC_ALL", "C", 1);
    const CliRun plain = Cli({"params", imagePath, "--db", Fixture});
    setenv("LC_ALL", CommaLocale::Name, 1);
    const CliRun russian = Cli({"params", imagePath, "--db", Fixture});
    if (previous)
        setenv("LC_ALL", saved.c_str(), 1);
    else
        unsetenv("LC_ALL");
    EXPECT_NE(plain.out.find("  1\t9.0\t1.600\n  2\t10.0\t1.480\n"), std::string::npos)
        << plain.out;
    EXPECT_EQ(russian.out, plain.out);
}

// The reader library prints a hex dump of this damaged page; none of it may reach the output,
// which must stay JSON and report the damage.
TEST_F(CliParams, DamagedJetFileKeepsTheOutputClean) {
    const QString damaged = dir.filePath("damaged.mdb");
    MakeDamagedJetCopy(QString::fromStdString(Fixture), damaged, {ZeroJetPage(23)});
    const CliRun run = Cli({"params", imagePath, "--db", damaged.toStdString(), "--json"});
    EXPECT_EQ(run.status, 1);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out.substr(0, 400);
    EXPECT_TRUE(doc.object()["problems"].toArray().first().toString().contains(
        QStringLiteral("повреждён")));
    EXPECT_EQ(run.err, "");
}

TEST_F(CliParams, BadArgumentsAndMissingFiles) {
    EXPECT_EQ(Cli({"params"}).status, 2);
    EXPECT_EQ(Cli({"params", imagePath, "--db"}).status, 2);
    EXPECT_EQ(Cli({"params", imagePath, "--db", dir.filePath("none.mdb").toStdString()}).status, 2);
    EXPECT_EQ(Cli({"params", dir.filePath("none.bin").toStdString(), "--db", Fixture}).status, 2);
    // A cut binary image would decode as zeros behind the cut: refused as incomplete, as by
    // every command that loads an image.
    QFile cut(dir.filePath("cut.bin"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(QByteArray(100, '\x11'));
    cut.close();
    EXPECT_EQ(Cli({"params", cut.fileName().toStdString(), "--db", Fixture}).status, 3);
    EXPECT_EQ(Cli({"db", "convert", Fixture}).status, 2);
    EXPECT_EQ(Cli({"db", "convert", dir.filePath("none.mdb").toStdString(),
                   dir.filePath("out.sqlite").toStdString()})
                  .status,
              2);
    EXPECT_FALSE(QFile::exists(dir.filePath("out.sqlite")));

    // A file size limit (a quota, like a full disk) fails the copy with a message instead of
    // killing the program, so neither the copy nor a temporary file or journal is left.
    const QString full = QDir(dir.filePath("full")).absolutePath();
    ASSERT_TRUE(QDir().mkpath(full));
    const std::string command =
        "ulimit -f 16; " + ShellQuote(VELMARIS_CLI) + " db convert " + ShellQuote(Fixture) + " " +
        ShellQuote((full + "/out.sqlite").toStdString()) + " >/dev/null 2>" +
        ShellQuote(dir.filePath("err.txt").toStdString());
    const int status = std::system(("sh -c " + ShellQuote(command)).c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << status;
    // Headed as every failed write is, with the file named on the next line.
    QFile err(dir.filePath("err.txt"));
    ASSERT_TRUE(err.open(QIODevice::ReadOnly));
    const std::string message = err.readAll().toStdString();
    EXPECT_EQ(message.rfind("velmaris-cli db: Can't write file.\nvelmaris-cli db: " +
                                (full + "/out.sqlite: ").toStdString(),
                            0),
              0u)
        << message;
    EXPECT_TRUE(QDir(full).entryList(QDir::Files | QDir::Hidden).isEmpty())
        << QDir(full).entryList(QDir::Files | QDir::Hidden).join(' ').toStdString();
}

// Without --db the database beside the image is found when the working folder has none.
TEST_F(CliParams, FindsTheDatabaseBesideTheImage) {
    ASSERT_TRUE(QFile::copy(QString::fromStdString(Fixture), dir.filePath("database.mdb")));
    ASSERT_FALSE(QFileInfo::exists(QDir::current().filePath("database.mdb")));
    const CliRun run = Cli({"params", imagePath});
    EXPECT_EQ(run.status, 1) << run.err; // RESERV has no input formula
    EXPECT_NE(run.out.find("RESERV\tРезервный параметр"), std::string::npos);
}

// The copy takes its target's place as a whole, through a temporary file of its own beside the
// file a link leads to; what is not a regular file is refused.
TEST_F(CliParams, DbConvertReplacesOnlyItsTargetAndFollowsLinks) {
    const std::string demo = VELMARIS_SOURCE_DIR "/examples/database.mdb";
    QFile mine(dir.filePath("copy.sqlite.part"));
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
    mine.write("the user's own");
    mine.close();
    ASSERT_TRUE(QDir(dir.path()).mkdir("real"));
    ASSERT_TRUE(QFile::link("real/copy.sqlite", dir.filePath("copy.sqlite")));

    const CliRun run = Cli({"db", "convert", demo, dir.filePath("copy.sqlite").toStdString()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(QFileInfo(dir.filePath("copy.sqlite")).isSymLink());
    QFile copy(dir.filePath("real/copy.sqlite"));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_TRUE(copy.read(16).startsWith("SQLite format 3"));
    EXPECT_EQ(QDir(dir.filePath("real")).entryList(QDir::Files | QDir::Hidden),
              QStringList{"copy.sqlite"});
    ASSERT_TRUE(mine.open(QIODevice::ReadOnly));
    EXPECT_EQ(mine.readAll(), "the user's own");

    const std::string fifo = dir.filePath("pipe.sqlite").toStdString();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const CliRun refused = Cli({"db", "convert", demo, fifo});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find(fifo + ": not a regular file"), std::string::npos) << refused.err;
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}

} // namespace
