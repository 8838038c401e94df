// The shortest decimal that reads back to a binary floating-point value:
// Schubfach (R. Giulietti, "The Schubfach way to render doubles", 2020, with
// its proof of correctness). Of the decimals in the value's rounding
// interval, those of the fewest significant digits; of those, the closest
// to the value, a tie to the even digit.
#ifndef OSTREL_SHORTEST_DIGITS_H
#define OSTREL_SHORTEST_DIGITS_H

#include <cstdint>

// For a finite value above zero: digits (no trailing zeros) times
// 10^exponent is its shortest decimal.
void shortest_double_digits(double value, std::uint64_t& digits, int& exponent);
void shortest_single_digits(float value, std::uint64_t& digits, int& exponent);

#endif
