// printf's "%g" with six significant digits, in the C locale, by an exact
// fast path, and what it cannot prove by std::to_chars; the shortest text
// (decimal_text.h) for callers outside the line loop; --digits N from its
// given digits (given_digits.h), and by std::to_chars where they are not
// proven.
#include "number_text.h"

#include "decimal_text.h"
#include "given_digits.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

using namespace decimal_text_detail;

namespace {

// The fast path finds the six digits with one correctly rounded
// multiplication or division by an exact power of ten (times 2^40, which
// keeps it exact), off from the exact scaled value by at most half an ulp:
// 2^-34 of a unit below 2^20 units. Where the scaled value lies 2^-32 (four
// times that) or further from a half-integer, its rounding is the exact
// value's rounding; everywhere else (exact ties among them, which round to
// even) std::to_chars decides, as it does for every value outside the fast
// exponent range.

constexpr int significant_digits = 6;

// Binary exponents whose decimal exponent, or the one above it, can be
// reached by an exact power of ten: 10^(5 - E) with |5 - E| <= 22 for E from
// floor(b log10 2) to one more. Excludes zero, subnormals, infinities, NaN.
constexpr int lowest_fast_binary_exponent = -56;
constexpr int highest_fast_binary_exponent = 89;
constexpr std::size_t exact_power_count = 23;  // 10^0 to 10^22: every power of ten a double holds exactly

// 10^k times 2^scale_exponent, for k from 0 to 22; exact, since 10^k is.
constexpr std::array<double, exact_power_count> powers_of_ten_times(double two_power) {
    std::array<double, exact_power_count> powers{};
    double power = 1;
    for (double& entry : powers) {
        entry = power * two_power;
        power *= 10;
    }
    return powers;
}
// The scaled value is a fixed-point number: six digits, then a fraction of
// 40 bits. Those hold every bit of it: at least 100000 (2^16), it has no
// bit below 2^-36; below 10^6 (2^20), all of it fits in 60 bits.
constexpr int fraction_bits = 40;
constexpr std::array<double, exact_power_count> multipliers = powers_of_ten_times(0x1p40);
constexpr std::array<double, exact_power_count> divisors = powers_of_ten_times(0x1p-40);
constexpr double past_six_digits = 1000000 * 0x1p40;
constexpr std::uint64_t fraction_mask = (std::uint64_t{1} << fraction_bits) - 1;
constexpr std::uint64_t half = std::uint64_t{1} << (fraction_bits - 1);
constexpr std::uint64_t tie_margin = std::uint64_t{1} << (fraction_bits - 32);  // 2^-32

// "000" to "999", each as the characters of a little-endian 24-bit word:
// the text is put together in 64-bit words, character k in byte k.
// The first three digits as characters 0 to 2 of the word; the last three
// as characters 3 to 5, with the two '0's after them.
constexpr std::array<std::uint64_t, 1000> make_digit_triples(int first_character) {
    std::array<std::uint64_t, 1000> triples{};
    for (std::uint32_t value = 0; value < triples.size(); ++value) {
        std::uint64_t characters = ('0' + value / 100) | ('0' + value / 10 % 10) << 8 | ('0' + value % 10) << 16;
        triples[value] = characters << (8 * first_character);
        if (first_character == 3) triples[value] |= all_zero_characters << 48;
    }
    return triples;
}
constexpr std::array<std::uint64_t, 1000> leading_triples = make_digit_triples(0);
constexpr std::array<std::uint64_t, 1000> trailing_triples = make_digit_triples(3);

// floor(log10(2^binary_exponent)), exact for |binary_exponent| < 1650.
constexpr int decimal_exponent_estimate(int binary_exponent) { return (binary_exponent * 78913) >> 18; }

// For each binary exponent of the fast range, looked up rather than worked
// out per number: the decimal exponent estimated, and the factor that
// scales to six digits with it, by which to multiply below 2^20 (where the
// estimate is at most 5) and to divide from there up.
constexpr int fast_exponent_count = highest_fast_binary_exponent - lowest_fast_binary_exponent + 1;
constexpr int first_divided_exponent = 20;
constexpr std::array<int, fast_exponent_count> make_estimates() {
    std::array<int, fast_exponent_count> table{};
    for (int index = 0; index < fast_exponent_count; ++index)
        table[index] = decimal_exponent_estimate(index + lowest_fast_binary_exponent);
    return table;
}
constexpr std::array<int, fast_exponent_count> estimates = make_estimates();
constexpr std::array<double, fast_exponent_count> make_factors() {
    std::array<double, fast_exponent_count> table{};
    for (int index = 0; index < fast_exponent_count; ++index) {
        int shift = significant_digits - 1 - estimates[index];
        table[index] = shift >= 0 ? multipliers[shift] : divisors[-shift];
    }
    return table;
}
constexpr std::array<double, fast_exponent_count> factors = make_factors();
static_assert(decimal_exponent_estimate(first_divided_exponent - 1) == significant_digits - 1 &&
              decimal_exponent_estimate(first_divided_exponent) == significant_digits);

// magnitude * 10^(5 - decimal_exponent) * 2^40, rounded once.
double scaled_to_six_digits(double magnitude, int decimal_exponent) {
    int shift = significant_digits - 1 - decimal_exponent;
    return shift >= 0 ? magnitude * multipliers[shift] : magnitude / divisors[-shift];
}

// 100000..999999 as six characters, the first in the word's lowest byte,
// then two '0's.
std::uint64_t six_digit_characters(std::uint32_t digits) {
    std::uint32_t high = digits / 1000, low = digits % 1000;
    return leading_triples[high] | trailing_triples[low];
}

// The characters with a point after the first count of them, stored as
// eight and eight: the second store overwrites the first's tail.
void store_with_point(char* out, std::uint64_t characters, int count) {
    store_characters(out, characters);
    out[count] = '.';
    store_characters(out + count + 1, characters >> (8 * count));
}

// "%g" picks fixed notation for decimal exponents -4 to 5, then drops
// trailing zeros and a bare point. Stores write past the text's end where
// it is shorter: out has room for them (see format_number).
char* write_fixed(char* out, std::uint64_t characters, int length, int decimal_exponent) {
    if (decimal_exponent < 0) {
        store_characters(out, zero_point_zeros);
        out += 1 - decimal_exponent;
        store_characters(out, characters);
        return out + length;
    }
    int integer_length = decimal_exponent + 1;
    store_with_point(out, characters, integer_length);
    return out + (length > integer_length ? length + 1 : integer_length);
}

char* write_scientific(char* out, std::uint64_t characters, int length, int decimal_exponent) {
    store_with_point(out, characters, 1);
    out += length > 1 ? length + 1 : 1;
    *out++ = 'e';
    // Scientific exponents lie below -4 or from 6 up, so below 6 is below zero.
    bool negative_exponent = decimal_exponent < significant_digits;
    *out++ = negative_exponent ? '-' : '+';
    // Two digits: the fast path only meets exponents from -17 to 28.
    int magnitude = negative_exponent ? -decimal_exponent : decimal_exponent;
    out[0] = static_cast<char>('0' + magnitude / 10);
    out[1] = static_cast<char>('0' + magnitude % 10);
    return out + 2;
}

}  // namespace

char* fast_number_text(char* out, double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    int binary_exponent = static_cast<int>(bits >> 52 & 0x7FF) - 1023;
    if (binary_exponent < lowest_fast_binary_exponent || binary_exponent > highest_fast_binary_exponent)
        return nullptr;
    bool negative = bits >> 63 != 0;
    double magnitude = negative ? -value : value;

    // The estimate is the exponent or one below it; scaled, the magnitude is
    // then at least 100000 units (rounding is monotonic and 100000 is exact),
    // and below 2000000. Scaled again by the exponent above, it is below
    // 200000, and at least 100000 but where the magnitude lies within an ulp
    // below a power of ten: there it may round to just under 100000,
    // 99999.99999..., whose digits round up to 100000 below, which is right
    // for it too.
    auto index = static_cast<std::size_t>(binary_exponent - lowest_fast_binary_exponent);
    int decimal_exponent = estimates[index];
    double scaled = binary_exponent < first_divided_exponent ? magnitude * factors[index] : magnitude / factors[index];
    if (scaled >= past_six_digits) scaled = scaled_to_six_digits(magnitude, ++decimal_exponent);

    // Exact, as said above; where the product is kept in an x87 register,
    // its extra bits below 2^-40 fall away, far inside the margin below.
    auto fixed = static_cast<std::uint64_t>(static_cast<std::int64_t>(scaled));
    std::uint64_t fraction = fixed & fraction_mask;
    // Closer to a half than 2^-32, the exact value may lie on either side of
    // it: not the fast path's to decide.
    if (fraction - (half - tie_margin + 1) < 2 * tie_margin - 1) return nullptr;
    auto digits = static_cast<std::uint32_t>((fixed >> fraction_bits) + (fraction >> (fraction_bits - 1)));
    if (digits == 1000000) {  // 999999.5 and above carry into the next exponent
        digits = 100000;
        ++decimal_exponent;
    }

    std::uint64_t characters = six_digit_characters(digits);
    int length = significant_length(characters);
    *out = '-';
    out += negative ? 1 : 0;
    if (decimal_exponent >= -4 && decimal_exponent < significant_digits)
        return write_fixed(out, characters, length, decimal_exponent);
    return write_scientific(out, characters, length, decimal_exponent);
}

// std::to_chars never fails here: number_text_room holds any of these texts.
char* reference_number_text(char* out, double value) {
    return std::to_chars(out, out + number_text_room, value, std::chars_format::general, significant_digits).ptr;
}

char* shortest_double_text(char* out, double value) { return inline_shortest_double_text(out, value); }

char* shortest_single_text(char* out, float value) { return inline_shortest_single_text(out, value); }

// The digits where given_decimal_digits can prove them, else std::to_chars,
// which never fails here: number_text_room holds any of these texts.
char* given_digits_text(char* out, double value, int digits) {
    const decimal_digits decimal = given_decimal_digits(std::fabs(value), digits);
    if (decimal.first == 0)
        return std::to_chars(out, out + number_text_room, value, std::chars_format::general, digits).ptr;
    *out = '-';
    out += std::signbit(value) ? 1 : 0;
    return decimal_text<most_given_digits, true>(out, decimal.first, decimal.second, digits);
}
