#include "params/db/param_db_schema.h"

namespace {

const ColumnSchema Table1[] = {
    {"Id", ColumnKind::Key, 0},           {"Mark", ColumnKind::Text, 16},
    {"Name", ColumnKind::Text, 128},      {"Result", ColumnKind::Double, 0},
    {"Unit", ColumnKind::Text, 16},       {"Min", ColumnKind::Double, 0},
    {"Max", ColumnKind::Double, 0},       {"InFormula", ColumnKind::Text, 50},
    {"OutFormula", ColumnKind::Text, 50}, {"Address", ColumnKind::Integer, 0},
    {"Type", ColumnKind::Integer, 0},     {"Decimal", ColumnKind::Integer, 0},
};

const ColumnSchema Table2[] = {
    {"ID", ColumnKind::Key, 0},
    {"Mark", ColumnKind::Text, 16},
    {"Name", ColumnKind::Text, 128},
    {"Unit", ColumnKind::Text, 16},
    {"Min", ColumnKind::Double, 0},
    {"Max", ColumnKind::Double, 0},
    {"AddressPar", ColumnKind::Integer, 0},
    {"TypePar", ColumnKind::Integer, 0},
    {"DecimalPar", ColumnKind::Integer, 0},
    {"InFormula", ColumnKind::Text, 16},
    {"OutFormula", ColumnKind::Text, 16},
    {"AddressArg", ColumnKind::Integer, 0},
    {"TypeArg", ColumnKind::Integer, 0},
    {"DecimalArg", ColumnKind::Integer, 0},
    {"FormulaArg", ColumnKind::Text, 16},
    {"MarkArg", ColumnKind::Text, 16},
    {"UnitArg", ColumnKind::Text, 16},
    {"Count", ColumnKind::Integer, 0},
};

const ColumnSchema Table3[] = {
    {"Name", ColumnKind::Text, 128},
    {"Val", ColumnKind::Text, 4},
};

const char* const Ddl[3] = {
    "CREATE TABLE \"table1\" (\"Id\" INTEGER PRIMARY KEY AUTOINCREMENT, \"Mark\" VARCHAR(16), "
    "\"Name\" VARCHAR(128), \"Result\" DOUBLE, \"Unit\" VARCHAR(16), \"Min\" DOUBLE, "
    "\"Max\" DOUBLE, \"InFormula\" VARCHAR(50), \"OutFormula\" VARCHAR(50), "
    "\"Address\" INTEGER, \"Type\" SMALLINT, \"Decimal\" SMALLINT)",
    "CREATE TABLE \"table2\" (\"ID\" INTEGER PRIMARY KEY AUTOINCREMENT, \"Mark\" VARCHAR(16), "
    "\"Name\" VARCHAR(128), \"Unit\" VARCHAR(16), \"Min\" DOUBLE, \"Max\" DOUBLE, "
    "\"AddressPar\" INTEGER, \"TypePar\" SMALLINT, \"DecimalPar\" SMALLINT, "
    "\"InFormula\" VARCHAR(16), \"OutFormula\" VARCHAR(16), \"AddressArg\" INTEGER, "
    "\"TypeArg\" SMALLINT, \"DecimalArg\" SMALLINT, \"FormulaArg\" VARCHAR(16), "
    "\"MarkArg\" VARCHAR(16), \"UnitArg\" VARCHAR(16), \"Count\" SMALLINT)",
    "CREATE TABLE \"table3\" (\"Name\" VARCHAR(128), \"Val\" VARCHAR(4))",
};

} // namespace

const TableSchema ParamTables[3] = {
    {"table1", Table1, static_cast<int>(sizeof Table1 / sizeof Table1[0])},
    {"table2", Table2, static_cast<int>(sizeof Table2 / sizeof Table2[0])},
    {"table3", Table3, static_cast<int>(sizeof Table3 / sizeof Table3[0])},
};

const char* ParamTableDdl(int t) {
    return Ddl[t];
}
