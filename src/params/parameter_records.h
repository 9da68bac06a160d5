#pragma once

#include <cstdint>
#include <optional>
#include <string>

// One record of each table of the parameter database, as the core works on it. Texts are
// UTF-8; a null text field is an empty string (a null formula is evaluated as empty text).
// A numeric field that the store could not read as a number (null, text, or a fraction where a
// whole number belongs) is named in BadFields, and its member keeps 0; such a record is never
// read from or written into the image.

// table1: a scalar constant.
struct ConstantRecord {
    int64_t RowKey = 0; // the store's key of the row (not a field of the table)
    int64_t Id = 0;
    std::string Mark;
    std::string Name;
    std::optional<double> Result; // empty = database null
    std::string Unit;
    std::optional<double> Min;
    std::optional<double> Max;
    std::string InFormula;  // raw value -> physical value
    std::string OutFormula; // physical value -> raw value
    int32_t Address = 0;
    int Type = 0;
    int Decimal = 0;
    std::string BadFields; // e.g. "поле Address пусто (NULL)"; empty when all are numbers
};

// table2: a vector of Count points, value array at AddressPar, argument array at AddressArg.
struct VectorRecord {
    int64_t RowKey = 0; // the store's key of the row (not a field of the table)
    int64_t ID = 0;
    std::string Mark;
    std::string Name;
    std::string Unit;
    std::optional<double> Min;
    std::optional<double> Max;
    int32_t AddressPar = 0;
    int TypePar = 0;
    int DecimalPar = 0;
    std::string InFormula;
    std::string OutFormula;
    int32_t AddressArg = 0;
    int TypeArg = 0;
    int DecimalArg = 0;
    std::string FormulaArg;
    std::string MarkArg;
    std::string UnitArg;
    int Count = 0;
    std::string BadFields; // as for constants
};

// table3: one line of the address reference list, shown as stored.
struct AddressRecord {
    std::string Name;
    std::string Val;
};
