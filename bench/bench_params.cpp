// Decoding a full 256-point vector and the commit of one point, with the program's evaluator:
// what the vector tab does on every record move and every finished entry.
#include "image/firmware_image.h"
#include "params/parameter_decode.h"
#include "params/parameter_formula.h"

#include <benchmark/benchmark.h>

namespace {

VectorRecord FullVector() {
    VectorRecord v;
    v.Mark = "BENCH";
    v.AddressPar = 0x7000;
    v.TypePar = 3;
    v.AddressArg = 0x7200;
    v.TypeArg = 1;
    v.Count = 256;
    v.InFormula = "X*0.004";
    v.OutFormula = "X/0.004";
    v.FormulaArg = "X/100";
    v.DecimalArg = 1;
    return v;
}

void BM_LoadVector256(benchmark::State& state) {
    FirmwareImage image;
    const VectorRecord v = FullVector();
    const FormulaEvaluator eval = EvaluateParameterFormula;
    VectorPoints points;
    for (auto _ : state) {
        LoadVector(image, v, eval, points);
        benchmark::DoNotOptimize(points.ParValues[255]);
    }
}
BENCHMARK(BM_LoadVector256);

void BM_CommitVectorPoint(benchmark::State& state) {
    FirmwareImage image;
    const VectorRecord v = FullVector();
    const FormulaEvaluator eval = EvaluateParameterFormula;
    int i = 0;
    for (auto _ : state) {
        CommitVectorPoint(image, v, i, 1.25, eval);
        i = (i + 1) & 255;
    }
}
BENCHMARK(BM_CommitVectorPoint);

} // namespace

BENCHMARK_MAIN();
