// Cost of one conversion through the shared evaluator, as the parameter window pays it for
// every value it shows or stores.
#include "formula/calc.h"

#include <benchmark/benchmark.h>

static void BM_EvaluateFormulaScale(benchmark::State& state) {
    double x = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(evaluate_formula("X*5/64", x));
        x += 1;
    }
}
BENCHMARK(BM_EvaluateFormulaScale);

// A longer formula with statements, a function and an integral power.
static void BM_EvaluateFormulaStatements(benchmark::State& state) {
    double x = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(evaluate_formula("A=X*0.02-1.5;A^3+sin(A)*pi", x));
        x += 1;
    }
}
BENCHMARK(BM_EvaluateFormulaStatements);

BENCHMARK_MAIN();
