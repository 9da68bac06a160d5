#include "params/db/param_db.h"

#include "params/db/param_db_jet.h"
#include "params/db/param_db_schema.h"

#include "image/file_replace.h"

#include <QAtomicInt>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace {

QAtomicInt connectionCounter;

// How long a statement waits for another program's lock on an SQLite file before it gives up.
// Opening runs one statement before the others, so a locked file costs about this much once
// instead of a freeze for every table.
constexpr int BusyTimeoutMs = 1000;

// SQLITE_BUSY and SQLITE_LOCKED, also as the low byte of their extended codes.
bool IsLocked(const QSqlError& error) {
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok) & 0xFF;
    return ok && (code == 5 || code == 6);
}

// The database's and the driver's texts, each once: where the driver itself is missing, Qt
// puts the same words ("Driver not loaded") in both.
QString ErrorText(const QSqlError& error) {
    if (IsLocked(error))
        return QStringLiteral("database is locked by another program");
    const QString database = error.databaseText().trimmed();
    const QString driver = error.driverText().trimmed();
    if (database.isEmpty() || database == driver)
        return driver;
    if (driver.isEmpty() || database.contains(driver))
        return database;
    return database + QLatin1Char(' ') + driver;
}

[[noreturn]] void Fail(const QString& what, const QSqlError& error) {
    throw std::runtime_error((what + QStringLiteral(": ") + ErrorText(error)).toStdString());
}

// SQLite keeps a declared type as text; its affinity decides what the column holds.
bool AffinityMatches(ColumnKind kind, const QString& declared) {
    const QString type = declared.toUpper();
    const bool integer = type.contains(QLatin1String("INT"));
    const bool text = type.contains(QLatin1String("CHAR")) ||
                      type.contains(QLatin1String("CLOB")) || type.contains(QLatin1String("TEXT"));
    const bool real = type.contains(QLatin1String("REAL")) ||
                      type.contains(QLatin1String("FLOA")) || type.contains(QLatin1String("DOUB"));
    switch (kind) {
    case ColumnKind::Text:
        return text && !integer;
    case ColumnKind::Double:
        return real || (!integer && !text && type.contains(QLatin1String("NUM"))) ||
               type.contains(QLatin1String("DEC"));
    case ColumnKind::Key:
    case ColumnKind::Integer:
        return integer;
    }
    return false;
}

std::string Text(const QSqlQuery& q, const char* field) {
    return q.value(QLatin1String(field)).toString().toStdString();
}

// Reads the numeric fields of one row. A field that is null, text or (for a whole-number
// field) a fraction is named in problems() and reads as 0 or nothing: the record must then be
// skipped, since 0 would be an address in the code area or a type that means something.
class NumberFields {
public:
    explicit NumberFields(const QSqlQuery& q) : q_(q) {}

    // A whole number. Values outside int are kept out of range so that range checks catch them.
    int Whole(const char* field) {
        const QVariant v = q_.value(QLatin1String(field));
        if (v.isNull()) {
            Bad(field, QStringLiteral("пусто (NULL)"));
            return 0;
        }
        if (!IsNumber(v)) {
            Bad(field, QStringLiteral("не число (%1)").arg(Shown(v)));
            return 0;
        }
        const double d = v.toDouble();
        if (!std::isfinite(d) || std::floor(d) != d) {
            Bad(field, QStringLiteral("не целое число (%1)").arg(QString::number(d, 'g', 15)));
            return 0;
        }
        if (d > INT32_MAX)
            return INT32_MAX;
        if (d < INT32_MIN)
            return INT32_MIN;
        return static_cast<int>(d);
    }

    // A number that may be null (no value).
    std::optional<double> Real(const char* field) {
        const QVariant v = q_.value(QLatin1String(field));
        if (v.isNull())
            return std::nullopt;
        if (!IsNumber(v)) {
            Bad(field, QStringLiteral("не число (%1)").arg(Shown(v)));
            return std::nullopt;
        }
        return v.toDouble();
    }

    std::string problems() const { return problems_.join(QStringLiteral(", ")).toStdString(); }

private:
    static bool IsNumber(const QVariant& v) {
        switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Double:
        case QMetaType::Float:
            return true;
        default:
            return false;
        }
    }
    static QString Shown(const QVariant& v) {
        const QString text = v.toString();
        return QLatin1Char('\'') + (text.size() > 20 ? text.left(20) + QStringLiteral("…") : text) +
               QLatin1Char('\'');
    }
    void Bad(const char* field, const QString& what) {
        problems_ << QStringLiteral("поле %1 %2").arg(QLatin1String(field), what);
    }

    const QSqlQuery& q_;
    QStringList problems_;
};

// Result is refreshed from the image on every opening: text there is no value, not a reason to
// skip the record.
std::optional<double> StoredResult(const QSqlQuery& q) {
    const QVariant v = q.value(QStringLiteral("Result"));
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (v.isNull() || !ok)
        return std::nullopt;
    return d;
}

} // namespace

ParamDatabase::Format ParamDatabase::detectFormat(const QString& path) {
    QFile file(path);
    if (!QFileInfo(path).isFile())
        return Format::Missing;
    if (!file.open(QIODevice::ReadOnly))
        return Format::Unknown;
    const QByteArray head = file.read(32);
    if (head.startsWith(QByteArrayLiteral("SQLite format 3\0")))
        return Format::SQLite;
    const QByteArray magic = head.mid(4, 15);
    if (magic == "Standard Jet DB" || magic == "Standard ACE DB")
        return Format::Jet;
    return Format::Unknown;
}

ParamDatabase::ParamDatabase(const QString& path)
    : path_(path),
      connection_(
          QStringLiteral("velmaris-params-%1").arg(connectionCounter.fetchAndAddRelaxed(1))) {
    format_ = detectFormat(path);
    switch (format_) {
    case Format::Missing:
        problems_ << QStringLiteral("Файл базы данных %1 не найден.").arg(path);
        break;
    case Format::Unknown:
        problems_ << QStringLiteral("Файл %1 не является базой данных SQLite или Jet (Access).")
                         .arg(path);
        break;
    case Format::SQLite:
        openSQLite();
        break;
    case Format::Jet:
        openJet();
        break;
    }
}

ParamDatabase::~ParamDatabase() {
    {
        QSqlDatabase database = QSqlDatabase::database(connection_, false);
        if (database.isValid())
            database.close();
    }
    if (QSqlDatabase::contains(connection_))
        QSqlDatabase::removeDatabase(connection_);
}

QSqlDatabase ParamDatabase::db() const {
    return QSqlDatabase::database(connection_, false);
}

void ParamDatabase::openSQLite() {
    writable_ = QFileInfo(path_).isWritable();
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    database.setDatabaseName(path_);
    database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
    if (!database.open()) {
        problems_ << QStringLiteral("Не удалось открыть базу данных %1: %2")
                         .arg(path_, ErrorText(database.lastError()));
        return;
    }
    // SQLite reads the file only now. A file another program holds locked fails here, once,
    // and no table is used.
    QSqlQuery probe(database);
    if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
        problems_ << QStringLiteral("Не удалось открыть базу данных %1: %2")
                         .arg(path_, ErrorText(probe.lastError()));
        return;
    }
    checkSQLiteSchema();
}

void ParamDatabase::checkSQLiteSchema() {
    QSqlDatabase database = db();
    for (int t = 0; t < 3; ++t) {
        const TableSchema& schema = ParamTables[t];
        const QString table = QString::fromLatin1(schema.name);
        QSqlQuery info(database);
        if (!info.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table))) {
            problems_ << QStringLiteral("Не удалось прочитать схему таблицы %1: %2")
                             .arg(table, ErrorText(info.lastError()));
            continue;
        }
        QHash<QString, QString> declared;
        while (info.next())
            declared.insert(info.value(1).toString().toLower(), info.value(2).toString());
        if (declared.isEmpty()) {
            problems_ << QStringLiteral("В базе данных нет таблицы %1.").arg(table);
            continue;
        }
        bool ok = true;
        for (int c = 0; c < schema.count; ++c) {
            const QString column = QString::fromLatin1(schema.columns[c].name);
            const auto it = declared.constFind(column.toLower());
            if (it == declared.constEnd()) {
                problems_ << QStringLiteral("В таблице %1 нет поля %2.").arg(table, column);
                ok = false;
            } else if (!AffinityMatches(schema.columns[c].kind, it.value())) {
                problems_ << QStringLiteral("Поле %1 таблицы %2 имеет неверный тип %3.")
                                 .arg(column, table, it.value());
                ok = false;
            }
        }
        tableOk_[t] = ok;
    }
}

void ParamDatabase::openJet() {
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    database.setDatabaseName(QStringLiteral(":memory:"));
    if (!database.open()) {
        problems_ << QStringLiteral("Не удалось создать копию базы данных в памяти: %1")
                         .arg(ErrorText(database.lastError()));
        return;
    }
    database.transaction();
    CopyJetIntoSQLite(path_, database, tableOk_, problems_);
    database.commit();
}

std::vector<ConstantRecord> ParamDatabase::constants() const {
    std::vector<ConstantRecord> recs;
    if (!tableOk_[Constants])
        return recs;
    QSqlQuery q(db());
    if (!q.exec(QStringLiteral("SELECT rowid AS RowKey, * FROM \"table1\"")))
        Fail(QStringLiteral("table1"), q.lastError());
    while (q.next()) {
        ConstantRecord r;
        r.RowKey = q.value(QStringLiteral("RowKey")).toLongLong();
        r.Id = q.value(QStringLiteral("Id")).toLongLong();
        r.Mark = Text(q, "Mark");
        r.Name = Text(q, "Name");
        r.Result = StoredResult(q);
        r.Unit = Text(q, "Unit");
        NumberFields numbers(q);
        r.Min = numbers.Real("Min");
        r.Max = numbers.Real("Max");
        r.InFormula = Text(q, "InFormula");
        r.OutFormula = Text(q, "OutFormula");
        r.Address = numbers.Whole("Address");
        r.Type = numbers.Whole("Type");
        r.Decimal = numbers.Whole("Decimal");
        r.BadFields = numbers.problems();
        recs.push_back(std::move(r));
    }
    return recs;
}

std::vector<VectorRecord> ParamDatabase::vectors() const {
    std::vector<VectorRecord> recs;
    if (!tableOk_[Vectors])
        return recs;
    QSqlQuery q(db());
    if (!q.exec(QStringLiteral("SELECT rowid AS RowKey, * FROM \"table2\"")))
        Fail(QStringLiteral("table2"), q.lastError());
    while (q.next()) {
        VectorRecord r;
        r.RowKey = q.value(QStringLiteral("RowKey")).toLongLong();
        r.ID = q.value(QStringLiteral("ID")).toLongLong();
        r.Mark = Text(q, "Mark");
        r.Name = Text(q, "Name");
        r.Unit = Text(q, "Unit");
        NumberFields numbers(q);
        r.Min = numbers.Real("Min");
        r.Max = numbers.Real("Max");
        r.AddressPar = numbers.Whole("AddressPar");
        r.TypePar = numbers.Whole("TypePar");
        r.DecimalPar = numbers.Whole("DecimalPar");
        r.InFormula = Text(q, "InFormula");
        r.OutFormula = Text(q, "OutFormula");
        r.AddressArg = numbers.Whole("AddressArg");
        r.TypeArg = numbers.Whole("TypeArg");
        r.DecimalArg = numbers.Whole("DecimalArg");
        r.FormulaArg = Text(q, "FormulaArg");
        r.MarkArg = Text(q, "MarkArg");
        r.UnitArg = Text(q, "UnitArg");
        r.Count = numbers.Whole("Count");
        r.BadFields = numbers.problems();
        recs.push_back(std::move(r));
    }
    return recs;
}

std::vector<AddressRecord> ParamDatabase::addresses() const {
    std::vector<AddressRecord> recs;
    if (!tableOk_[Addresses])
        return recs;
    QSqlQuery q(db());
    if (!q.exec(QStringLiteral("SELECT \"Name\", \"Val\" FROM \"table3\"")))
        Fail(QStringLiteral("table3"), q.lastError());
    while (q.next())
        recs.push_back({Text(q, "Name"), Text(q, "Val")});
    return recs;
}

void ParamDatabase::storeResult(int64_t rowKey, std::optional<double> value) {
    if (readOnly())
        return; // the window says that values are not stored
    QSqlQuery q(db());
    q.prepare(QStringLiteral("UPDATE \"table1\" SET \"Result\" = ? WHERE rowid = ?"));
    q.addBindValue(value ? QVariant(*value) : QVariant(QMetaType::fromType<double>()));
    q.addBindValue(static_cast<qlonglong>(rowKey));
    if (!q.exec())
        Fail(QStringLiteral("Значение не сохранено в базе данных"), q.lastError());
}

void ParamDatabase::checkWritable() const {
    // A row removed from the copy of a Jet file would be back at the next opening.
    if (format_ == Format::Jet)
        throw std::runtime_error(
            QStringLiteral("База данных %1 (формат Jet) открыта только для "
                           "чтения: записи в ней не изменяются и не удаляются.")
                .arg(path_)
                .toStdString());
    if (!writable_)
        throw std::runtime_error(
            QStringLiteral("Файл базы данных %1 защищён от записи.").arg(path_).toStdString());
}

void ParamDatabase::deleteRecord(Table t, int64_t rowKey) {
    checkWritable();
    QSqlQuery q(db());
    q.prepare(QStringLiteral("DELETE FROM \"%1\" WHERE rowid = ?")
                  .arg(QLatin1String(ParamTables[t].name)));
    q.addBindValue(static_cast<qlonglong>(rowKey));
    if (!q.exec())
        Fail(QStringLiteral("Запись не удалена"), q.lastError());
}

void ParamDatabase::begin() {
    QSqlDatabase database = db();
    if (database.isOpen())
        database.transaction();
}

void ParamDatabase::commit() {
    QSqlDatabase database = db();
    if (!database.isOpen())
        return;
    if (!database.commit()) {
        const QSqlError error = database.lastError();
        database.rollback();
        Fail(QStringLiteral("Значения не сохранены в базе данных"), error);
    }
}

void ParamDatabase::saveAsSQLite(const QString& outPath) {
    if (format_ != Format::SQLite && format_ != Format::Jet)
        throw std::runtime_error(problems_.join(QLatin1Char(' ')).toStdString());
    // SQLite writes the copy into a fresh temporary file of its own beside the file it
    // replaces, which then takes the target's place as a whole: a failure never leaves a
    // half-written file or removes one of the user's, and parallel runs never share a file.
    try {
        FileReplacement out(QFile::encodeName(outPath).toStdString());
        // SQLite keeps a journal beside the file it writes; a write that fails (a full disk)
        // leaves it behind unless it is removed here.
        struct JournalRemover {
            std::string path;
            ~JournalRemover() { std::remove(path.c_str()); }
        } journal{out.TempName() + "-journal"};
        QSqlQuery q(db());
        q.prepare(QStringLiteral("VACUUM INTO ?"));
        q.addBindValue(QFile::decodeName(out.TempName().c_str()));
        if (!q.exec()) {
            // SQLite's own words ("disk I/O error") without the driver's "Unable to fetch row".
            const QSqlError error = q.lastError();
            const QString why = error.databaseText().trimmed().isEmpty()
                                    ? ErrorText(error)
                                    : error.databaseText().trimmed();
            throw std::runtime_error("Can't write file.\n" + outPath.toStdString() + ": " +
                                     why.toStdString());
        }
        out.Finish();
        CommitReplacements({&out});
    } catch (const FileWriteError& e) {
        throw std::runtime_error(std::string("Can't write file.\n") + e.what());
    }
}
