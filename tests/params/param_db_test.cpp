#include "damaged_jet.h"
#include "file_size_limit.h"
#include "image/firmware_image.h"
#include "params/db/param_db.h"
#include "params/db/param_db_jet.h"
#include "params/parameter_decode.h"
#include "params/parameter_formula.h"
#include "params/parameter_storage.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

const QString Fixture = QStringLiteral(VELMARIS_FIXTURES_DIR "/database-jet4.mdb");

QByteArray Hash(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// Runs SQL statements on a new SQLite file.
void MakeSQLite(const QString& path, const QStringList& statements) {
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("mk"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        for (const QString& s : statements) {
            QSqlQuery q(db);
            ASSERT_TRUE(q.exec(s)) << s.toStdString();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("mk"));
}

TEST(ParamDatabase, JetFixtureIsCopiedWithItsTextsAndNulls) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("database.mdb"));
    ASSERT_TRUE(QFile::copy(Fixture, path));
    const QByteArray before = Hash(path);
    {
        ParamDatabase db(path);
        EXPECT_EQ(db.format(), ParamDatabase::Format::Jet);
        EXPECT_TRUE(db.readOnly());
        EXPECT_TRUE(db.problems().isEmpty()) << db.problems().join('\n').toStdString();
        const auto c = db.constants();
        ASSERT_EQ(c.size(), 13u);
        EXPECT_EQ(c[0].Mark, "XX_RPM");
        EXPECT_EQ(c[0].Name, "Уставка оборотов холостого хода");
        EXPECT_EQ(c[2].Unit, "°C");
        EXPECT_EQ(c[4].Result, -10.0);
        EXPECT_EQ(c[5].Result, 0.98);
        EXPECT_EQ(c[5].Address, 0x6210);
        EXPECT_EQ(c[5].Type, 3);
        EXPECT_EQ(c[5].Decimal, 3);
        EXPECT_EQ(c[8].OutFormula, "(X-2)/0.125");
        EXPECT_FALSE(c[12].Result.has_value());
        EXPECT_EQ(c[12].InFormula, "");
        const auto v = db.vectors();
        ASSERT_EQ(v.size(), 5u);
        EXPECT_EQ(v[2].FormulaArg, "X*5/64");
        EXPECT_EQ(v[3].AddressPar, 0x6900);
        EXPECT_EQ(v[3].TypePar, 1);
        EXPECT_EQ(v[4].Count, 32);
        EXPECT_EQ(v[4].UnitArg, "об/мин");
        const auto a = db.addresses();
        ASSERT_EQ(a.size(), 10u);
        EXPECT_EQ(a[1].Val, "0112");
        EXPECT_EQ(a[4].Name, "Скорость обмена по K-линии, бод");

        // Neither the file nor its copy changes: a deletion is refused.
        db.storeResult(c[0].RowKey, 900.0);
        EXPECT_EQ(db.constants()[0].Result, 850.0);
        EXPECT_THROW(db.deleteRecord(ParamDatabase::Vectors, v[0].RowKey), std::runtime_error);
        EXPECT_EQ(db.vectors().size(), 5u);
    }
    EXPECT_EQ(Hash(path), before);
    ParamDatabase again(path);
    EXPECT_EQ(again.constants()[0].Result, 850.0);
}

TEST(ParamDatabase, SQLiteFileStoresResult) {
    QTemporaryDir dir;
    const QString jet = dir.filePath(QStringLiteral("source.mdb"));
    const QString path = dir.filePath(QStringLiteral("database.mdb"));
    ASSERT_TRUE(QFile::copy(Fixture, jet));
    {
        ParamDatabase source(jet);
        source.saveAsSQLite(path);
    }
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".part")));
    {
        ParamDatabase db(path);
        EXPECT_EQ(db.format(), ParamDatabase::Format::SQLite);
        EXPECT_FALSE(db.readOnly());
        EXPECT_TRUE(db.problems().isEmpty()) << db.problems().join('\n').toStdString();
        const auto c = db.constants();
        ASSERT_EQ(c.size(), 13u);
        EXPECT_EQ(c[1].Name, "Ограничение максимальных оборотов двигателя");
        db.begin();
        db.storeResult(c[1].RowKey, 6100.5);
        db.storeResult(c[2].RowKey, std::nullopt);
        db.commit();
        db.deleteRecord(ParamDatabase::Constants, c[3].RowKey);
    }
    ParamDatabase db(path);
    const auto c = db.constants();
    ASSERT_EQ(c.size(), 12u);
    EXPECT_EQ(c[1].Result, 6100.5);
    EXPECT_FALSE(c[2].Result.has_value());
    EXPECT_EQ(c[3].Mark, "T_COLD");
    EXPECT_EQ(db.vectors().size(), 5u);
}

TEST(ParamDatabase, MissingFilesAndWrongSchemasAreReported) {
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("database.mdb"));
    {
        ParamDatabase db(missing);
        EXPECT_EQ(db.format(), ParamDatabase::Format::Missing);
        EXPECT_EQ(db.problems().size(), 1);
        EXPECT_TRUE(db.constants().empty());
    }
    EXPECT_FALSE(QFile::exists(missing)); // opening never creates the file

    const QString text = dir.filePath(QStringLiteral("text.mdb"));
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a database at all, just some text in a file");
    f.close();
    EXPECT_EQ(ParamDatabase(text).format(), ParamDatabase::Format::Unknown);

    const QString partial = dir.filePath(QStringLiteral("partial.mdb"));
    MakeSQLite(partial,
               {QStringLiteral("CREATE TABLE table1 (Id INTEGER PRIMARY KEY, Mark TEXT, Name TEXT, "
                               "Unit TEXT, Min REAL, Max REAL, InFormula TEXT, OutFormula TEXT, "
                               "Address INTEGER, Type INTEGER, Decimal INTEGER)"),
                QStringLiteral("CREATE TABLE table3 (Name TEXT, Val INTEGER)")});
    ParamDatabase db(partial);
    EXPECT_FALSE(db.tableOk(ParamDatabase::Constants));
    EXPECT_FALSE(db.tableOk(ParamDatabase::Vectors));
    EXPECT_FALSE(db.tableOk(ParamDatabase::Addresses));
    const QString all = db.problems().join('\n');
    EXPECT_TRUE(all.contains(QStringLiteral("нет поля Result"))) << all.toStdString();
    EXPECT_TRUE(all.contains(QStringLiteral("нет таблицы table2"))) << all.toStdString();
    EXPECT_TRUE(all.contains(QStringLiteral("Val"))) << all.toStdString();
    EXPECT_TRUE(db.constants().empty());
}

// A numeric field that is null, text or a fraction must not be read as 0: the record would
// then read and write image byte 0x0000, in the code area.
TEST(ParamDatabase, NumericFieldsThatAreNotNumbersAreNamed) {
    QTemporaryDir dir;
    const QString sqlite = dir.filePath(QStringLiteral("database.mdb"));
    { ParamDatabase(Fixture).saveAsSQLite(sqlite); }
    MakeSQLite(sqlite, {QStringLiteral("UPDATE table1 SET Address = NULL WHERE Mark = 'XX_RPM'"),
                        QStringLiteral("UPDATE table1 SET Type = 'два' WHERE Mark = 'N_LIM'"),
                        QStringLiteral("UPDATE table1 SET Decimal = 2.0 / 3 WHERE Mark = 'T_COLD'"),
                        QStringLiteral("UPDATE table1 SET Max = 'x', Type = 2.0 "
                                       "WHERE Mark = 'U_MIN'"),
                        QStringLiteral("UPDATE table2 SET AddressPar = NULL WHERE ID = 1"),
                        QStringLiteral("UPDATE table2 SET TypeArg = 'b' WHERE ID = 2")});
    ParamDatabase db(sqlite);
    const auto c = db.constants();
    ASSERT_EQ(c.size(), 13u);
    EXPECT_EQ(ConstantProblem(c[0]), "поле Address пусто (NULL)");
    EXPECT_EQ(ConstantProblem(c[1]), "поле Type не число ('два')");
    EXPECT_EQ(ConstantProblem(c[4]), "поле Decimal не целое число (0.666666666666667)");
    EXPECT_EQ(ConstantProblem(c[7]), "поле Max не число ('x')"); // 2.0 is a whole number
    EXPECT_FALSE(ConstantProblem(c[6]).has_value());
    const auto v = db.vectors();
    EXPECT_EQ(VectorProblem(v[0]), "поле AddressPar пусто (NULL)");
    EXPECT_EQ(VectorProblem(v[1]), "поле TypeArg не число ('b')");
    EXPECT_FALSE(VectorProblem(v[2]).has_value());

    // In a Jet file only null can stand there: the null mask of UOZ_XX's row, Address unset.
    const QString jet = dir.filePath(QStringLiteral("null-address.mdb"));
    MakeDamagedJetCopy(Fixture, jet, {{0x1bc0d, QByteArray("\x0d", 1)}});
    ParamDatabase jetDb(jet);
    EXPECT_TRUE(jetDb.problems().isEmpty()) << jetDb.problems().join('\n').toStdString();
    const auto jc = jetDb.constants();
    ASSERT_EQ(jc.size(), 13u);
    EXPECT_EQ(ConstantProblem(jc[6]), "поле Address пусто (NULL)");
    EXPECT_FALSE(ConstantProblem(jc[5]).has_value());

    // A Jet value the reader library prints as something other than a number reaches the
    // copy as text, which reading then names as above; numbers arrive as numbers.
    EXPECT_EQ(JetTextValue(ColumnKind::Integer, QStringLiteral("12")), QVariant(qlonglong{12}));
    EXPECT_EQ(JetTextValue(ColumnKind::Double, QStringLiteral("-1.5")), QVariant(-1.5));
    for (const ColumnKind kind : {ColumnKind::Key, ColumnKind::Integer, ColumnKind::Double}) {
        const QVariant v = JetTextValue(kind, QStringLiteral("1,5 x"));
        EXPECT_EQ(v.typeId(), QMetaType::QString);
        EXPECT_EQ(v.toString(), QStringLiteral("1,5 x"));
    }
    EXPECT_EQ(JetTextValue(ColumnKind::Integer, QStringLiteral("1.5")).typeId(),
              QMetaType::QString);
    EXPECT_EQ(JetTextValue(ColumnKind::Text, QStringLiteral("7")).typeId(), QMetaType::QString);
}

// Another program holding the file locked must not freeze the window: opening gives up within
// 2 s, and so does a store while another program writes.
// A text field garbled by damage to the Jet file (here a character of a constant's name turned
// into one no code page 1251 text holds, and a mark's letter into a space) is reported with its
// record, which is left out instead of being shown under a garbled name or mark.
TEST(ParamDatabase, DamagedJetTextFieldsAreReportedAndTheirRecordsLeftOut) {
    QTemporaryDir dir;
    const QString jet = dir.filePath(QStringLiteral("damaged.mdb"));
    // UTF-16 texts of the first constant: its mark at 0x1bf8a, its name at 0x1bf96.
    MakeDamagedJetCopy(Fixture, jet,
                       {{0x1bf96, QByteArray("\x00\x4e", 2)}, {0x1bf8c, QByteArray(" \x00", 2)}});
    ParamDatabase db(jet);
    ASSERT_EQ(db.problems().size(), 1) << db.problems().join('\n').toStdString();
    EXPECT_EQ(db.problems()[0],
              QStringLiteral("Таблица table1, запись Id = 1: поле Mark повреждено (обозначение не "
                             "из латинских букв, цифр и «_»); запись не используется."));
    const auto constants = db.constants();
    EXPECT_EQ(constants.size(), 12u);
    for (const ConstantRecord& c : constants)
        EXPECT_NE(c.Id, 1);
}

TEST(ParamDatabase, LockedSQLiteFileGivesUpQuickly) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("database.mdb"));
    { ParamDatabase(Fixture).saveAsSQLite(path); }
    QSqlDatabase other =
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
    other.setDatabaseName(path);
    ASSERT_TRUE(other.open());
    QElapsedTimer timer;
    {
        QSqlQuery lock(other);
        ASSERT_TRUE(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        timer.start();
        ParamDatabase db(path);
        EXPECT_LT(timer.elapsed(), 2000);
        EXPECT_TRUE(db.problems().join(' ').contains(
            QStringLiteral("database is locked by another program")))
            << db.problems().join('\n').toStdString();
        EXPECT_TRUE(db.constants().empty());
        ASSERT_TRUE(lock.exec(QStringLiteral("ROLLBACK")));

        ParamDatabase writer(path); // opened before the other program starts writing
        const auto c = writer.constants();
        ASSERT_EQ(c.size(), 13u);
        ASSERT_TRUE(lock.exec(QStringLiteral("BEGIN IMMEDIATE")));
        timer.start();
        try {
            writer.storeResult(c[0].RowKey, 1.0);
            ADD_FAILURE() << "a store into a locked file must fail";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find("database is locked by another program"),
                      std::string::npos)
                << e.what();
        }
        EXPECT_LT(timer.elapsed(), 2000);
        ASSERT_TRUE(lock.exec(QStringLiteral("ROLLBACK")));
    }
    other.close();
    other = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
}

// Stores that could not be committed are taken back, so the next commit holds only its own.
TEST(ParamDatabase, AFailedCommitTakesItsStoresBack) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("database.mdb"));
    { ParamDatabase(Fixture).saveAsSQLite(path); }
    std::optional<double> before;
    {
        QSqlDatabase other =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("reader"));
        other.setDatabaseName(path);
        ASSERT_TRUE(other.open());
        ParamDatabase writer(path);
        const auto c = writer.constants();
        ASSERT_EQ(c.size(), 13u);
        before = c[0].Result;
        {
            QSqlQuery read(other); // another program reads through the commit
            ASSERT_TRUE(read.exec(QStringLiteral("BEGIN")));
            ASSERT_TRUE(read.exec(QStringLiteral("SELECT * FROM table1")) && read.next());
            writer.begin();
            writer.storeResult(c[0].RowKey, 1234.5);
            EXPECT_THROW(writer.commit(), std::runtime_error);
            read.finish();
            ASSERT_TRUE(read.exec(QStringLiteral("ROLLBACK")));
        }
        writer.begin();
        writer.storeResult(c[1].RowKey, 6000);
        writer.commit();
        other.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("reader"));
    const auto c = ParamDatabase(path).constants();
    EXPECT_EQ(c[0].Result, before);
    EXPECT_EQ(c[1].Result, 6000);
}

TEST(ParamDatabase, FailedConversionLeavesNoFile) {
    QTemporaryDir dir;
    ParamDatabase db(Fixture); // read only, never written
    const QString out = dir.filePath(QStringLiteral("no/such/folder/out.sqlite"));
    EXPECT_THROW(db.saveAsSQLite(out), std::runtime_error);
    EXPECT_FALSE(QFile::exists(out));

    // An existing target is replaced as a whole.
    const QString target = dir.filePath(QStringLiteral("out.sqlite"));
    QFile old(target);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old contents");
    old.close();
    db.saveAsSQLite(target);
    EXPECT_EQ(ParamDatabase(target).constants().size(), 13u);

    // An SQLite database saves a copy of itself too; a file that is no database saves nothing.
    const QString copy = dir.filePath(QStringLiteral("copy.sqlite"));
    ParamDatabase(target).saveAsSQLite(copy);
    EXPECT_EQ(ParamDatabase(copy).constants().size(), 13u);
    EXPECT_THROW(ParamDatabase(dir.filePath(QStringLiteral("none.mdb"))).saveAsSQLite(copy),
                 std::runtime_error);
    EXPECT_EQ(ParamDatabase(copy).constants().size(), 13u);

    // A disk that fills up half-way leaves neither the copy nor SQLite's journal behind.
    const QString full = dir.filePath(QStringLiteral("full.sqlite"));
    {
        FileSizeLimit limit(16384);
        EXPECT_THROW(db.saveAsSQLite(full), std::runtime_error);
    }
    EXPECT_FALSE(QFile::exists(full));
    for (const QString& name : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden))
        EXPECT_FALSE(name.endsWith(QStringLiteral("-journal"))) << name.toStdString();
}

// The demo database and the demo image are made for each other: every constant decodes to the
// Result the database holds, and every vector decodes completely.
TEST(ParamDatabase, DemoDatabaseMatchesTheDemoImage) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("database.mdb"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VELMARIS_SOURCE_DIR "/examples/database.mdb"), path));
    FirmwareImage image;
    ASSERT_TRUE(image.LoadHex(VELMARIS_SOURCE_DIR "/examples/demo.hex").complete);
    ParamDatabase db(path);
    ASSERT_TRUE(db.problems().isEmpty());
    const auto constants = db.constants();
    ASSERT_EQ(constants.size(), 13u);
    for (const ConstantRecord& c : constants) {
        ASSERT_TRUE(c.Result) << c.Mark;
        EXPECT_EQ(DecodeConstant(image, c, EvaluateParameterFormula), *c.Result) << c.Mark;
    }
    for (const VectorRecord& v : db.vectors()) {
        VectorPoints points;
        LoadVector(image, v, EvaluateParameterFormula, points);
        EXPECT_EQ(points.filled, v.Count) << v.Mark << ": " << points.error;
    }
}

// A damaged Jet file must be reported, never take the program down: the reader library
// crashes on this real corruption of one data page.
TEST(ParamDatabase, DamagedJetFileIsReported) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("database.mdb"));
    ASSERT_TRUE(QFile::copy(Fixture, path));
    QFile file(path);
    ASSERT_TRUE(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    for (const auto& [offset, byte] : {std::pair{139312, '\x93'}, std::pair{139319, '\x19'}}) {
        ASSERT_TRUE(file.seek(offset));
        ASSERT_EQ(file.write(&byte, 1), 1);
    }
    file.close();
    ParamDatabase db(path);
    EXPECT_FALSE(db.problems().isEmpty());
}

// A damaged page that the reader library skips in silence, or complains about, must not pass
// for a table with fewer rows, or none: the file is reported as damaged.
TEST(ParamDatabase, TablesReadFromDamagedPagesAreLeftOut) {
    QTemporaryDir dir;
    const auto open = [&](const QString& name, const JetChanges& changes) {
        const QString path = dir.filePath(name);
        MakeDamagedJetCopy(Fixture, path, changes);
        return std::make_unique<ParamDatabase>(path);
    };
    const auto vectorRows = open(QStringLiteral("rows.mdb"), {ZeroJetPage(33)}); // usage map
    EXPECT_EQ(vectorRows->problems().join('\n').toStdString(),
              QStringLiteral("Файл базы данных %1 повреждён: в таблице table2 прочитано записей: "
                             "0 из 5.")
                  .arg(dir.filePath(QStringLiteral("rows.mdb")))
                  .toStdString());
    EXPECT_FALSE(vectorRows->tableOk(ParamDatabase::Vectors));
    EXPECT_EQ(vectorRows->constants().size(), 13u); // the other tables are whole

    // A data page the library notices as foreign.
    const auto page = open(QStringLiteral("page.mdb"), {ZeroJetPage(27)});
    EXPECT_TRUE(page->problems().join('\n').contains(QStringLiteral("таблица table1 читается")))
        << page->problems().join('\n').toStdString();
    EXPECT_FALSE(page->tableOk(ParamDatabase::Constants));

    const auto definition = open(QStringLiteral("tdef.mdb"), {ZeroJetPage(24)});
    EXPECT_TRUE(definition->problems().join('\n').contains(QStringLiteral("повреждён")))
        << definition->problems().join('\n').toStdString();
    EXPECT_FALSE(definition->tableOk(ParamDatabase::Constants));

    const auto catalog = open(QStringLiteral("catalog.mdb"), {ZeroJetPage(6)});
    EXPECT_TRUE(catalog->problems().join('\n').contains(QStringLiteral("каталог таблиц")))
        << catalog->problems().join('\n').toStdString();

    // A page the library dumps as hex while reading: what it prints marks the damage.
    const auto dumped = open(QStringLiteral("dump.mdb"), {ZeroJetPage(23)});
    EXPECT_TRUE(dumped->problems().join('\n').contains(QStringLiteral("читается с ошибками")))
        << dumped->problems().join('\n').toStdString();
}

} // namespace
