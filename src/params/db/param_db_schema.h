#pragma once

// The fixed schema of the parameter database: table and column names with the kind of value
// each column holds, shared by the SQLite checks, the Jet reader and the copies made from it.

enum class ColumnKind { Key, Text, Double, Integer };

struct ColumnSchema {
    const char* name;
    ColumnKind kind;
    int size; // characters of a text column
};

struct TableSchema {
    const char* name;
    const ColumnSchema* columns;
    int count;
};

extern const TableSchema ParamTables[3];

// CREATE TABLE statement of table t in SQLite.
const char* ParamTableDdl(int t);
