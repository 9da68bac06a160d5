#pragma once

// The fixed schema of the parameter database: table and column names with the kind of value
// each column holds, shared by the SQLite checks, the Jet reader and the copies made from it.

enum class ColumnKind { Key, Text, Double, Integer };

struct ColumnSpec {
    const char* name;
    ColumnKind kind;
    int size; // characters of a text column
};

struct TableSpec {
    const char* name;
    const ColumnSpec* columns;
    int count;
};

extern const TableSpec ParamTables[3];

// CREATE TABLE statement of table t in SQLite.
const char* ParamTableDdl(int t);
