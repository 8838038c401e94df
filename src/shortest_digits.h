// The shortest decimal that reads back to a binary floating-point value:
// Schubfach (R. Giulietti, "The Schubfach way to render doubles", 2020, with
// its proof of correctness). Of the decimals in the value's rounding
// interval, those of the fewest significant digits; of those, the closest
// to the value, a tie to the even digit.
#ifndef OSTREL_SHORTEST_DIGITS_H
#define OSTREL_SHORTEST_DIGITS_H

#include <cstdint>
#include <utility>

// For a finite value above zero: digits and exponent, digits times
// 10^exponent being its shortest decimal. The digits may end in zeros,
// which the text drops: at most 17 digits for a double, 9 for a single.
// A pair, so that both come back in registers.
using decimal_digits = std::pair<std::uint64_t, int>;
decimal_digits shortest_double_digits(double value);
decimal_digits shortest_single_digits(float value);

#endif
