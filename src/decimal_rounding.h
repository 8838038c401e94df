// Rounding a decimal number, taken apart into at most 19 digits and a
// power of ten, once to the nearest single or double, a tie to the even one:
// Clinger's exact case and Eisel and Lemire's product. Shared by the reader
// of any text and the reader of cell lines; each decides most numbers and
// says where it does not, for a slower, general way.
#ifndef OSTREL_DECIMAL_ROUNDING_H
#define OSTREL_DECIMAL_ROUNDING_H

#include "decimal_scaling.h"
#include "shortest_digits_table.h"

#include <cfloat>
#include <cstdint>
#include <cstring>

namespace decimal_rounding {

constexpr int most_digits = 19;         // the most that are taken as one number: 10^19 - 1 fits 64 bits
constexpr int exponent_limit = 100000;  // far past either range: an exponent's digits are counted no further

// What reading a number of each precision needs to know of it.
template <typename number>
struct binary_format;
template <>
struct binary_format<double> {
    using bits_type = std::uint64_t;
    static constexpr int mantissa_bits = 52, minimum_exponent = -1023, infinite_power = 0x7FF;
    // w 10^q with w below 2^64 is 0 below the first and infinite above the second
    static constexpr int smallest_power = -342, largest_power = 308;
    // where w 10^q can fall exactly between two doubles
    static constexpr int least_tie_power = -4, greatest_tie_power = 23;
    // Clinger's exact case: w and 10^|q| both exact, so that one operation rounds once
    static constexpr std::uint64_t exact_digits_limit = std::uint64_t{1} << 53;
    static constexpr int exact_power_limit = 22;
};
template <>
struct binary_format<float> {
    using bits_type = std::uint32_t;
    static constexpr int mantissa_bits = 23, minimum_exponent = -127, infinite_power = 0xFF;
    static constexpr int smallest_power = -65, largest_power = 38;
    static constexpr int least_tie_power = -17, greatest_tie_power = 10;
    static constexpr std::uint64_t exact_digits_limit = std::uint64_t{1} << 24;
    static constexpr int exact_power_limit = 10;
};

// 10^0 to 10^22, each exact in a double (and to 10^10 in a float).
constexpr double exact_powers_of_ten[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                          1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Where each operation is rounded to its type (not on the x87 unit, which
// rounds to extended precision first), one operation on exact values is
// rounded once.
constexpr bool rounds_each_operation = FLT_EVAL_METHOD == 0;

// A value the fast ways decided, or that they did not.
template <typename number>
struct rounded {
    number value;
    bool decided;
};

// Clinger's fast path (1990): digits and a power of ten that the precision
// holds exactly, one multiplication or division. Undecided where it does
// not apply.
template <typename number>
rounded<number> round_exactly_held(std::uint64_t digits, int q, bool negative) {
    using format = binary_format<number>;
    if (!rounds_each_operation || digits > format::exact_digits_limit || q < -format::exact_power_limit ||
        q > format::exact_power_limit)
        return {0, false};
    auto value = static_cast<number>(digits);
    auto power = static_cast<number>(exact_powers_of_ten[q < 0 ? -q : q]);
    value = q < 0 ? value / power : value * power;
    return {negative ? -value : value, true};
}

template <typename number>
number from_bits(typename binary_format<number>::bits_type bits, bool negative) {
    bits |= static_cast<typename binary_format<number>::bits_type>(negative) << (8 * sizeof(number) - 1);
    number value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// The table holds floor(10^q 2^s) + 1: its truncation is one less, and
// where no low word is 0, one less in the low word alone.
constexpr bool no_low_word_is_zero() {
    std::size_t index = 0;
    while (index != sizeof powers_of_ten / sizeof powers_of_ten[0] && powers_of_ten[index][1] != 0) ++index;
    return index == sizeof powers_of_ten / sizeof powers_of_ten[0];
}
static_assert(no_low_word_is_zero(), "a power's truncation would borrow from its high word");

// 10^q's leading 128 bits as Eisel and Lemire's product needs them: the
// table's, rounded up, for q from -27 to -1; truncated for the others.
inline void power_for_product(int q, std::uint64_t& high, std::uint64_t& low) {
    high = powers_of_ten[q - lowest_power_of_ten][0];
    low = powers_of_ten[q - lowest_power_of_ten][1];
    if (q < -27 || q >= 0) --low;
}

// Eisel and Lemire, "Number Parsing at a Gigabyte per Second" (2021): w 10^q
// from the leading bits of w times 10^q's leading 128 bits, which decide the
// rounding for every w below 2^64 (Mushtak and Lemire, 2023) but where the
// low word of the product is all ones outside q from -27 to 55. False there,
// and where the table holds no 10^q. Digits not 0.
template <typename number>
rounded<number> round_by_product(std::uint64_t digits, int q, bool negative) {
    using format = binary_format<number>;
    using bits_type = typename format::bits_type;
    if (q < format::smallest_power || q > format::largest_power)
        return {from_bits<number>(q < 0 ? 0 : static_cast<bits_type>(format::infinite_power) << format::mantissa_bits,
                                  negative),
                true};
    if (q < lowest_power_of_ten) return {0, false};
    std::uint64_t power_high = 0, power_low = 0, high = 0, low = 0;
    power_for_product(q, power_high, power_low);
    const int leading_zeros = __builtin_clzll(digits);
    const std::uint64_t w = digits << leading_zeros;
    multiply(w, power_high, high, low);
    constexpr std::uint64_t precision_mask = ~std::uint64_t{0} >> (format::mantissa_bits + 3);
    if ((high & precision_mask) == precision_mask) {  // the next word can still carry into the bits kept
        std::uint64_t second_high = 0, second_low = 0;
        multiply(w, power_low, second_high, second_low);
        low += second_high;
        high += low < second_high ? 1 : 0;
        // Too close to call: no text is known to come here, nor proven not to.
        if (low == ~std::uint64_t{0} && (q < -27 || q > 55)) return {0, false};  // GCOVR_EXCL_BR_LINE
    }
    const int upper_bit = static_cast<int>(high >> 63);
    const int shift = upper_bit + 64 - format::mantissa_bits - 3;
    std::uint64_t mantissa = high >> shift;
    int power = floor_log2_pow10(q) + 63 + upper_bit - leading_zeros - format::minimum_exponent;
    if (power <= 0) {  // subnormal, or rounding up to the least normal
        mantissa = -power + 1 >= 64 ? 0 : mantissa >> (-power + 1);
        mantissa = (mantissa + (mantissa & 1)) >> 1;
        return {from_bits<number>(static_cast<bits_type>(mantissa), negative), true};
    }
    // Exactly between two values only where no bit below was dropped: then to even.
    if (low <= 1 && q >= format::least_tie_power && q <= format::greatest_tie_power && (mantissa & 3) == 1 &&
        mantissa << shift == high)
        mantissa &= ~std::uint64_t{1};
    mantissa = (mantissa + (mantissa & 1)) >> 1;
    if (mantissa >= std::uint64_t{2} << format::mantissa_bits) {
        mantissa >>= 1;
        ++power;
    }
    mantissa &= ~(std::uint64_t{1} << format::mantissa_bits);
    if (power >= format::infinite_power) {
        power = format::infinite_power;
        mantissa = 0;
    }
    return {from_bits<number>(static_cast<bits_type>(mantissa | static_cast<std::uint64_t>(power)
                                                                    << format::mantissa_bits),
                              negative),
            true};
}

// digits 10^q, with the sign, where the fast ways decide it: zero, Clinger's
// exact case, or Eisel and Lemire's product.
template <typename number>
rounded<number> round_decimal(std::uint64_t digits, int q, bool negative) {
    if (digits == 0) return {negative ? -number{0} : number{0}, true};
    rounded<number> exact = round_exactly_held<number>(digits, q, negative);
    return exact.decided ? exact : round_by_product<number>(digits, q, negative);
}

}  // namespace decimal_rounding

#endif
