#pragma once

#include "params/parameter_decode.h"
#include "params/parameter_records.h"

#include <optional>
#include <string>
#include <vector>

class FirmwareImage;

// What the parameter window needs once it opens: every constant decoded from the image and the
// problems met on the way, in the words the window shows them.
struct ParameterLoad {
    // One per constant: the value decoded from the image, or empty where the record was
    // skipped or the walk ended before it (the record then keeps the Result the store holds).
    std::vector<std::optional<double>> Results;
    std::vector<std::string> Problems;
};

// Decodes the constants and vectors of the parameter database from the image, in the order the
// window opens: the first vector (the one shown first), then every constant, then every vector.
// An evaluator error ends the walk over the constants and leaves the vectors undecoded; one in a
// vector ends the walk over the vectors. Records that cannot be read are listed, not decoded.
// Decoding never writes the image.
ParameterLoad LoadParameters(const FirmwareImage& image,
                             const std::vector<ConstantRecord>& constants,
                             const std::vector<VectorRecord>& vectors,
                             const FormulaEvaluator& eval);
