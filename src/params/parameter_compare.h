#pragma once

#include "maps/image_compare.h"
#include "params/parameter_decode.h"
#include "params/parameter_records.h"

#include <string>
#include <vector>

// The records of a parameter database that a comparison decodes, and the evaluator of their
// formulas.
struct ParameterTables {
    std::vector<ConstantRecord> constants;
    std::vector<VectorRecord> vectors;
    FormulaEvaluator eval;
};

// CompareImages with the constants and vector points of a parameter database as groups of
// their own: a record whose stored raw value differs is listed with both decoded values (NaN
// where the formula fails), and its bytes leave the other-bytes runs. Records that cannot be
// used (see ConstantProblem, VectorProblem) are left out; their bytes stay other bytes.
ImageDifferences CompareImages(const FirmwareImage& a, const FirmwareImage& b, bool useO2,
                               const ParameterTables& tables);

// Every record CompareImages leaves out, as "constant MARK left out: why" (or "vector ..."), in
// table order: records that cannot be used, and constants whose type stores nothing in the
// image, so a comparison never drops a record without a word.
std::vector<std::string> RecordsLeftOut(const ParameterTables& tables);

// Copies the stored value of a listed constant or vector point (and a point's argument) from
// the reference into the image through its writes; the other bits of a shared byte stay.
void TakeParameter(FirmwareImage& image, const FirmwareImage& reference,
                   const ParameterTables& tables, const ParameterDifference& diff);
