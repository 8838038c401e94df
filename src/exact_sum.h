// The exact sum of any number of finite doubles, rounded once at the end:
// a fixed-point accumulator wide enough for every double, from 2^-1074 up
// to 2^1024, and for 2^64 of the largest. Running sums in floating point
// lose the small cells beside the large ones; this loses nothing.
#ifndef OSTREL_EXACT_SUM_H
#define OSTREL_EXACT_SUM_H

#include "stack_format.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

// Limbs of 32 bits, each held in 64, so that an addition never carries at
// once: carries are settled after each flush of buckets, and before a
// result. From 2^-1074 up to 2^64 times 2^1024, and a limb for the sign's
// carries.
constexpr int exact_sum_limbs = (1074 + 1024 + 64) / 32 + 2;

struct exact_sum {
    std::int64_t limbs[exact_sum_limbs];  // value = sum of limbs[i] * 2^(32 i - 1074)
};

constexpr exact_sum empty_exact_sum() { return exact_sum{{}}; }

// Finite magnitudes gathered by sign and exponent before they go into exact
// sums: a double adds its significand (below 2^53) to the bucket of its
// sign and biased exponent, so that a bucket takes 2^11 of them before it
// could overflow; a flush moves the buckets into the sums.
constexpr std::size_t additions_between_flushes = 2048;
constexpr std::size_t exponent_count = 2048;
using magnitude_buckets = std::uint64_t[2 * exponent_count];  // positive, then negative

// Adds a finite double by its bits, and marks its exponent's group of 32
// in groups, so that a flush looks only at the groups used. Inline: --info
// adds every cell.
inline void add_to_buckets(magnitude_buckets& buckets, std::uint64_t& groups, std::uint64_t bits) {
    const std::uint64_t biased_exponent = bits >> 52 & 0x7FF;
    const std::uint64_t significand = (bits & ((std::uint64_t{1} << 52) - 1)) |
                                      static_cast<std::uint64_t>(biased_exponent != 0) << 52;
    buckets[(bits >> 63) * exponent_count + biased_exponent] += significand;
    groups |= std::uint64_t{1} << (biased_exponent >> 5);
}

// Adds the buckets of the groups marked to the positive and the negative
// sum, exactly, and empties them and the marks.
void flush_buckets(magnitude_buckets& buckets, std::uint64_t& groups, exact_sum& positive, exact_sum& negative);

// The exact sum or difference of two sums.
exact_sum sum_of(const exact_sum& first, const exact_sum& second);
exact_sum difference_of(const exact_sum& first, const exact_sum& second);

// The sum rounded once, to the nearest value of the precision, a tie to the
// even one; an infinity where that is beyond the precision's range.
double rounded_sum(const exact_sum& sum, stack_precision precision);

// The sum divided by count (from 1, below 2^62), rounded once in the same way.
double rounded_quotient(const exact_sum& sum, std::uint64_t count, stack_precision precision);

#endif
