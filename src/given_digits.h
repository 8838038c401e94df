// printf's "%.Ng" digits, N from 1 to 17, of a double, where they can be
// proven without the C library: the value times a power of ten from the
// shortest digits' table, to 64 bits past the point, rounded to nearest.
#ifndef OSTREL_GIVEN_DIGITS_H
#define OSTREL_GIVEN_DIGITS_H

#include <cstdint>
#include <utility>

// For value at least zero and count from 1 to 17: digits (count of them,
// perhaps ending in zeros) and exponent, digits times 10^exponent being
// value rounded to count significant digits. Digits 0 where this cannot
// tell: the value is zero, subnormal, infinite, NaN or beyond the table,
// or it lies too near a half between two candidates without being on it,
// where the caller asks std::to_chars.
std::pair<std::uint64_t, int> given_decimal_digits(double value, int count);

#endif
