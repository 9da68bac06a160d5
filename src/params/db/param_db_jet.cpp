#include "params/db/param_db_jet.h"

#include "params/db/param_db_schema.h"
#include "params/text_field_check.h"

#include <QDataStream>
#include <QElapsedTimer>
#include <QIODevice>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mdbtools.h>
#include <memory>
#include <poll.h>
#include <stdio_ext.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// A parameter database of any sensible size reads in well under a second.
constexpr qint64 JetReadTimeoutMs = 5000;
constexpr qsizetype JetReadMaxBytes = 256 * 1024 * 1024;

// Value tags of the stream a child writes (see ReadTable).
constexpr quint8 EndTag = 0, RowTag = 1, NullTag = 2, DoubleTag = 3, TextTag = 4;

struct MdbCloser {
    void operator()(MdbHandle* m) const { mdb_close(m); }
};
struct TableCloser {
    void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
};

// In the reading child: the standard output and error go into a file in memory, so nothing
// libmdb prints (warnings, hex dumps of pages it cannot make sense of) reaches the program's
// output or the window. libmdb prints only when the file is not what it expects, so anything
// printed marks the step that printed it as reading a damaged file.
class LibraryOutput {
public:
    LibraryOutput() {
        // Inherited buffers hold the parent's output, not the library's.
        __fpurge(stdout);
        __fpurge(stderr);
        fd_ = memfd_create("velmaris-jet-messages", MFD_CLOEXEC);
        if (fd_ < 0)
            fd_ = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (fd_ >= 0) {
            dup2(fd_, STDOUT_FILENO);
            dup2(fd_, STDERR_FILENO);
        }
        // A library that prints without end must not fill the memory: past the limit writes
        // fail instead of growing the file.
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1 << 20, 1 << 20};
        setrlimit(RLIMIT_FSIZE, &limit);
    }

    // True when the library printed anything since the last call.
    bool complained() {
        std::fflush(stdout);
        std::fflush(stderr);
        struct stat st {};
        if (fd_ < 0 || fstat(fd_, &st) != 0)
            return false;
        const bool grew = st.st_size > seen_;
        seen_ = st.st_size;
        return grew;
    }

private:
    int fd_ = -1;
    off_t seen_ = 0;
};

QString Damaged(const QString& path) {
    return QStringLiteral("Файл базы данных %1 повреждён: ").arg(path);
}

// The table of the catalog with this name (as libmdb matches it), or nothing.
MdbCatalogEntry* FindTable(MdbHandle* mdb, const char* name) {
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && g_ascii_strcasecmp(entry->object_name, name) == 0)
            return entry;
    }
    return nullptr;
}

// Rows the definition of the catalog table (MSysObjects, always on page 2) counts, or 0 when
// the definition cannot be read.
unsigned CatalogRowsPromised(MdbHandle* mdb) {
    MdbCatalogEntry entry{};
    entry.mdb = mdb;
    std::snprintf(entry.object_name, sizeof entry.object_name, "MSysObjects");
    entry.object_type = MDB_TABLE;
    entry.table_pg = 2;
    std::unique_ptr<MdbTableDef, TableCloser> def(mdb_read_table(&entry));
    return def ? def->num_rows : 0;
}

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

// Writes the rows of one table to out, each a RowTag and one tagged value per schema column,
// closed by EndTag. Returns false (with a problem) when the table cannot be used.
bool ReadTable(MdbHandle* mdb, const QString& path, int t, QDataStream& out,
               QStringList& problems) {
    const TableSchema& schema = ParamTables[t];
    const QString table = QString::fromLatin1(schema.name);
    MdbCatalogEntry* entry = FindTable(mdb, schema.name);
    if (!entry) {
        problems << QStringLiteral("В базе данных нет таблицы %1.").arg(table);
        return false;
    }
    std::unique_ptr<MdbTableDef, TableCloser> def(mdb_read_table(entry));
    if (!def) {
        problems << Damaged(path) +
                        QStringLiteral("не читается определение таблицы %1.").arg(table);
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
    mdb_rewind_table(def.get());
    unsigned rows = 0;
    while (mdb_fetch_row(def.get())) {
        ++rows;
        out << RowTag;
        for (int c = 0; c < schema.count; ++c) {
            const auto index = static_cast<std::size_t>(c);
            MdbColumn* col = source[index];
            if (col->cur_value_len == 0 && lengths[index] == 0) {
                out << NullTag;
            } else if (col->col_type == MDB_DOUBLE && col->cur_value_len == 8) {
                // Read the stored bits: libmdb's text of a double may drop digits.
                out << DoubleTag << mdb_get_double(mdb->pg_buf, col->cur_value_start);
            } else if (col->col_type == MDB_FLOAT && col->cur_value_len == 4) {
                out << DoubleTag
                    << static_cast<double>(mdb_get_single(mdb->pg_buf, col->cur_value_start));
            } else {
                out << TextTag << QString::fromUtf8(buffers[index].data(), lengths[index]);
            }
        }
    }
    out << EndTag;
    // libmdb skips a data page it cannot read without a word; the definition knows how many
    // rows the table holds.
    if (rows < def->num_rows) {
        problems << Damaged(path) + QStringLiteral("в таблице %1 прочитано записей: %2 из %3.")
                                        .arg(table)
                                        .arg(rows)
                                        .arg(def->num_rows);
        return false;
    }
    return true;
}

} // namespace

QVariant JetTextValue(ColumnKind kind, const QString& text) {
    bool ok = false;
    QVariant value;
    if (kind == ColumnKind::Text)
        return text;
    if (kind == ColumnKind::Double)
        value = text.toDouble(&ok);
    else
        value = text.toLongLong(&ok);
    return ok ? value : QVariant(text);
}

namespace {

// Inserts the rows that ReadTable wrote into the copy of table t.
bool InsertTable(int t, QDataStream& in, QSqlDatabase& db, QStringList& problems) {
    const TableSchema& schema = ParamTables[t];
    const QString table = QString::fromLatin1(schema.name);
    QSqlQuery ddl(db);
    if (!ddl.exec(QString::fromLatin1(ParamTableDdl(t)))) {
        problems << QStringLiteral("Не удалось создать копию таблицы %1: %2")
                        .arg(table, ddl.lastError().text());
        return false;
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
    quint8 tag = EndTag;
    int row = 0;
    while ((in >> tag, tag == RowTag)) {
        ++row;
        QString damage; // the first damaged text field of the row, with why
        for (int c = 0; c < schema.count; ++c) {
            const ColumnSchema& column = schema.columns[c];
            QVariant value;
            in >> tag;
            if (tag == DoubleTag) {
                double d = 0;
                in >> d;
                value = d;
                if (damage.isEmpty())
                    if (const auto problem = NumberFieldProblem(d))
                        damage =
                            QStringLiteral("поле %1 повреждено (%2)")
                                .arg(QLatin1String(column.name), QString::fromStdString(*problem));
            } else if (tag == TextTag) {
                QString text;
                in >> text;
                value = JetTextValue(column.kind, text);
                if (column.kind == ColumnKind::Text && damage.isEmpty())
                    if (const auto problem =
                            TextFieldProblem(column.name, text.toStdString(), column.size))
                        damage =
                            QStringLiteral("поле %1 повреждено (%2)")
                                .arg(QLatin1String(column.name), QString::fromStdString(*problem));
            } else {
                value = column.kind == ColumnKind::Text ? QVariant(QMetaType::fromType<QString>())
                                                        : QVariant(QMetaType::fromType<double>());
            }
            insert.bindValue(c, value);
        }
        if (in.status() != QDataStream::Ok)
            break;
        if (!damage.isEmpty()) {
            // A garbled name, mark, unit or formula must not pass for data: the record is left
            // out and said so, by its key where the table has one.
            const QString which =
                schema.columns[0].kind == ColumnKind::Key
                    ? QStringLiteral("%1 = %2").arg(QLatin1String(schema.columns[0].name),
                                                    insert.boundValue(0).toString())
                    : QStringLiteral("№ %1").arg(row);
            problems << QStringLiteral("Таблица %1, запись %2: %3; запись не используется.")
                            .arg(table, which, damage);
            continue;
        }
        if (!insert.exec()) {
            problems << QStringLiteral("Не удалось скопировать таблицу %1: %2")
                            .arg(table, insert.lastError().text());
            return false;
        }
    }
    if (in.status() == QDataStream::Ok && tag == EndTag)
        return true;
    problems << QStringLiteral("Не удалось прочитать таблицу %1.").arg(table);
    return false;
}

// Reads the three tables of the Jet file and writes, for each, whether it is usable, its
// problems and its rows to out. A step during which libmdb printed anything counts as damaged.
void ReadJet(const QString& path, LibraryOutput& library, QDataStream& out) {
    const QByteArray name = path.toLocal8Bit();
    std::unique_ptr<MdbHandle, MdbCloser> mdb(mdb_open(name.constData(), MDB_NOFLAGS));
    if (!mdb) {
        out << QStringList{QStringLiteral("Не удалось открыть базу данных %1.").arg(path)};
        return;
    }
    UseCodePage1251(mdb.get());
    if (!mdb_read_catalog(mdb.get(), MDB_ANY)) {
        out << QStringList{
            QStringLiteral("Не удалось прочитать каталог базы данных %1.").arg(path)};
        return;
    }
    // A catalog page that cannot be read drops every table on it without a word.
    const unsigned promised = CatalogRowsPromised(mdb.get());
    if (library.complained() || mdb->num_catalog < promised) {
        out << QStringList{Damaged(path) + QStringLiteral("каталог таблиц читается с ошибками.")};
        return;
    }
    out << QStringList();
    for (int t = 0; t < 3; ++t) {
        QByteArray rows;
        QDataStream rowStream(&rows, QIODevice::WriteOnly);
        QStringList tableProblems;
        bool ok = ReadTable(mdb.get(), path, t, rowStream, tableProblems);
        if (library.complained()) {
            ok = false;
            tableProblems =
                QStringList{Damaged(path) + QStringLiteral("таблица %1 читается с ошибками.")
                                                .arg(QLatin1String(ParamTables[t].name))};
        }
        out << ok << tableProblems;
        if (ok)
            out << rows; // a block of its own: a failed insert cannot desync the next table
    }
}

// Runs ReadJet in a child process and collects what it wrote. libmdb trusts the file: a
// damaged page can make it crash or loop forever, and neither must take the program with
// it. Returns false when the child died, ran past the time limit or wrote too much.
bool ReadJetInChild(const QString& path, QByteArray& result) {
    // Prepared before fork: the child only reads the file and writes the pipe. Output still
    // buffered here is written first, so the child cannot hold a copy of it.
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    if (child == 0) {
        close(fds[0]);
        LibraryOutput library;
        QByteArray data;
        {
            QDataStream out(&data, QIODevice::WriteOnly);
            ReadJet(path, library, out);
        }
        const char* p = data.constData();
        qsizetype left = data.size();
        while (left > 0) {
            const ssize_t n = write(fds[1], p, static_cast<std::size_t>(left));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                _exit(1);
            p += n;
            left -= n;
        }
        _exit(0); // no destructors or exit handlers of the parent's objects
    }
    close(fds[1]);
    QElapsedTimer timer;
    timer.start();
    bool complete = false;
    char chunk[65536];
    for (;;) {
        const qint64 remaining = JetReadTimeoutMs - timer.elapsed();
        if (remaining <= 0 || result.size() > JetReadMaxBytes)
            break;
        pollfd pfd{fds[0], POLLIN, 0};
        const int ready = poll(&pfd, 1, static_cast<int>(remaining));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;
        const ssize_t n = read(fds[0], chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            complete = n == 0;
            break;
        }
        result.append(chunk, n);
    }
    close(fds[0]);
    if (!complete)
        kill(child, SIGKILL);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return complete && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

void CopyJetIntoSQLite(const QString& path, QSqlDatabase& db, bool tableOk[3],
                       QStringList& problems) {
    const QString damaged =
        QStringLiteral("Файл базы данных %1 повреждён: его не удалось прочитать.").arg(path);
    QByteArray data;
    if (!ReadJetInChild(path, data)) {
        problems << damaged;
        return;
    }
    QDataStream in(data);
    QStringList fileProblems;
    in >> fileProblems;
    problems << fileProblems;
    if (!fileProblems.isEmpty())
        return;
    for (int t = 0; t < 3; ++t) {
        bool ok = false;
        QStringList tableProblems;
        in >> ok >> tableProblems;
        if (in.status() != QDataStream::Ok) {
            problems << damaged;
            return;
        }
        problems << tableProblems;
        if (!ok)
            continue;
        QByteArray rows;
        in >> rows;
        if (in.status() != QDataStream::Ok) {
            problems << damaged;
            return;
        }
        QDataStream rowStream(rows);
        tableOk[t] = InsertTable(t, rowStream, db, problems);
    }
}
