#pragma once

#include <cstdint>

// The evaluator of the parameter database's conversion formulas: a small recursive-descent
// interpreter over doubles. Parameter databases in use depend on its exact behaviour, including
// its oddities (equal precedence of * / % ^, unary signs binding tightest, a missing operand
// counting as 0), so none of them may be "fixed" here.
//
// `calc` is the parser skeleton without variables; `calc_var` adds the variables A..Z,
// assignments, `;`-separated statements and `pi`, and is the one the program uses.
// Evaluation never allocates: the text lives in a fixed field of the object.
class calc {
public:
    // Thrown for a divisor 0 in `/` or a truncated divisor 0 in `%`.
    struct divzero {};
    // Thrown for an argument outside a function's domain or an invalid power. `message` points
    // to a constant UTF-8 text.
    struct MathError {
        const char* message;
    };
    // Thrown for malformed text. `message` points to a constant UTF-8 text.
    struct SyntaxError {
        const char* message;
    };

    // Token kinds, as stored in `token_kind`.
    enum : std::uint8_t {
        kNumber = 1,
        kOperator = 2,  // one character of "+-*/%^()"
        kName = 3,      // run of lower-case letters: function or `pi`
        kEnd = 4,       // end of the text, or a character that starts no token
        kVariable = 5,  // run of upper-case letters (calc_var only)
        kSeparator = 6, // `;` (calc_var only)
    };

    static constexpr int kTextSize = 256; // at most 255 characters and a terminating zero

    calc();
    virtual ~calc();
    calc(const calc&) = delete;
    calc& operator=(const calc&) = delete;

    // Loads a zero-terminated formula (null counts as empty): at most 255 characters are
    // copied, a longer text is silently cut. The cursor goes to the start; variables are kept.
    void set_expression(const char* formula);

    // Reads the next token into the token fields.
    virtual void next_token();
    // Parses and evaluates one operand.
    virtual double factor();
    // Sums: term { (+|-) term }.
    double expression();
    // Products: factor { (*|/|%|^) factor | implicit * before "(" }.
    double term();

protected:
    std::uint8_t token_kind = kEnd;
    const char* cursor;         // next character not yet read
    char token_text[kTextSize]; // current token; its first character is the operator tested
    char text[kTextSize];       // the formula

    // Reads a number token starting at the cursor; with_exponent allows e[+-]digits.
    void read_number(bool with_exponent);
    // Reads a run of upper- or lower-case ASCII letters into the token text.
    void read_run(bool upper);
    // Evaluates the current number or operator token as an operand.
    double number_or_operator();
};

class calc_var : public calc {
public:
    calc_var();

    // Sets all 27 variables to 0. Only the constructor calls it: variables keep their values
    // from one evaluation to the next.
    void clear_vars();

    // Evaluates the loaded text as `;`-separated statements and returns the last value.
    double evaluate();

    void next_token() override;
    double factor() override;

    // Value of variable A..Z (index letter - 'A'); for the program and its tests.
    double variable(char letter) const { return vars[letter - 'A']; }
    void set_variable(char letter, double value) { vars[letter - 'A'] = value; }

protected:
    std::uint8_t token_kind = kEnd; // the kind as this class's next_token sets it
    double vars[27];
};

// The one evaluator of the program, built before any window and living for the whole run.
calc_var& shared_calc();

// Sets X to x on the shared evaluator, loads the formula and evaluates it. Throws
// calc::divzero, calc::MathError or calc::SyntaxError.
double evaluate_formula(const char* formula, double x);
