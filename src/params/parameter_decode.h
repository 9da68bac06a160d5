#pragma once

#include "params/parameter_records.h"
#include "params/parameter_storage.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class FirmwareImage;

// Evaluates a conversion formula in the variable X. Errors are thrown as exceptions derived
// from std::exception (parameter_formula.h binds the program's evaluator this way).
using FormulaEvaluator = std::function<double(const std::string& formula, double x)>;

// Physical value of a constant as shown after opening: InFormula at the raw value, rounded
// to Decimal places. Reads nothing for a type that stores nothing (X = 0) and nothing outside
// the image (callers skip such records, see ConstantProblem).
double DecodeConstant(const FirmwareImage& image, const ConstantRecord& rec,
                      const FormulaEvaluator& eval);

// The raw number OutFormula makes of a physical value. Throws std::range_error ("Value out of
// range." and the detail) when the number does not fit the record's storage type, which would
// otherwise keep only its low bits; the evaluator's errors and a record problem are thrown too.
int64_t EncodeConstantRaw(const ConstantRecord& rec, double value, const FormulaEvaluator& eval);

// Encodes a physical value by OutFormula and stores it by the record's type. The image is
// written only when the whole conversion succeeded; errors are thrown and leave it unchanged.
void EncodeConstant(FirmwareImage& image, const ConstantRecord& rec, double value,
                    const FormulaEvaluator& eval);

// True when value lies within Min..Max; a missing bound does not limit.
bool WithinLimits(double value, std::optional<double> min, std::optional<double> max);

// The walk over all constants while the window opens. Records outside the image are skipped
// and listed; an evaluator error stops the walk at its record (later records keep the Result
// the database holds). Decoding never writes the image.
struct ConstantsWalk {
    std::vector<std::string> skipped; // "MARK: reason", one per skipped record
    std::string error;                // "MARK: evaluator message", empty when none
    std::size_t visited = 0;          // records handled before the walk ended
};
ConstantsWalk DecodeConstants(const FirmwareImage& image, const std::vector<ConstantRecord>& recs,
                              const FormulaEvaluator& eval,
                              const std::function<void(std::size_t index, double result)>& store);

// Decoded points of one vector: argument (rounded to DecimalArg) and value (not rounded) of
// each point, argument before value, point by point. An evaluator error stops the decode at
// that point: filled counts the points completed, error names the record and the message.
struct VectorPoints {
    double ArgValues[MaxVectorPoints] = {};
    double ParValues[MaxVectorPoints] = {};
    int filled = 0;
    std::string error;
};
// The record must be usable (VectorProblem gives nothing); otherwise nothing is decoded and
// error holds the problem.
void LoadVector(const FirmwareImage& image, const VectorRecord& rec, const FormulaEvaluator& eval,
                VectorPoints& out);

// Physical value of one point: InFormula at the raw value the image holds, not rounded.
double DecodeVectorPoint(const FirmwareImage& image, const VectorRecord& rec, int point,
                         const FormulaEvaluator& eval);

// The raw value OutFormula makes of a point's new value; throws as EncodeConstantRaw does, and
// for a point outside the record.
int64_t EncodeVectorPointRaw(const VectorRecord& rec, int point, double value,
                             const FormulaEvaluator& eval);

// Encodes a new value of one point by OutFormula and writes it by TypePar. Throws on evaluator
// errors, for a raw value the type cannot hold and for a point outside the record; the image is
// then unchanged.
void CommitVectorPoint(FirmwareImage& image, const VectorRecord& rec, int point, double value,
                       const FormulaEvaluator& eval);

// Runs the evaluator and prefixes any error with the record's mark.
double EvaluateFor(const FormulaEvaluator& eval, const std::string& mark,
                   const std::string& formula, double x);
