// Evaluation allocates nothing: every operator new of the process is counted here.
#include "formula/calc.h"

#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>
#include <new>

namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

TEST(FormulaAllocation, EvaluationAllocatesNothing) {
    const char* const formulas[] = {
        "X*5/64", "A=X*2;A+1", "sin(X)^2+ln(X)-asin(0.5)*pi", "(1+2)(3+4)%5", "1.5e2^3", "2 3",
    };
    evaluate_formula("1", 0); // anything the first call may set up
    const long before = allocations.load();
    double sum = 0;
    for (int i = 0; i < 100; ++i)
        for (const char* f : formulas)
            sum += evaluate_formula(f, i + 1);
    EXPECT_EQ(allocations.load(), before);
    EXPECT_GT(sum, 0.0);
}
