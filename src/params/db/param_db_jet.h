#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// Copies the three parameter tables of a Jet (Access 97 / 2000) file into an open SQLite
// connection, creating them with the fixed schema. Only the columns of that schema are copied.
// The Jet file is opened read-only. A table that is missing or lacks a column, or holds one of
// a wrong kind, is listed in problems and left out (tableOk false). The file is read in a
// child process, so a damaged file that crashes or stalls the reader library only yields a
// problem. A table is also left out as damaged when the library complains while reading it
// (what it prints never reaches the program's output) or when it gives fewer rows than the
// table's definition counts.
void CopyJetIntoSQLite(const QString& path, QSqlDatabase& db, bool tableOk[3],
                       QStringList& problems);
