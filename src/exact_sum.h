// The exact sum of any number of finite doubles, rounded once at the end:
// a fixed-point accumulator wide enough for every double, from 2^-1074 up
// to 2^1024, and for 2^64 of the largest. Running sums in floating point
// lose the small cells beside the large ones; this loses nothing.
#ifndef OSTREL_EXACT_SUM_H
#define OSTREL_EXACT_SUM_H

#include "stack_format.h"

#include <cstdint>

// Limbs of 32 bits, each held in 64, so that an addition never carries at
// once: carries are settled every so many additions, and before a result.
constexpr int exact_sum_limbs = 70;

struct exact_sum {
    std::int64_t limbs[exact_sum_limbs];  // value = sum of limbs[i] * 2^(32 i - 1074)
    std::uint32_t unsettled;              // additions since the carries were last settled
};

constexpr exact_sum empty_exact_sum() { return exact_sum{{}, 0}; }

// Adds a finite double, exactly.
void add_exactly(exact_sum& sum, double value);

// The sum rounded once, to the nearest value of the precision, a tie to the
// even one; an infinity where that is beyond the precision's range.
double rounded_sum(const exact_sum& sum, stack_precision precision);

// The sum divided by count (from 1, below 2^62), rounded once in the same way.
double rounded_quotient(const exact_sum& sum, std::uint64_t count, stack_precision precision);

#endif
