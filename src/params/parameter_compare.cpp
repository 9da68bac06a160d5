#include "params/parameter_compare.h"

#include "image/firmware_image.h"
#include "params/parameter_storage.h"

#include <limits>

namespace {

constexpr double NotANumber = std::numeric_limits<double>::quiet_NaN();

// A formula that fails on one side must not hide the difference: its value shows as NaN.
template <typename F> double DecodedOrNaN(F decode) {
    try {
        return decode();
    } catch (const std::exception&) {
        return NotANumber;
    }
}

void Cover(std::vector<bool>& covered, int64_t first, int width) {
    for (int64_t addr = first; addr < first + width; ++addr)
        if (addr >= 0 && addr < static_cast<int64_t>(FirmwareImage::Size))
            covered[static_cast<std::size_t>(addr)] = true;
}

void CompareConstants(const FirmwareImage& a, const FirmwareImage& b, const ParameterTables& tables,
                      ImageDifferences& out, std::vector<bool>& covered) {
    for (std::size_t index = 0; index < tables.constants.size(); ++index) {
        const ConstantRecord& rec = tables.constants[index];
        if (ConstantProblem(rec) || !ConstantTypeStores(rec.Type))
            continue;
        if (ReadConstantRaw(a, rec.Address, rec.Type) == ReadConstantRaw(b, rec.Address, rec.Type))
            continue;
        ParameterDifference d;
        d.mark = rec.Mark;
        d.name = rec.Name;
        d.decimals = rec.Decimal;
        d.record = static_cast<int>(index);
        d.a = DecodedOrNaN([&] { return DecodeConstant(a, rec, tables.eval); });
        d.b = DecodedOrNaN([&] { return DecodeConstant(b, rec, tables.eval); });
        out.constants.push_back(d);
        Cover(covered, rec.Address, rec.Type == 3 ? 2 : 1);
    }
}

double PointArgument(const FirmwareImage& image, const VectorRecord& rec, int i,
                     const FormulaEvaluator& eval) {
    if (IsIndexRuleFormula(rec.FormulaArg))
        return RoundToDecimals(i * 5.0 / 64.0, rec.DecimalArg);
    const uint32_t raw = ReadVectorArgRaw(image, rec.AddressArg, rec.TypeArg, i);
    return RoundToDecimals(EvaluateFor(eval, rec.Mark, rec.FormulaArg, raw), rec.DecimalArg);
}

void CompareVectors(const FirmwareImage& a, const FirmwareImage& b, const ParameterTables& tables,
                    ImageDifferences& out, std::vector<bool>& covered) {
    for (std::size_t index = 0; index < tables.vectors.size(); ++index) {
        const VectorRecord& rec = tables.vectors[index];
        if (VectorProblem(rec))
            continue;
        // Under the index rule the argument bytes are not read: they stay other bytes.
        const bool argsRead =
            !IsIndexRuleFormula(rec.FormulaArg) && VectorArgTypeStores(rec.TypeArg);
        const int valueWidth = rec.TypePar == 3 ? 2 : 1;
        const int argWidth = rec.TypeArg == 1 ? 2 : 1;
        for (int i = 0; i < rec.Count; ++i) {
            const bool valueDiffers = ReadVectorValueRaw(a, rec.AddressPar, rec.TypePar, i) !=
                                      ReadVectorValueRaw(b, rec.AddressPar, rec.TypePar, i);
            const bool argDiffers =
                argsRead && ReadVectorArgRaw(a, rec.AddressArg, rec.TypeArg, i) !=
                                ReadVectorArgRaw(b, rec.AddressArg, rec.TypeArg, i);
            if (!valueDiffers && !argDiffers)
                continue;
            ParameterDifference d;
            d.mark = rec.Mark;
            d.name = rec.Name;
            d.point = i;
            d.decimals = rec.DecimalPar;
            d.record = static_cast<int>(index);
            d.a = DecodedOrNaN([&] { return DecodeVectorPoint(a, rec, i, tables.eval); });
            d.b = DecodedOrNaN([&] { return DecodeVectorPoint(b, rec, i, tables.eval); });
            d.argA = DecodedOrNaN([&] { return PointArgument(a, rec, i, tables.eval); });
            d.argB = DecodedOrNaN([&] { return PointArgument(b, rec, i, tables.eval); });
            out.vectors.push_back(d);
            if (valueDiffers && VectorValueTypeStores(rec.TypePar))
                Cover(covered, VectorValueAddress(rec.AddressPar, rec.TypePar, i), valueWidth);
            if (argDiffers)
                Cover(covered, VectorArgAddress(rec.AddressArg, rec.TypeArg, i), argWidth);
        }
    }
}

} // namespace

std::vector<std::string> RecordsLeftOut(const ParameterTables& tables) {
    std::vector<std::string> out;
    for (const ConstantRecord& rec : tables.constants) {
        if (const auto why = ConstantProblem(rec))
            out.push_back("constant " + rec.Mark + " left out: " + *why);
        else if (!ConstantTypeStores(rec.Type))
            out.push_back("constant " + rec.Mark + " left out: тип " + std::to_string(rec.Type) +
                          " не хранит значения в образе");
    }
    for (const VectorRecord& rec : tables.vectors)
        if (const auto why = VectorProblem(rec))
            out.push_back("vector " + rec.Mark + " left out: " + *why);
    return out;
}

ImageDifferences CompareImages(const FirmwareImage& a, const FirmwareImage& b, bool useO2,
                               const ParameterTables& tables) {
    ImageDifferences out = CompareImages(a, b, useO2);
    std::vector<bool> covered(FirmwareImage::Size, false);
    CompareConstants(a, b, tables, out, covered);
    CompareVectors(a, b, tables, out, covered);
    RemoveCoveredBytes(out, covered);
    return out;
}

void TakeParameter(FirmwareImage& image, const FirmwareImage& reference,
                   const ParameterTables& tables, const ParameterDifference& diff) {
    FirmwareImage::WriteBatch batch(image); // the value and its argument: one decode
    if (diff.point < 0) {
        const ConstantRecord& rec = tables.constants.at(static_cast<std::size_t>(diff.record));
        WriteConstantRaw(image, rec.Address, rec.Type,
                         ReadConstantRaw(reference, rec.Address, rec.Type));
        return;
    }
    const VectorRecord& rec = tables.vectors.at(static_cast<std::size_t>(diff.record));
    WriteVectorValueRaw(image, rec.AddressPar, rec.TypePar, diff.point,
                        ReadVectorValueRaw(reference, rec.AddressPar, rec.TypePar, diff.point));
    if (IsIndexRuleFormula(rec.FormulaArg) || !VectorArgTypeStores(rec.TypeArg))
        return;
    const int64_t first = VectorArgAddress(rec.AddressArg, rec.TypeArg, diff.point);
    for (int64_t addr = first; addr <= first + (rec.TypeArg == 1 ? 1 : 0); ++addr)
        if (addr >= 0 && addr < static_cast<int64_t>(FirmwareImage::Size))
            image.WriteByte(static_cast<uint16_t>(addr),
                            reference.ReadByte(static_cast<uint16_t>(addr)));
}
