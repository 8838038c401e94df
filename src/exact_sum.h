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
// once: carries are settled every so many additions, and before a result.
// From 2^-1074 up to 2^64 times 2^1024, and a limb for the sign's carries;
// an even count, which the compiler lays out and indexes best.
constexpr int exact_sum_limbs = ((1074 + 1024 + 64) / 32 + 2 + 1) / 2 * 2;

struct exact_sum {
    std::int64_t limbs[exact_sum_limbs];  // value = sum of limbs[i] * 2^(32 i - 1074)
};

constexpr exact_sum empty_exact_sum() { return exact_sum{{}}; }

// Moves every limb's carry to the next, so that each holds 32 bits again.
void settle_exact_sum(exact_sum& sum);

constexpr unsigned exact_sum_limb_bits = 32;
// An addition puts less than 2^52 into a limb: 2^10 of them stay below 2^63.
// The caller settles the sum before more.
constexpr std::size_t additions_between_settlings = 1024;

// Adds a finite double's magnitude, exactly: its significand, shifted to
// its place, goes into the two limbs it spans. Inline: --info adds every
// cell, the positive ones and the negative ones to sums of their own.
inline void add_magnitude(exact_sum& sum, double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    // Unsigned throughout: the division and remainder by 32 are then shifts.
    const auto biased_exponent = static_cast<unsigned>(bits >> 52 & 0x7FF);
    const auto normal = static_cast<unsigned>(biased_exponent != 0);
    const std::uint64_t significand = (bits & ((std::uint64_t{1} << 52) - 1)) | std::uint64_t{normal} << 52;
    // value = significand * 2^(position - 1074): subnormals share the least normal's position
    const unsigned position = biased_exponent - normal;
    const unsigned index = position / exact_sum_limb_bits, shift = position % exact_sum_limb_bits;
    sum.limbs[index] += static_cast<std::int64_t>((significand << shift) & 0xFFFFFFFF);
    sum.limbs[index + 1] += static_cast<std::int64_t>(significand >> (exact_sum_limb_bits - shift));
}

// The exact sum or difference of two sums.
exact_sum sum_of(const exact_sum& first, const exact_sum& second);
exact_sum difference_of(const exact_sum& first, const exact_sum& second);

// The sum rounded once, to the nearest value of the precision, a tie to the
// even one; an infinity where that is beyond the precision's range.
double rounded_sum(const exact_sum& sum, stack_precision precision);

// The sum divided by count (from 1, below 2^62), rounded once in the same way.
double rounded_quotient(const exact_sum& sum, std::uint64_t count, stack_precision precision);

#endif
