#pragma once

#include "params/parameter_records.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// The parameter database "database.mdb": three tables (table1 constants, table2 vectors,
// table3 addresses) with a fixed schema. An SQLite file is opened read-write. A Jet (Access)
// file is read through libmdb into an in-memory SQLite copy with the same tables; the Jet file
// is never written, and the copy is not changed either, so that it never shows what the file
// does not hold.
//
// Opening never throws: a missing file, an unknown format, a missing table or a wrong schema is
// listed in problems(), and the tables that could be read stay usable.
class ParamDatabase {
public:
    enum class Format { Missing, Unknown, SQLite, Jet };
    enum Table { Constants = 0, Vectors = 1, Addresses = 2 };

    explicit ParamDatabase(const QString& path);
    ~ParamDatabase();
    ParamDatabase(const ParamDatabase&) = delete;
    ParamDatabase& operator=(const ParamDatabase&) = delete;

    Format format() const { return format_; }
    // True for a Jet file and for an SQLite file the user may not write.
    bool readOnly() const { return format_ == Format::Jet || !writable_; }
    // Throws std::runtime_error saying why records cannot be changed, when they cannot.
    void checkWritable() const;
    bool tableOk(Table t) const { return tableOk_[t]; }
    const QStringList& problems() const { return problems_; }

    // Records in the order the table delivers them. Empty for a table that did not open.
    // Throws std::runtime_error when the store fails while reading.
    std::vector<ConstantRecord> constants() const;
    std::vector<VectorRecord> vectors() const;
    std::vector<AddressRecord> addresses() const;

    // Stores Result of the constant with the given row key (nothing = null). Does nothing when
    // the database is read-only.
    void storeResult(int64_t rowKey, std::optional<double> value);
    // Removes one record of table1 or table2. Throws when the database is read-only.
    void deleteRecord(Table t, int64_t rowKey);
    // Runs several stores as one transaction (faster, and all-or-nothing on a file).
    void begin();
    void commit();

    // Writes an SQLite copy of the database to outPath, or to the file a link there leads to.
    // The file appears complete or not at all; only a regular file is replaced. Throws
    // std::runtime_error with the reason.
    void saveAsSQLite(const QString& outPath);

    static Format detectFormat(const QString& path);

private:
    void openSQLite();
    void openJet();
    void checkSQLiteSchema();
    QSqlDatabase db() const;

    QString path_;
    QString connection_;
    Format format_ = Format::Missing;
    bool tableOk_[3] = {false, false, false};
    bool writable_ = true;
    QStringList problems_;
};
