// The shortest digits of a double by one product: Dragonbox (J. Jeon,
// "Dragonbox: A New Floating-Point Binary-to-Decimal Conversion
// Algorithm", 2020, with its proof), Schubfach's interval read from a
// single 128-bit product of its upper end and the interval's width from
// the same power of ten's upper word, where Schubfach takes three products.
// The same digits as Schubfach: the fewest in the rounding interval, of
// those the closest to the value, a tie to the even digit. The values whose
// interval is not symmetric (a power of two) and the lowest binades, whose
// power of ten lies past the table, go to Schubfach.
#ifndef OSTREL_SHORTEST_DOUBLE_DIGITS_H
#define OSTREL_SHORTEST_DOUBLE_DIGITS_H

#include "decimal_scaling.h"
#include "shortest_digits.h"
#include "shortest_digits_table.h"

#include <cstdint>

namespace shortest_double_detail {

// Decimal digits taken at once beyond the value's scale: the candidates are
// multiples of 10^(kappa + 1), else of 10^kappa.
constexpr int kappa = 2;
constexpr std::uint64_t big_divisor = 1000, small_divisor = 100;
// The least biased exponent whose power of ten, 10^(kappa - floor(q log10 2)),
// the table holds.
constexpr int least_biased_exponent = 9;
static_assert(kappa - floor_log10_pow2(least_biased_exponent - 1 - 1074) <=
              lowest_power_of_ten + static_cast<int>(sizeof powers_of_ten / sizeof *powers_of_ten) - 1);

// 10^n rounded up to 128 bits: the table's value (floor plus one) but where
// 10^n's 128 bits are exact, for n from 0 to 55 (5^55 < 2^128).
struct power_of_ten {
    std::uint64_t high, low;
};
inline power_of_ten rounded_up_power(int n) {
    const std::uint64_t(&g)[2] = powers_of_ten[n - lowest_power_of_ten];
    return {g[0], g[1] - (n >= 0 && n <= 55 ? 1 : 0)};  // no low word is 0 (decimal_rounding.h)
}

// floor(u g / 2^128), and whether the fraction's first 64 bits are 0.
struct product_integer {
    std::uint64_t integer;
    bool is_integer;
};
inline product_integer upper_product(std::uint64_t u, power_of_ten g) {
    std::uint64_t high, low, low_high, low_low;
    multiply(u, g.high, high, low);
    multiply(u, g.low, low_high, low_low);
    static_cast<void>(low_low);
    const std::uint64_t fraction = low + low_high;
    return {high + (fraction < low ? 1 : 0), fraction == 0};
}

// The power of ten that scales c 2^q, 10^-minus_k, and beta, the shift
// that lines c up with it.
struct scaling {
    int minus_k;
    power_of_ten g;
    int beta;
};
inline scaling scaling_of(int q) {
    const int minus_k = floor_log10_pow2(q) - kappa;
    return {minus_k, rounded_up_power(-minus_k), q + floor_log2_pow10(-minus_k)};
}

// A double above zero with its exponent field at least 1 as c 2^q, c with
// its hidden bit.
struct binary_value {
    std::uint64_t c;
    int q;
};
inline binary_value binary_value_of(std::uint64_t bits) {
    return {(bits & ((std::uint64_t{1} << 52) - 1)) | std::uint64_t{1} << 52, static_cast<int>(bits >> 52) - 1 - 1074};
}

// Of f 2^(q-1) 10^-minus_k, f being 2c less below (0 for the value, 1 for
// the interval's lower end): the parity of the integer part, and whether
// the fraction's first 64 bits are 0. Needed at an end of the interval or a
// tie only, so out of line, its scaling worked out again from the bits: the
// common path keeps its registers, and needs no c or q kept for it.
struct product_parity {
    bool odd, is_integer;
};
[[gnu::noinline]] inline product_parity parity_of_product(std::uint64_t bits, std::uint64_t below) {
    const binary_value value = binary_value_of(bits);
    const std::uint64_t f = 2 * value.c - below;
    const scaling scaled = scaling_of(value.q);
    const int beta = scaled.beta;
    std::uint64_t low_high, low_low, discarded, high;
    multiply(f, scaled.g.low, low_high, low_low);
    multiply(f, scaled.g.high, discarded, high);  // only the product's lower 128 bits count
    high += low_high;
    return {(high >> (64 - beta) & 1) != 0, ((high << beta) | (low_low >> (64 - beta))) == 0};
}

// A distance (below the upper end, in units of 10^-minus_k, at most
// big_divisor + small_divisor / 2) divided by small_divisor by one product:
// the quotient above the product's 16 low bits, which are below the
// multiplier exactly where it divides. Checked for every distance.
constexpr std::uint32_t hundredth_multiplier = 656;  // just above 2^16 / 100
constexpr std::uint32_t low_bits = 0xFFFF;
constexpr bool hundredths_exact() {
    for (std::uint32_t distance = 0; distance <= big_divisor + small_divisor / 2; ++distance) {
        const std::uint32_t product = distance * hundredth_multiplier;
        if (product >> 16 != distance / small_divisor ||
            ((product & low_bits) < hundredth_multiplier) != (distance % small_divisor == 0))
            return false;
    }
    return true;
}
static_assert(hundredths_exact());

// The estimate of the multiple of 10^kappa nearest c 2^q, where the
// estimate's midpoint may be the value's, or next to it: one less where the
// value lies below the midpoint, or on it (a tie) and the digit is odd.
// Rare, so out of line: the common path keeps its registers.
[[gnu::noinline]] inline std::uint64_t nearest_at_midpoint(std::uint64_t bits, std::uint64_t estimate,
                                                           bool approximate_parity) {
    const product_parity value = parity_of_product(bits, 0);
    return value.odd != approximate_parity || (value.is_integer && (estimate & 1) != 0) ? estimate - 1 : estimate;
}

// c 2^q from a double's bits, its interval (c 2^q -+ 2^(q-1)) closed
// where c is even. Digits times 10^exponent, perhaps ending in zeros: 16
// or 17 digits, a multiple of 10^(kappa + 1) given as ten times its
// digits, so that the text never counts them.
[[gnu::always_inline]] inline decimal_digits symmetric_interval_digits(std::uint64_t bits) {
    const auto [c, q] = binary_value_of(bits);
    const scaling scaled = scaling_of(q);
    const int minus_k = scaled.minus_k;
    const bool closed = (c & 1) == 0;
    // The interval's width and upper end, times 10^-minus_k.
    const auto width = static_cast<std::uint64_t>(scaled.g.high >> (63 - scaled.beta));
    const product_integer upper = upper_product((2 * c + 1) << scaled.beta, scaled.g);
    std::uint64_t digits = upper.integer / big_divisor;
    std::uint64_t remainder = upper.integer - big_divisor * digits;
    // A multiple of 10^(kappa + 1) inside. Which way a value goes is as
    // good as random: both ways are worked out and one taken without a
    // branch, which would be mispredicted a third of the time.
    bool inside = remainder < width;
    if (remainder == 0 && upper.is_integer && !closed) {
        // At the upper end, and it is open.
        --digits;
        remainder = big_divisor;
        inside = false;
    } else if (remainder == width) {
        // At the lower end: inside where the lower end is above it, or is it and closed.
        const product_parity lower = parity_of_product(bits, 1);
        inside = lower.odd || (lower.is_integer && closed);
    }
    // The multiple of 10^kappa nearest the value, from its distance below the upper end.
    const auto distance = static_cast<std::uint32_t>(remainder - width / 2 + small_divisor / 2);
    const std::uint32_t product = distance * hundredth_multiplier;
    const std::uint64_t nearest = digits * 10 + (product >> 16);
    if ((product & low_bits) < hundredth_multiplier && !inside) {
        const bool approximate_parity = ((distance ^ (small_divisor / 2)) & 1) != 0;
        return {nearest_at_midpoint(bits, nearest, approximate_parity), minus_k + kappa};
    }
    return {inside ? digits * 10 : nearest, minus_k + kappa};
}

// The rare values that go to Schubfach, out of line: the common path keeps
// its registers.
[[gnu::noinline]] inline decimal_digits schubfach_digits(std::uint64_t bits) {
    return shortest_digits_detail::shortest_digits_of<std::uint64_t, 52, -1074>(bits);
}

}  // namespace shortest_double_detail

// Written here in full, so that the text, its one caller, takes it in
// without a call.
[[gnu::always_inline]] inline decimal_digits shortest_double_digits(std::uint64_t bits) {
    using namespace shortest_double_detail;
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    const int biased = static_cast<int>(bits >> 52);  // the sign bit is 0 above zero
    if (fraction == 0 || biased < least_biased_exponent) return schubfach_digits(bits);
    return symmetric_interval_digits(bits);
}

#endif
