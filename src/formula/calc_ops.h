#pragma once

// The arithmetic of the formula evaluator, shared by calc and calc_var: binary operators and
// the function table. Errors are thrown as calc::divzero and calc::MathError.

// Applies one of the operators "*/%^" to a and b.
double calc_binary(char op, double a, double b);

// Index of the function called `name` (abs, sin, cos, tg, ctg, ln, exp, asin, acos), or -1.
int calc_find_function(const char* name);

// Applies the function with that index to its evaluated argument, testing the domain.
double calc_call_function(int index, double argument);

// The message for ctg of an argument whose sine is 0. Its first letter is the Cyrillic es
// (U+0441), as users know it, held in UTF-8 like every other text of the program.
extern const char* const kCtgMessage;
