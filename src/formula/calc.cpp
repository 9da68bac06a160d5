#include "formula/calc.h"

#include "formula/calc_ops.h"

#include <clocale>
#include <cstdlib>
#include <locale.h>

namespace {

// Formula texts always use '.', whatever the user's regional settings: numbers are converted
// in the C locale. Built once at start-up so that evaluation allocates nothing.
const locale_t kCLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsLower(char c) {
    return c >= 'a' && c <= 'z';
}
bool IsUpper(char c) {
    return c >= 'A' && c <= 'Z';
}
bool IsOperator(char c) {
    switch (c) {
    case '+':
    case '-':
    case '*':
    case '/':
    case '%':
    case '^':
    case '(':
    case ')':
        return true;
    default:
        return false;
    }
}

// The value of a number token; the conversion stops at the first character that does not fit
// (so "1.2.3" is 1.2 and "1e" is 1).
double NumberValue(const char* token) {
    return strtod_l(token, nullptr, kCLocale);
}

constexpr double kPi = 3.1415926535; // the ten-decimal value existing formulas were made with

} // namespace

calc::calc() : cursor(text), token_text{}, text{} {}

calc::~calc() = default;

void calc::set_expression(const char* formula) {
    int n = 0;
    if (formula != nullptr)
        for (; n < kTextSize - 1 && formula[n] != '\0'; ++n)
            text[n] = formula[n];
    text[n] = '\0';
    cursor = text;
}

void calc::read_number(bool with_exponent) {
    char* out = token_text;
    while (IsDigit(*cursor) || *cursor == '.')
        *out++ = *cursor++;
    if (with_exponent && (*cursor == 'e' || *cursor == 'E')) {
        *out++ = *cursor++;
        if (*cursor == '+' || *cursor == '-')
            *out++ = *cursor++;
        while (IsDigit(*cursor))
            *out++ = *cursor++;
    }
    *out = '\0';
}

void calc::read_run(bool upper) {
    char* out = token_text;
    while (upper ? IsUpper(*cursor) : IsLower(*cursor))
        *out++ = *cursor++;
    *out = '\0';
}

// Blanks are spaces only; upper-case letters and ';' start no token.
void calc::next_token() {
    token_text[0] = '\0';
    token_kind = kEnd;
    if (cursor == nullptr)
        return;
    while (*cursor == ' ')
        ++cursor;
    const char c = *cursor;
    if (IsDigit(c)) {
        read_number(false);
        token_kind = kNumber;
    } else if (IsOperator(c)) {
        token_text[0] = *cursor++;
        token_text[1] = '\0';
        token_kind = kOperator;
    } else if (IsLower(c)) {
        read_run(false);
        token_kind = kName;
    }
}

double calc::expression() {
    double result = term();
    for (;;) {
        const char op = token_text[0];
        if (op == '+')
            result += term();
        else if (op == '-')
            result -= term();
        else
            return result;
    }
}

double calc::term() {
    double result = factor();
    for (;;) {
        const char op = token_text[0];
        if (op == '(') {
            // Implicit multiplication: step back so the parenthesis is read again as a factor.
            if (cursor > text)
                --cursor;
            result *= factor();
        } else if (op == '*' || op == '/' || op == '%' || op == '^') {
            const double operand = factor();
            result = calc_binary(op, result, operand);
        } else {
            return result;
        }
    }
}

// The operands both parsers read alike: a number, a parenthesised expression, a unary sign.
// The caller has just read a number or operator token.
double calc::number_or_operator() {
    if (token_text[0] >= '0' && token_text[0] <= '9') {
        const double value = NumberValue(token_text);
        next_token();
        return value;
    }
    switch (token_text[0]) {
    case '(': {
        const double value = expression();
        if (token_text[0] != ')')
            throw SyntaxError{") expected"};
        next_token();
        return value;
    }
    case '+':
        return factor();
    case '-':
        return -factor();
    default:
        throw SyntaxError{"Incorrect operator"};
    }
}

double calc::factor() {
    next_token();
    switch (token_kind) {
    case kNumber:
    case kOperator:
        return number_or_operator();
    case kName: {
        const int function = calc_find_function(token_text);
        if (function < 0)
            throw SyntaxError{"Incorrect function"};
        return calc_call_function(function, factor());
    }
    default:
        throw SyntaxError{"No Expression"};
    }
}

calc_var::calc_var() {
    clear_vars();
}

void calc_var::clear_vars() {
    for (double& v : vars)
        v = 0.0;
}

// Blanks are spaces, line feeds and carriage returns (not tabs); numbers may carry an exponent;
// upper-case runs are variables and ';' separates statements.
void calc_var::next_token() {
    token_text[0] = '\0';
    token_kind = kEnd;
    if (cursor == nullptr)
        return;
    while (*cursor == ' ' || *cursor == '\n' || *cursor == '\r')
        ++cursor;
    const char c = *cursor;
    if (IsDigit(c)) {
        read_number(true);
        token_kind = kNumber;
    } else if (IsOperator(c)) {
        token_text[0] = *cursor++;
        token_text[1] = '\0';
        token_kind = kOperator;
    } else if (IsLower(c)) {
        read_run(false);
        token_kind = kName;
    } else if (IsUpper(c)) {
        read_run(true);
        token_kind = kVariable;
    } else if (c == ';') {
        // Not consumed: evaluate steps over it between statements.
        token_text[0] = ';';
        token_text[1] = '\0';
        token_kind = kSeparator;
    }
    // Anything else (end, comma, tab, non-ASCII byte) ends the text without being consumed.
}

double calc_var::factor() {
    next_token();
    switch (token_kind) {
    case kNumber:
    case kOperator:
        return number_or_operator();
    case kName: {
        if (token_text[0] == 'p' && token_text[1] == 'i' && token_text[2] == '\0') {
            next_token();
            return kPi;
        }
        const int function = calc_find_function(token_text);
        if (function < 0)
            throw SyntaxError{"Incorrect function"};
        return calc_call_function(function, factor());
    }
    case kVariable: {
        const int index = token_text[0] - 'A';
        // Only "=" right after the name assigns; "A = 3" reads A and stops at the "=".
        if (*cursor == '=') {
            ++cursor;
            vars[index] = expression();
        }
        next_token();
        return vars[index];
    }
    default: // end or ';': a missing operand counts as 0
        return 0.0;
    }
}

double calc_var::evaluate() {
    if (text[0] == '\0')
        throw SyntaxError{"No Expression"};
    double result = 0.0;
    do {
        result = expression();
        if (token_kind == kSeparator)
            ++cursor;
    } while (token_kind != kEnd);
    return result;
}
