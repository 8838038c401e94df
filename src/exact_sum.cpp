#include "exact_sum.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <functional>
#include <iterator>
#include <limits>

namespace {

constexpr int limb_bits = 32;
constexpr std::int64_t limb_base = std::int64_t{1} << limb_bits;
constexpr std::int64_t limb_mask = limb_base - 1;
// The accumulator's unit, 2^-1074, the least subnormal double.
constexpr int unit_exponent = -1074;
// Limbs below the unit: for a sum, the one that holds the bit below the
// least subnormal; for a quotient, the bits that let it round as exactly.
constexpr int sum_fraction_limbs = 1;
constexpr int quotient_fraction_limbs = 2;
constexpr int quotient_limbs = exact_sum_limbs + quotient_fraction_limbs;

// Moves every limb's carry up to the next, so that each limb but the top one
// holds 32 bits from 0 up, and the top one the sign with the rest.
void settle(std::int64_t (&limbs)[exact_sum_limbs]) {
    std::int64_t carry = 0;
    for (int index = 0; index + 1 < exact_sum_limbs; ++index) {
        std::int64_t value = limbs[index] + carry;
        std::int64_t low = value & limb_mask;
        carry = (value - low) / limb_base;  // exact: a floor for negative values too
        limbs[index] = low;
    }
    limbs[exact_sum_limbs - 1] += carry;
}

// The sum's magnitude as limbs of 32 bits, lowest first; negative says its sign.
void magnitude_of(const exact_sum& sum, std::uint32_t* magnitude, bool& negative) {
    std::int64_t limbs[exact_sum_limbs];
    std::copy(std::begin(sum.limbs), std::end(sum.limbs), limbs);
    settle(limbs);
    negative = limbs[exact_sum_limbs - 1] < 0;
    if (negative) {
        std::transform(std::begin(limbs), std::end(limbs), std::begin(limbs), std::negate<>());
        settle(limbs);
    }
    std::copy(std::begin(limbs), std::end(limbs), magnitude);  // each limb now fits 32 bits
}

bool bit_at(const std::uint32_t* limbs, int position) {
    return (limbs[position / limb_bits] >> (position % limb_bits) & 1) != 0;
}

int bit_length(const std::uint32_t* limbs, int count) {
    for (int index = count - 1; index >= 0; --index)
        if (limbs[index] != 0) return index * limb_bits + (limb_bits - __builtin_clz(limbs[index]));
    return 0;
}

// Whether any bit below position is set.
bool any_bit_below(const std::uint32_t* limbs, int position) {
    const int whole = position / limb_bits;
    const std::uint32_t part = limbs[whole] & ((std::uint32_t{1} << position % limb_bits) - 1);
    return part != 0 || std::any_of(limbs, limbs + whole, [](std::uint32_t limb) { return limb != 0; });
}

// The magnitude (limbs times 2^scale, plus something below it where
// inexact) rounded once to the precision: its leading digits, or as many as
// the least subnormal's place keeps, a half to even. scale lies a limb or
// more below the least subnormal's exponent, so that the bit below the last
// one kept is always in the limbs.
double rounded(const std::uint32_t* limbs, int count, int scale, bool inexact, stack_precision precision) {
    const int digits = precision == single_precision ? FLT_MANT_DIG : DBL_MANT_DIG;
    const int least_exponent = precision == single_precision ? FLT_MIN_EXP - FLT_MANT_DIG : DBL_MIN_EXP - DBL_MANT_DIG;
    const int length = bit_length(limbs, count);
    const int lowest = std::max(length - digits, least_exponent - scale);
    std::uint64_t kept = 0;
    for (int position = length - 1; position >= lowest; --position) kept = kept << 1 | bit_at(limbs, position);
    const bool half = bit_at(limbs, lowest - 1);
    if (half && (inexact || any_bit_below(limbs, lowest - 1) || (kept & 1) != 0)) ++kept;
    double value = std::ldexp(static_cast<double>(kept), lowest + scale);  // exact, or an overflow to infinity
    if (precision == single_precision && value > FLT_MAX) return std::numeric_limits<double>::infinity();
    return value;
}

}  // namespace

namespace {

// A bucket's total times 2^(position - 1074), in the three limbs it spans:
// each part below 2^33, so that the limbs take all the buckets unsettled.
void add_bucket(std::uint64_t total, unsigned biased_exponent, exact_sum& sum) {
    const unsigned position = biased_exponent - static_cast<unsigned>(biased_exponent != 0);  // subnormals too
    constexpr unsigned width = limb_bits;  // unsigned: the division and remainder are shifts
    constexpr std::uint64_t mask = limb_mask;
    const unsigned index = position / width, shift = position % width;
    const std::uint64_t low = (total & mask) << shift, high = (total >> width) << shift;
    sum.limbs[index] += static_cast<std::int64_t>(low & mask);
    sum.limbs[index + 1] += static_cast<std::int64_t>((low >> width) + (high & mask));
    sum.limbs[index + 2] += static_cast<std::int64_t>(high >> width);
}

}  // namespace

void flush_buckets(magnitude_buckets& buckets, std::uint64_t& groups, exact_sum& positive, exact_sum& negative) {
    for (; groups != 0; groups &= groups - 1) {
        const auto group = static_cast<unsigned>(__builtin_ctzll(groups));
        for (unsigned exponent = group * 32; exponent != group * 32 + 32; ++exponent) {
            add_bucket(buckets[exponent], exponent, positive);
            add_bucket(buckets[exponent_count + exponent], exponent, negative);
            buckets[exponent] = buckets[exponent_count + exponent] = 0;
        }
    }
    settle(positive.limbs);
    settle(negative.limbs);
}

exact_sum sum_of(const exact_sum& first, const exact_sum& second) {
    exact_sum sum = first;
    std::transform(std::begin(sum.limbs), std::end(sum.limbs), std::begin(second.limbs), std::begin(sum.limbs),
                   std::plus<>());
    return sum;
}

exact_sum difference_of(const exact_sum& first, const exact_sum& second) {
    exact_sum difference = first;
    std::transform(std::begin(difference.limbs), std::end(difference.limbs), std::begin(second.limbs),
                   std::begin(difference.limbs), std::minus<>());
    return difference;
}

double rounded_sum(const exact_sum& sum, stack_precision precision) {
    std::uint32_t magnitude[exact_sum_limbs + sum_fraction_limbs] = {};
    bool negative = false;
    magnitude_of(sum, magnitude + sum_fraction_limbs, negative);
    const int scale = unit_exponent - sum_fraction_limbs * limb_bits;
    double value = rounded(magnitude, exact_sum_limbs + sum_fraction_limbs, scale, false, precision);
    return negative ? -value : value;
}

// Long division, a bit at a time: it runs once per stack. The remainder
// stays below count, a count of cells of at least 4 bytes each, below 2^62:
// doubled, it still fits.
double rounded_quotient(const exact_sum& sum, std::uint64_t count, stack_precision precision) {
    std::uint32_t dividend[quotient_limbs] = {}, quotient[quotient_limbs] = {};
    bool negative = false;
    magnitude_of(sum, dividend + quotient_fraction_limbs, negative);
    std::uint64_t remainder = 0;
    for (int position = bit_length(dividend, quotient_limbs) - 1; position >= 0; --position) {
        remainder = remainder << 1 | static_cast<std::uint64_t>(bit_at(dividend, position));
        if (remainder >= count) {
            remainder -= count;
            quotient[position / limb_bits] |= std::uint32_t{1} << position % limb_bits;
        }
    }
    const int scale = unit_exponent - quotient_fraction_limbs * limb_bits;
    double value = rounded(quotient, quotient_limbs, scale, remainder != 0, precision);
    return negative ? -value : value;
}
