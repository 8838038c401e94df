// printf's "%g" with six significant digits, in the C locale, by an exact
// fast path, and what it cannot prove by std::to_chars; the shortest text
// from the shortest digits (shortest_digits.h); --digits N from its given
// digits (given_digits.h), and by std::to_chars where they are not proven.
#include "number_text.h"

#include "byte_order.h"
#include "decimal_scaling.h"
#include "given_digits.h"
#include "shortest_digits.h"
#include "shortest_double_digits.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

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
constexpr std::uint64_t all_zero_characters = 0x3030303030303030;
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
constexpr std::uint64_t zero_point_zeros = (all_zero_characters & ~std::uint64_t{0xFF00}) | std::uint64_t{'.'} << 8;

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

// The digits up to the last that is not '0': each '0' less '0' is a zero
// byte, and the trailing ones are the word's leading zero bytes. The first
// digit is never '0', so the word is never zero.
int significant_length(std::uint64_t characters) {
    return 8 - static_cast<int>(static_cast<unsigned>(__builtin_clzll(characters - all_zero_characters)) >> 3);
}

// All eight characters at out, whatever the processor's byte order.
void store_characters(char* out, std::uint64_t characters) {
    if (!host_is_little_endian) characters = __builtin_bswap64(characters);
    std::memcpy(out, &characters, sizeof characters);
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

namespace {

// "0000" to "9999", each as the characters of a little-endian 32-bit word.
constexpr std::array<std::uint32_t, 10000> make_digit_quads() {
    std::array<std::uint32_t, 10000> quads{};
    for (std::uint32_t value = 0; value < quads.size(); ++value)
        quads[value] = ('0' + value / 1000) | ('0' + value / 100 % 10) << 8 | ('0' + value / 10 % 10) << 16 |
                       static_cast<std::uint32_t>('0' + value % 10) << 24;
    return quads;
}
constexpr std::array<std::uint32_t, 10000> digit_quads = make_digit_quads();

// The eight decimal digits of value (below 10^8, with leading zeros) as
// characters, the first in the word's lowest byte.
std::uint64_t eight_digit_characters(std::uint64_t value) {
    const std::uint64_t high = value * 109951163 >> 40;  // value / 10^4, exact below 10^8
    return digit_quads[high] | std::uint64_t{digit_quads[value - high * 10000]} << 32;
}

// "e-324" to "e+308", every exponent a double's text has, each as the
// characters of a word, the first in its lowest byte, and its length in
// the highest: one store writes it.
constexpr int least_decimal_exponent = -324;
constexpr std::size_t exponent_count = 308 - least_decimal_exponent + 1;
constexpr std::array<std::uint64_t, exponent_count> make_exponent_texts() {
    std::array<std::uint64_t, exponent_count> texts{};
    for (std::size_t index = 0; index < exponent_count; ++index) {
        const int exponent = static_cast<int>(index) + least_decimal_exponent;
        const int magnitude = exponent < 0 ? -exponent : exponent;
        std::uint64_t text = 'e' | std::uint64_t(exponent < 0 ? '-' : '+') << 8;
        int length = 2;
        if (magnitude >= 100) text |= std::uint64_t('0' + magnitude / 100) << 8 * length++;
        text |= std::uint64_t('0' + magnitude / 10 % 10) << 8 * length++;
        text |= std::uint64_t('0' + magnitude % 10) << 8 * length++;
        texts[index] = text | std::uint64_t(length) << 56;
    }
    return texts;
}
constexpr auto exponent_texts = make_exponent_texts();

// The decimal digits of a value above zero: from its bits, 1233/4096 being
// just above log10 2, then one comparison.
int digit_count(std::uint64_t value) {
    int bits = 64 - __builtin_clzll(value);
    int estimate = bits * 1233 >> 12;  // the count, or 1 less
    return estimate + (value >= integer_powers_of_ten[static_cast<std::size_t>(estimate)] ? 1 : 0);
}

// digits times 10^exponent in "%g"'s notation, as std::to_chars writes it:
// fixed for decimal exponents from -4 to below fixed_below (6 for the
// shortest text, N for --digits N), else d.ddde+XX; trailing zeros dropped.
// digits has at most max_digits digits (9 or 17) and may end in zeros.
// Padded with '0's to max_digits, they are one character and two words
// of eight, which need no lengths to store: the text's end drops the
// '0's. Writes past the text's end, within number_text_room.
// Integer parts of 9 digits and more come only with --digits 9 and up
// (long_integers).
template <int max_digits, bool long_integers>
char* decimal_text(char* out, std::uint64_t digits, int exponent, int fixed_below) {
    constexpr std::uint32_t ten_to_the_8 = 100000000;
    constexpr std::uint64_t first_unit = integer_powers_of_ten[max_digits - 1];
    // The shortest digits of a normal value, zeros included, have all
    // max_digits digits or one fewer; others may have fewer still.
    constexpr std::uint64_t one_fewer = integer_powers_of_ten[max_digits - 2];
    const int count = digits >= first_unit ? max_digits : digits >= one_fewer ? max_digits - 1 : digit_count(digits);
    const int decimal_exponent = exponent + count - 1;
    const std::uint64_t padded = digits * integer_powers_of_ten[static_cast<std::size_t>(max_digits - count)];
    // The first nine digits, below 2^32, and the last eight where there are 17.
    const auto leading = static_cast<std::uint32_t>(max_digits > 9 ? padded / ten_to_the_8 : padded);
    const std::uint32_t first = leading / ten_to_the_8;
    const std::uint64_t middle = eight_digit_characters(leading - first * ten_to_the_8);
    const std::uint64_t last =
        max_digits > 9 ? eight_digit_characters(padded % ten_to_the_8) : all_zero_characters;
    const int length = last != all_zero_characters     ? 9 + significant_length(last)
                       : middle != all_zero_characters ? 1 + significant_length(middle)
                                                       : 1;
    const char first_character = static_cast<char>('0' + first);
    if (decimal_exponent < -4 || decimal_exponent >= fixed_below) {
        out[0] = first_character;
        out[1] = '.';
        store_characters(out + 2, middle);
        store_characters(out + 10, last);
        out += length > 1 ? length + 1 : 1;
        const std::uint64_t exponent_text =
            exponent_texts[static_cast<std::size_t>(decimal_exponent - least_decimal_exponent)];
        store_characters(out, exponent_text);
        return out + (exponent_text >> 56);
    }
    if (decimal_exponent < 0) {  // "0.", then zeros up to the first digit
        store_characters(out, zero_point_zeros);
        out += 1 - decimal_exponent;
    }
    out[0] = first_character;
    store_characters(out + 1, middle);
    store_characters(out + 9, last);
    if (decimal_exponent < 0) return out + length;
    const int integer_length = decimal_exponent + 1;
    // Where the digits end before the point, the padding's '0's lead up to it.
    if (length <= integer_length) return out + integer_length;
    if constexpr (long_integers) {
        if (integer_length > 8) {  // the fraction's digits move up one in memory
            std::memmove(out + integer_length + 1, out + integer_length,
                         static_cast<std::size_t>(length - integer_length));
            out[integer_length] = '.';
            return out + length + 1;
        }
    }
    // The point after integer_length characters; from there each moves up one.
    out[integer_length] = '.';
    store_characters(out + integer_length + 1, middle >> (8 * (integer_length - 1)));
    store_characters(out + 10, last);
    return out + length + 1;
}

// The sign, then the text of the magnitude from its shortest digits; zero,
// infinities and NaNs as std::to_chars spells them: "0", "inf", "nan". Bits is the unsigned
// type of Real's size; one comparison of the magnitude's bits tells those
// apart: less one, zero wraps past the infinity's.
template <typename Real, typename Bits, decimal_digits (*shortest_digits)(Bits), int max_digits>
char* shortest_text(char* out, Real value) {
    Bits bits;
    std::memcpy(&bits, &value, sizeof bits);
    constexpr int sign_shift = 8 * sizeof bits - 1;
    constexpr Bits fraction = (Bits{1} << (std::numeric_limits<Real>::digits - 1)) - 1;
    constexpr Bits infinity = ~Bits{0} >> 1 & ~fraction;
    const Bits magnitude = bits & ~(Bits{1} << sign_shift);
    *out = '-';
    out += bits >> sign_shift;
    if (static_cast<Bits>(magnitude - 1) >= infinity - 1) {
        if (magnitude == 0) {
            *out = '0';
            return out + 1;
        }
        std::memcpy(out, magnitude == infinity ? "inf" : "nan", 4);  // with the terminating zero, past the end
        return out + 3;
    }
    const decimal_digits decimal = shortest_digits(magnitude);
    return decimal_text<max_digits, false>(out, decimal.first, decimal.second, significant_digits);
}

}  // namespace

char* shortest_double_text(char* out, double value) {
    return shortest_text<double, std::uint64_t, shortest_double_digits, 17>(out, value);
}

char* shortest_single_text(char* out, float value) {
    return shortest_text<float, std::uint32_t, shortest_single_digits, 9>(out, value);
}

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
