// The shortest decimal that reads back to a binary floating-point value:
// Schubfach (R. Giulietti, "The Schubfach way to render doubles", 2020, with
// its proof of correctness). Of the decimals in the value's rounding
// interval, those of the fewest significant digits; of those, the closest
// to the value, a tie to the even digit.
#ifndef OSTREL_SHORTEST_DIGITS_H
#define OSTREL_SHORTEST_DIGITS_H

#include "decimal_scaling.h"
#include "shortest_digits_table.h"

#include <cstdint>
#include <utility>

// For a finite value above zero, given by its bits: digits and exponent, digits times
// 10^exponent being its shortest decimal. The digits may end in zeros,
// which the text drops: at most 17 digits for a double, 9 for a single.
// Written here in full, so that the text, its one caller, takes it in
// without a call.
using decimal_digits = std::pair<std::uint64_t, int>;

namespace shortest_digits_detail {

// g * scaled / 2^128, rounded to odd: the integer part, its lowest bit set
// where a fraction was cut off. g, the table's power of ten, is too large
// by less than 1, which adds less than scaled (below 2^60) to the product,
// below the fraction's first 64 bits: only those count, so that an exact
// integer keeps its lowest bit. That a true fraction is never so small is
// the paper's analysis of its 126-bit table, which this one's 128 bits
// only tighten; the whole checks of the proof program bear it out.
inline std::uint64_t round_to_odd(const std::uint64_t (&g)[2], std::uint64_t scaled) {
    std::uint64_t high_high, high_low, low_high, low_low;
    multiply(g[0], scaled, high_high, high_low);
    multiply(g[1], scaled, low_high, low_low);
    static_cast<void>(low_low);
    std::uint64_t fraction = high_low + low_high;
    std::uint64_t integer = high_high + (fraction < high_low ? 1 : 0);
    return integer | (fraction != 0 ? 1 : 0);
}

// For a single, whose c 2^q has far fewer bits, the table's upper half
// plus one is an overestimate close enough, as in the paper's float
// variant: one product instead of two. It is too large by less than 2,
// which adds less than 2 scaled (below 2^31) to the product: only the
// fraction's first 32 bits count. The proof program checks every single.
inline std::uint64_t round_to_odd(std::uint64_t g, std::uint64_t scaled) {
    std::uint64_t integer, fraction;
    multiply(g, scaled, integer, fraction);
    return integer | (fraction >> 32 != 0 ? 1 : 0);
}

// The table's power of ten times scaled, rounded to odd: in full for a
// double, from its upper half for a single.
template <bool single>
inline std::uint64_t scaled_to_odd(const std::uint64_t (&g)[2], std::uint64_t scaled) {
    if constexpr (single) return round_to_odd(g[0] + 1, scaled);
    else return round_to_odd(g, scaled);
}

// The value c 2^q; c_least is the least significand of a normal value,
// q_least the exponent of the subnormals.
template <bool single>
[[gnu::always_inline]] inline decimal_digits shortest_digits(std::uint64_t c, int q, std::uint64_t c_least,
                                                            int q_least) {
    // The rounding interval, in quarters of a unit of c: half a unit either
    // side, but a quarter below a power of two, where the value below is
    // nearer. Where c is even, its ends read back to the value too.
    const std::uint64_t excluded = c & 1;
    const std::uint64_t middle = c << 2, upper = middle + 2;
    const bool below_power_of_two = c == c_least && q != q_least;
    const std::uint64_t lower = below_power_of_two ? middle - 1 : middle - 2;
    const int k = below_power_of_two ? floor_log10_three_quarters_pow2(q) : floor_log10_pow2(q);
    // Each times 2^q 10^-k: in quarters of a unit of 10^k, rounded to odd.
    const int shift = q + floor_log2_pow10(-k) + 1;
    const std::uint64_t(&g)[2] = powers_of_ten[-k - lowest_power_of_ten];
    const std::uint64_t v = scaled_to_odd<single>(g, middle << shift);
    const std::uint64_t v_lower = scaled_to_odd<single>(g, lower << shift);
    const std::uint64_t v_upper = scaled_to_odd<single>(g, upper << shift);
    const std::uint64_t s = v >> 2, t = s + 1;
    // One digit fewer: the interval is narrower than 10^(k+1), so at most
    // one multiple of it lies inside; where one does, it is the shortest.
    const std::uint64_t down = s / 10 * 10, up = down + 10;
    const bool down_in = v_lower + excluded <= down << 2, up_in = (up << 2) + excluded <= v_upper;
    if (down_in != up_in) return {down_in ? down : up, k};
    // Otherwise of the multiples of 10^k around the value, the one inside,
    // or where both are the nearer, a tie to the even one.
    const bool s_in = v_lower + excluded <= s << 2, t_in = (t << 2) + excluded <= v_upper;
    const auto past_midpoint = static_cast<std::int64_t>(v - ((s + t) << 1));
    // Below the midpoint, or on it where s is even: a tie to the even digit.
    const bool nearer_s = past_midpoint < static_cast<std::int64_t>(~s & 1);
    return {s_in != t_in ? (s_in ? s : t) : (nearer_s ? s : t), k};
}

// A finite value above zero as c 2^q: its fraction, with the hidden bit
// where it is normal, and its exponent, from its bits; fraction_bits and the
// least exponent are its type's.
template <typename Bits, int fraction_bits, int q_least>
[[gnu::always_inline]] inline decimal_digits shortest_digits_of(Bits bits) {
    constexpr std::uint64_t hidden = std::uint64_t{1} << fraction_bits;
    const std::uint64_t fraction = bits & (hidden - 1);
    const int biased = static_cast<int>(bits >> fraction_bits);  // the sign bit is 0 above zero
    const bool normal = biased != 0;
    // A single's bits are 32: its products need only the table's upper half.
    return shortest_digits<sizeof(Bits) == sizeof(std::uint32_t)>(normal ? fraction | hidden : fraction,
                                                                  (normal ? biased - 1 : 0) + q_least, hidden, q_least);
}

}  // namespace shortest_digits_detail

inline decimal_digits shortest_single_digits(std::uint32_t bits) {
    return shortest_digits_detail::shortest_digits_of<std::uint32_t, 23, -149>(bits);
}

#endif
