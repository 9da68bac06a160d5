#include "cli_run.h"
#include "damaged_jet.h"
#include "image_bytes.h"
#include "maps/image_compare.h"
#include "temp_dir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

// Two complete binary images that differ in a map cell next to a NaN Lambda, an
// identification text, an equipment bit, the checksum and two code bytes.
class CliDiff : public ::testing::Test {
protected:
    void SetUp() override {
        a.ReplaceData(PatternBytes(7, 3).data());
        // Load 0 and an injection time equal to the injector offset: Lambda is 0/0.
        a.WriteByte(a.AddrP + 6, 0);
        a.WriteWord(a.AddrTauBase, 0);
        a.WriteByte(a.AddrMainMap + 44 * 4 + 2 * 6, 75);
        b.ReplaceData(a.Bytes());
        a.SaveBin(dir.File("a.bin"));
        a.SaveBin(dir.File("same.bin"));
        FlipBits(b, b.AddrMainMap + 44 * 4 + 2 * 6, 0x08);
        b.WriteByte(b.AddrCarBody, 'Z');
        FlipBits(b, b.AddrEquipment, 0x01);
        FlipBits(b, 0x5FF0, 0x01);
        FlipBits(b, 0x0200, 1);
        FlipBits(b, 0x0201, 1);
        b.SaveBin(dir.File("b.bin"));
    }
    TempDir dir;
    FirmwareImage a;
    FirmwareImage b;
};

// A JSON number, or the string decode --json writes for a non-finite one.
double Value(const QJsonValue& v) {
    if (v.isString())
        return v.toString() == "nan" ? NAN : v.toString() == "inf" ? INFINITY : -INFINITY;
    return v.toDouble();
}

TEST_F(CliDiff, JsonEqualsTheCoreResult) {
    const CliRun run = RunCli({"diff", dir.File("a.bin"), dir.File("b.bin"), "--json"});
    ASSERT_EQ(run.status, 1) << run.err;
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
    const ImageDifferences d = CompareImages(a, b, false);

    const QJsonArray maps = root["maps"].toArray();
    ASSERT_EQ(maps.size(), static_cast<int>(d.maps.size()));
    bool nanSeen = false;
    for (int m = 0; m < maps.size(); ++m) {
        EXPECT_EQ(maps[m]["map"].toString().toStdString(), GetMapInfo(d.maps[m].kind).name);
        const QJsonArray cells = maps[m]["cells"].toArray();
        ASSERT_EQ(cells.size(), static_cast<int>(d.maps[m].cells.size()));
        for (int i = 0; i < cells.size(); ++i) {
            const CellDifference read{cells[i]["row"].toInt(), cells[i]["col"].toInt(),
                                      Value(cells[i]["a"]), Value(cells[i]["b"])};
            EXPECT_EQ(read, d.maps[m].cells[i]);
            nanSeen = nanSeen || std::isnan(read.a) || std::isnan(read.b);
        }
    }
    EXPECT_TRUE(nanSeen);
    ASSERT_EQ(root["ident"].toArray().size(), 1);
    EXPECT_EQ(root["ident"][0]["field"].toString(), "CarBody");
    EXPECT_EQ(root["ident"][0]["b"].toString().toStdString(), d.ident[0].b);
    ASSERT_EQ(root["equipment"].toArray().size(), 1);
    EXPECT_EQ(root["equipment"][0]["bit"].toInt(), 0);
    EXPECT_EQ(root["equipment"][0]["a"].toBool(), d.equipment[0].a);
    EXPECT_EQ(root["checksum"]["a"].toInt(), d.checksum->a);
    EXPECT_EQ(root["checksum"]["b"].toInt(), d.checksum->b);
    ASSERT_EQ(root["bytes"].toArray().size(), 1);
    EXPECT_EQ(root["bytes"][0]["from"].toInt(), 0x200);
    EXPECT_EQ(root["bytes"][0]["to"].toInt(), 0x201);
    EXPECT_TRUE(root["constants"].toArray().isEmpty());
}

TEST_F(CliDiff, ExitStatusSaysSameDifferentBadOrIncomplete) {
    CliRun run = RunCli({"diff", dir.File("a.bin"), dir.File("same.bin")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");

    run = RunCli({"diff", dir.File("a.bin"), dir.File("b.bin")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("bytes 0x0200-0x0201\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("ident CarBody:"), std::string::npos) << run.out;

    EXPECT_EQ(RunCli({"diff", dir.File("a.bin"), dir.File("none.bin")}).status, 2);
    EXPECT_EQ(RunCli({"diff", dir.File("a.bin")}).status, 2);
    WriteTextFile(dir.File("short.bin"), "\x03\x0a");
    EXPECT_EQ(RunCli({"diff", dir.File("a.bin"), dir.File("short.bin")}).status, 3);
    EXPECT_EQ(RunCli({"diff", dir.File("a.bin"), dir.File("short.bin"), "--allow-partial"}).status,
              1);
}

} // namespace

namespace {

// A damaged parameter database is said in the output itself, text and JSON, with every record
// the comparison leaves out: otherwise a constant that changed could be missing without a word.
TEST_F(CliDiff, DatabaseProblemsAndLeftOutRecordsAreInTheOutput) {
    const QString damaged = QString::fromStdString(dir.File("damaged.mdb"));
    // The first constant's mark garbled (a space for its second letter).
    MakeDamagedJetCopy(QStringLiteral(VELMARIS_FIXTURES_DIR "/database-jet4.mdb"), damaged,
                       {{0x1bf8c, QByteArray(" \x00", 2)}});
    const std::string db = damaged.toStdString();
    const CliRun json =
        RunCli({"diff", dir.File("a.bin"), dir.File("b.bin"), "--db", db, "--json"});
    EXPECT_EQ(json.status, 1) << json.err;
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object();
    const QJsonArray problems = root.value("database_problems").toArray();
    ASSERT_EQ(problems.size(), 2) << json.out;
    EXPECT_TRUE(problems[0].toString().startsWith(
        QStringLiteral("Таблица table1, запись Id = 1: поле Mark повреждено")))
        << problems[0].toString().toStdString();
    // The fixture's N_CYL has a type that stores nothing: the comparison passes it by.
    EXPECT_EQ(problems[1].toString(),
              QStringLiteral("constant N_CYL left out: тип 7 не хранит значения в образе"));

    const CliRun text = RunCli({"diff", dir.File("a.bin"), dir.File("b.bin"), "--db", db});
    EXPECT_NE(text.out.find("database problem: Таблица table1, запись Id = 1"), std::string::npos)
        << text.out;
    // Without a database the JSON has no such list.
    const CliRun plain = RunCli({"diff", dir.File("a.bin"), dir.File("b.bin"), "--json"});
    EXPECT_EQ(plain.out.find("database_problems"), std::string::npos);
}

// Records whose address is text instead of a number (an SQLite file stores what it is given)
// are left out by name with why, next to the constant of a type that stores nothing; a
// database without a fault still gets its list, so the JSON always says what was passed by.
TEST_F(CliDiff, EveryRecordTheComparisonLeavesOutIsListed) {
    const std::string db = dir.File("p.sqlite");
    ASSERT_EQ(RunCli({"db", "convert", VELMARIS_FIXTURES_DIR "/database-jet4.mdb", db}).status, 0);
    {
        QSqlDatabase sql = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "edit");
        sql.setDatabaseName(QString::fromStdString(db));
        ASSERT_TRUE(sql.open());
        QSqlQuery q(sql);
        ASSERT_TRUE(
            q.exec(QStringLiteral("UPDATE table1 SET Address = 'abc' WHERE Mark = 'N_LIM'")));
        ASSERT_TRUE(
            q.exec(QStringLiteral("UPDATE table2 SET AddressPar = 'x' WHERE Mark = 'XX_TWAT'")));
        sql.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("edit"));
    const CliRun json =
        RunCli({"diff", dir.File("a.bin"), dir.File("b.bin"), "--db", db, "--json"});
    EXPECT_EQ(json.status, 1) << json.err;
    const QJsonArray problems = QJsonDocument::fromJson(QByteArray::fromStdString(json.out))
                                    .object()
                                    .value("database_problems")
                                    .toArray();
    QStringList listed;
    for (const QJsonValue& p : problems)
        listed << p.toString();
    EXPECT_EQ(
        listed,
        (QStringList{QStringLiteral("constant N_LIM left out: поле Address не число ('abc')"),
                     QStringLiteral("constant N_CYL left out: тип 7 не хранит значения в образе"),
                     QStringLiteral("vector XX_TWAT left out: поле AddressPar не число ('x')")}))
        << json.out;
    const CliRun text = RunCli({"diff", dir.File("a.bin"), dir.File("b.bin"), "--db", db});
    EXPECT_NE(text.out.find("database problem: constant N_CYL left out"), std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("database problem: constant N_LIM left out"), std::string::npos)
        << text.out;
}

} // namespace
