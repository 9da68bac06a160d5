#include "params/param_db_jet.h"

#include "params/param_db_schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <cstdlib>
#include <mdbtools.h>
#include <memory>
#include <vector>

namespace {

struct MdbCloser {
    void operator()(MdbHandle* m) const { mdb_close(m); }
};
struct TableCloser {
    void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
};

bool KindMatches(ColumnKind kind, int colType) {
    switch (kind) {
    case ColumnKind::Text:
        return colType == MDB_TEXT || colType == MDB_MEMO;
    case ColumnKind::Double:
        return colType == MDB_DOUBLE || colType == MDB_FLOAT || colType == MDB_NUMERIC ||
               colType == MDB_INT || colType == MDB_LONGINT || colType == MDB_BYTE;
    case ColumnKind::Key:
    case ColumnKind::Integer:
        return colType == MDB_BYTE || colType == MDB_INT || colType == MDB_LONGINT;
    }
    return false;
}

QString KindName(ColumnKind kind) {
    switch (kind) {
    case ColumnKind::Text:
        return QStringLiteral("текст");
    case ColumnKind::Double:
        return QStringLiteral("число с плавающей точкой");
    default:
        return QStringLiteral("целое");
    }
}

// Jet 3 keeps texts in the file's code page, which for this database is 1251; libmdb assumes
// 1252 unless told otherwise, so its converters are rebuilt for 1251 with UTF-8 output.
void UseCodePage1251(MdbHandle* mdb) {
    if (mdb->f->jet_version != MDB_VER_JET3)
        return;
    const char* oldCharset = std::getenv("MDB_JET3_CHARSET");
    const std::string saved = oldCharset ? oldCharset : "";
    const char* oldIconv = std::getenv("MDBICONV");
    const std::string savedIconv = oldIconv ? oldIconv : "";
    setenv("MDB_JET3_CHARSET", "CP1251", 1);
    setenv("MDBICONV", "UTF-8", 1);
    mdb_iconv_close(mdb);
    mdb_iconv_init(mdb);
    if (oldCharset)
        setenv("MDB_JET3_CHARSET", saved.c_str(), 1);
    else
        unsetenv("MDB_JET3_CHARSET");
    if (oldIconv)
        setenv("MDBICONV", savedIconv.c_str(), 1);
    else
        unsetenv("MDBICONV");
}

// Reads one table into db. Returns false (with a problem) when it cannot be used.
bool CopyTable(MdbHandle* mdb, int t, QSqlDatabase& db, QStringList& problems) {
    const TableSchema& schema = ParamTables[t];
    const QString table = QString::fromLatin1(schema.name);
    std::unique_ptr<MdbTableDef, TableCloser> def(
        mdb_read_table_by_name(mdb, const_cast<gchar*>(schema.name), MDB_TABLE));
    if (!def) {
        problems << QStringLiteral("В базе данных нет таблицы %1.").arg(table);
        return false;
    }
    if (!mdb_read_columns(def.get())) {
        problems << QStringLiteral("Не удалось прочитать столбцы таблицы %1.").arg(table);
        return false;
    }
    // Source column of each schema column, checked before anything is copied.
    std::vector<MdbColumn*> source(static_cast<std::size_t>(schema.count), nullptr);
    bool ok = true;
    for (int c = 0; c < schema.count; ++c) {
        for (unsigned i = 0; i < def->num_cols; ++i) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, i));
            if (QString::fromUtf8(col->name).compare(QLatin1String(schema.columns[c].name),
                                                     Qt::CaseInsensitive) == 0)
                source[static_cast<std::size_t>(c)] = col;
        }
        MdbColumn* col = source[static_cast<std::size_t>(c)];
        if (!col) {
            problems << QStringLiteral("В таблице %1 нет поля %2.")
                            .arg(table, QLatin1String(schema.columns[c].name));
            ok = false;
        } else if (!KindMatches(schema.columns[c].kind, col->col_type)) {
            problems << QStringLiteral("Поле %1 таблицы %2 имеет неверный тип (нужен: %3).")
                            .arg(QLatin1String(schema.columns[c].name), table,
                                 KindName(schema.columns[c].kind));
            ok = false;
        }
    }
    if (!ok)
        return false;

    QSqlQuery ddl(db);
    if (!ddl.exec(QString::fromLatin1(ParamTableDdl(t)))) {
        problems << QStringLiteral("Не удалось создать копию таблицы %1: %2")
                        .arg(table, ddl.lastError().text());
        return false;
    }
    // Bind every schema column; the buffers receive libmdb's text of each value.
    std::vector<std::vector<char>> buffers(static_cast<std::size_t>(schema.count),
                                           std::vector<char>(MDB_BIND_SIZE));
    std::vector<int> lengths(static_cast<std::size_t>(schema.count), 0);
    for (int c = 0; c < schema.count; ++c) {
        MdbColumn* col = source[static_cast<std::size_t>(c)];
        if (mdb_bind_column(def.get(), col->col_num + 1,
                            buffers[static_cast<std::size_t>(c)].data(),
                            &lengths[static_cast<std::size_t>(c)]) < 0) {
            problems << QStringLiteral("Не удалось прочитать таблицу %1.").arg(table);
            return false;
        }
    }
    QString sql = QStringLiteral("INSERT INTO \"%1\" (").arg(table);
    QString marks;
    for (int c = 0; c < schema.count; ++c) {
        sql += (c ? QStringLiteral(", \"") : QStringLiteral("\"")) +
               QLatin1String(schema.columns[c].name) + QLatin1Char('"');
        marks += c ? QStringLiteral(", ?") : QStringLiteral("?");
    }
    sql += QStringLiteral(") VALUES (") + marks + QLatin1Char(')');
    QSqlQuery insert(db);
    insert.prepare(sql);
    mdb_rewind_table(def.get());
    while (mdb_fetch_row(def.get())) {
        for (int c = 0; c < schema.count; ++c) {
            const auto index = static_cast<std::size_t>(c);
            MdbColumn* col = source[index];
            QVariant value;
            if (col->cur_value_len == 0 && lengths[index] == 0) {
                value = schema.columns[c].kind == ColumnKind::Text
                            ? QVariant(QMetaType::fromType<QString>())
                            : QVariant(QMetaType::fromType<double>());
            } else if (col->col_type == MDB_DOUBLE && col->cur_value_len == 8) {
                // Read the stored bits: libmdb's text of a double may drop digits.
                value = mdb_get_double(mdb->pg_buf, col->cur_value_start);
            } else if (col->col_type == MDB_FLOAT && col->cur_value_len == 4) {
                value = static_cast<double>(mdb_get_single(mdb->pg_buf, col->cur_value_start));
            } else {
                const QString text = QString::fromUtf8(buffers[index].data(), lengths[index]);
                if (schema.columns[c].kind == ColumnKind::Text)
                    value = text;
                else if (schema.columns[c].kind == ColumnKind::Double)
                    value = text.toDouble();
                else
                    value = text.toLongLong();
            }
            insert.bindValue(c, value);
        }
        if (!insert.exec()) {
            problems << QStringLiteral("Не удалось скопировать таблицу %1: %2")
                            .arg(table, insert.lastError().text());
            return false;
        }
    }
    return true;
}

} // namespace

void CopyJetIntoSQLite(const QString& path, QSqlDatabase& db, bool tableOk[3],
                       QStringList& problems) {
    const QByteArray name = path.toLocal8Bit();
    std::unique_ptr<MdbHandle, MdbCloser> mdb(mdb_open(name.constData(), MDB_NOFLAGS));
    if (!mdb) {
        problems << QStringLiteral("Не удалось открыть базу данных %1.").arg(path);
        return;
    }
    UseCodePage1251(mdb.get());
    if (!mdb_read_catalog(mdb.get(), MDB_ANY)) {
        problems << QStringLiteral("Не удалось прочитать каталог базы данных %1.").arg(path);
        return;
    }
    for (int t = 0; t < 3; ++t)
        tableOk[t] = CopyTable(mdb.get(), t, db, problems);
}
