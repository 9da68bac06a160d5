#include "params/parameter_decode.h"

#include "image/firmware_image.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>

double EvaluateFor(const FormulaEvaluator& eval, const std::string& mark,
                   const std::string& formula, double x) {
    try {
        return eval(formula, x);
    } catch (const std::exception& e) {
        throw std::runtime_error(mark + ": " + e.what());
    }
}

double DecodeConstant(const FirmwareImage& image, const ConstantRecord& rec,
                      const FormulaEvaluator& eval) {
    const uint32_t raw = ReadConstantRaw(image, rec.Address, rec.Type);
    const double v = EvaluateFor(eval, rec.Mark, rec.InFormula, raw);
    return RoundToDecimals(v, rec.Decimal);
}

namespace {

// A number as the parameter window shows it: fixed decimals, dot separator, whatever the C
// library's locale.
std::string FixedText(double value, int decimals) {
    char buffer[64];
    const int places = std::clamp(decimals, 0, 6);
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value + 0.0,
                                   std::chars_format::fixed, places);
    return end.ec == std::errc() ? std::string(buffer, end.ptr) : std::to_string(value);
}

// A raw number outside 0..max would be stored by its low bits only: 5000 rpm typed into a byte
// that counts tens of rpm would become 500 mod 256 = 244, read back as 2440 rpm. The refusal
// names the range the storage holds in the value's own units (the input formula at raw 0 and at
// the largest raw number), so the user reads rpm, not codes; a formula that cannot be
// evaluated at the ends leaves the codes.
void CheckRawFits(const std::string& what, double value, int64_t n, int64_t max, int type,
                  const std::string& inFormula, int decimals, const std::string& unit,
                  const FormulaEvaluator& eval) {
    if (max < 0 || (n >= 0 && n <= max))
        return;
    std::string range;
    try {
        const double a = eval(inFormula, 0);
        const double b = eval(inFormula, static_cast<double>(max));
        if (std::isfinite(a) && std::isfinite(b))
            range = FixedText(value, decimals) + " вне " + FixedText(std::min(a, b), decimals) +
                    ".." + FixedText(std::max(a, b), decimals) + (unit.empty() ? "" : " " + unit) +
                    " — столько вмещает место хранения.";
    } catch (const std::exception&) {
    }
    if (range.empty())
        range = "код " + std::to_string(n) + " вне 0.." + std::to_string(max) +
                " для типа хранения " + std::to_string(type) + ".";
    throw std::range_error("Value out of range.\n" + what + ": " + range);
}

} // namespace

int64_t EncodeConstantRaw(const ConstantRecord& rec, double value, const FormulaEvaluator& eval) {
    if (auto problem = ConstantProblem(rec))
        throw std::runtime_error(rec.Mark + ": " + *problem);
    const double y = EvaluateFor(eval, rec.Mark, rec.OutFormula, value);
    const int64_t n = EncodeRaw(y);
    CheckRawFits(rec.Mark, value, n, ConstantRawMax(rec.Type), rec.Type, rec.InFormula, rec.Decimal,
                 rec.Unit, eval);
    return n;
}

void EncodeConstant(FirmwareImage& image, const ConstantRecord& rec, double value,
                    const FormulaEvaluator& eval) {
    WriteConstantRaw(image, rec.Address, rec.Type, EncodeConstantRaw(rec, value, eval));
}

bool WithinLimits(double value, std::optional<double> min, std::optional<double> max) {
    return !(min && value < *min) && !(max && value > *max);
}

ConstantsWalk DecodeConstants(const FirmwareImage& image, const std::vector<ConstantRecord>& recs,
                              const FormulaEvaluator& eval,
                              const std::function<void(std::size_t, double)>& store) {
    ConstantsWalk walk;
    for (std::size_t i = 0; i < recs.size(); ++i) {
        walk.visited = i;
        if (auto problem = ConstantProblem(recs[i])) {
            walk.skipped.push_back(recs[i].Mark + ": " + *problem);
            continue;
        }
        double result = 0;
        try {
            result = DecodeConstant(image, recs[i], eval);
        } catch (const std::exception& e) {
            walk.error = e.what();
            return walk;
        }
        store(i, result);
    }
    walk.visited = recs.size();
    return walk;
}

void LoadVector(const FirmwareImage& image, const VectorRecord& rec, const FormulaEvaluator& eval,
                VectorPoints& out) {
    out.filled = 0;
    out.error.clear();
    if (auto problem = VectorProblem(rec)) {
        out.error = rec.Mark + ": " + *problem;
        return;
    }
    const bool indexRule = IsIndexRuleFormula(rec.FormulaArg);
    try {
        for (int i = 0; i < rec.Count; ++i) {
            const uint32_t rawArg = ReadVectorArgRaw(image, rec.AddressArg, rec.TypeArg, i);
            double a = EvaluateFor(eval, rec.Mark, rec.FormulaArg, rawArg);
            // The index rule places the points on a grid of 5/64 whatever the image holds.
            if (indexRule)
                a = i * 5.0 / 64.0;
            out.ArgValues[i] = RoundToDecimals(a, rec.DecimalArg);
            out.ParValues[i] = DecodeVectorPoint(image, rec, i, eval);
            out.filled = i + 1;
        }
    } catch (const std::exception& e) {
        out.error = e.what();
    }
}

double DecodeVectorPoint(const FirmwareImage& image, const VectorRecord& rec, int point,
                         const FormulaEvaluator& eval) {
    const uint32_t raw = ReadVectorValueRaw(image, rec.AddressPar, rec.TypePar, point);
    return EvaluateFor(eval, rec.Mark, rec.InFormula, raw);
}

int64_t EncodeVectorPointRaw(const VectorRecord& rec, int point, double value,
                             const FormulaEvaluator& eval) {
    if (auto problem = VectorProblem(rec))
        throw std::runtime_error(rec.Mark + ": " + *problem);
    if (point < 0 || point >= rec.Count)
        throw std::out_of_range(rec.Mark + ": no such point.");
    const double y = EvaluateFor(eval, rec.Mark, rec.OutFormula, value);
    const int64_t n = EncodeRaw(y);
    CheckRawFits(rec.Mark + ", точка " + std::to_string(point + 1), value, n,
                 VectorValueRawMax(rec.TypePar), rec.TypePar, rec.InFormula, rec.DecimalPar,
                 rec.Unit, eval);
    return n;
}

void CommitVectorPoint(FirmwareImage& image, const VectorRecord& rec, int point, double value,
                       const FormulaEvaluator& eval) {
    WriteVectorValueRaw(image, rec.AddressPar, rec.TypePar, point,
                        EncodeVectorPointRaw(rec, point, value, eval));
}
