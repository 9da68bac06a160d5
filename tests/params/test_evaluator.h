#pragma once

#include <cctype>
#include <cstdlib>
#include <stdexcept>
#include <string>

// A small evaluator for the core tests of the parameter rules, so they do not depend on the
// program's formula engine: numbers, X, + - * /, unary minus and parentheses. An empty formula
// fails with "No Expression", like the real one.
class TestEvaluator {
public:
    double operator()(const std::string& formula, double x) {
        text_ = formula;
        pos_ = 0;
        x_ = x;
        Skip();
        if (pos_ == text_.size())
            throw std::runtime_error("No Expression");
        const double v = Sum();
        if (pos_ != text_.size())
            throw std::runtime_error("Syntax error");
        return v;
    }

private:
    void Skip() {
        while (pos_ < text_.size() && text_[pos_] == ' ')
            ++pos_;
    }
    bool Take(char c) {
        Skip();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    double Sum() {
        double v = Product();
        for (;;) {
            if (Take('+'))
                v += Product();
            else if (Take('-'))
                v -= Product();
            else
                return v;
        }
    }
    double Product() {
        double v = Unary();
        for (;;) {
            if (Take('*'))
                v *= Unary();
            else if (Take('/')) {
                const double d = Unary();
                if (d == 0)
                    throw std::runtime_error("Division by zero");
                v /= d;
            } else
                return v;
        }
    }
    double Unary() {
        if (Take('-'))
            return -Unary();
        if (Take('(')) {
            const double v = Sum();
            if (!Take(')'))
                throw std::runtime_error("Syntax error");
            return v;
        }
        Skip();
        if (pos_ < text_.size() && (text_[pos_] == 'X' || text_[pos_] == 'x')) {
            ++pos_;
            return x_;
        }
        const char* start = text_.c_str() + pos_;
        char* end = nullptr;
        const double v = std::strtod(start, &end);
        if (end == start)
            throw std::runtime_error("Syntax error");
        pos_ += static_cast<std::size_t>(end - start);
        return v;
    }

    std::string text_;
    std::size_t pos_ = 0;
    double x_ = 0;
};
