#pragma once

#include "params/db/param_db_schema.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

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

// The value a column of the copy gets from the reader library's text of one Jet field. A
// number the library could not print as one stays text, so that reading the copy names the
// field instead of taking it for 0.
QVariant JetTextValue(ColumnKind kind, const QString& text);
