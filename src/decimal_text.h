// Decimal digits times a power of ten as text, eight characters to a
// machine word, and from them the shortest text of a double or a single.
// Written here in full, so that the line loop that writes a stack's text
// takes the shortest text in without a call: the call, its saved
// registers and its return cost 13 of --exact's 197 instructions a line.
#ifndef OSTREL_DECIMAL_TEXT_H
#define OSTREL_DECIMAL_TEXT_H

#include "byte_order.h"
#include "decimal_scaling.h"
#include "shortest_digits.h"
#include "shortest_double_digits.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <limits>

// Taken in whole by the line loop; a coverage build keeps each a function
// of its own, so that a branch is counted once, not once for each copy.
#ifdef OSTREL_COVERAGE
#define OSTREL_TAKEN_IN inline
#else
#define OSTREL_TAKEN_IN [[gnu::always_inline]] inline
#endif

namespace decimal_text_detail {

// The characters of a text put together in 64-bit words, character k in
// byte k.
inline constexpr std::uint64_t all_zero_characters = 0x3030303030303030;
inline constexpr std::uint64_t zero_point_zeros =
    (all_zero_characters & ~std::uint64_t{0xFF00}) | std::uint64_t{'.'} << 8;  // "0.000000"

// The digits up to the last that is not '0': each '0' less '0' is a zero
// byte, and the trailing ones are the word's leading zero bytes. The first
// digit is never '0', so the word is never zero.
inline int significant_length(std::uint64_t characters) {
    return 8 - static_cast<int>(static_cast<unsigned>(__builtin_clzll(characters - all_zero_characters)) >> 3);
}

// All eight characters at out, whatever the processor's byte order.
inline void store_characters(char* out, std::uint64_t characters) {
    if (!host_is_little_endian) characters = __builtin_bswap64(characters);
    std::memcpy(out, &characters, sizeof characters);
}

// "0000" to "9999", each as the characters of a little-endian 32-bit word.
constexpr std::array<std::uint32_t, 10000> make_digit_quads() {
    std::array<std::uint32_t, 10000> quads{};
    for (std::uint32_t value = 0; value < quads.size(); ++value)
        quads[value] = ('0' + value / 1000) | ('0' + value / 100 % 10) << 8 | ('0' + value / 10 % 10) << 16 |
                       static_cast<std::uint32_t>('0' + value % 10) << 24;
    return quads;
}
inline constexpr std::array<std::uint32_t, 10000> digit_quads = make_digit_quads();

// The eight decimal digits of value (below 10^8, with leading zeros) as
// characters, the first in the word's lowest byte.
inline std::uint64_t eight_digit_characters(std::uint64_t value) {
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
inline constexpr auto exponent_texts = make_exponent_texts();

// The decimal digits of a value above zero: from its bits, 1233/4096 being
// just above log10 2, then one comparison.
inline int digit_count(std::uint64_t value) {
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
OSTREL_TAKEN_IN char* decimal_text(char* out, std::uint64_t digits, int exponent, int fixed_below) {
    constexpr std::uint32_t ten_to_the_8 = 100000000;
    constexpr std::uint64_t first_unit = integer_powers_of_ten[max_digits - 1];
    // The shortest digits of a normal value, zeros included, have all
    // max_digits digits or one fewer; others may have fewer still.
    constexpr std::uint64_t one_fewer = integer_powers_of_ten[max_digits - 2];
    int count;
    std::uint64_t padded;
    if (digits >= one_fewer) {
        // Which of the two is as good as random: the difference's sign bit,
        // as a number, so that no branch (mispredicted a third of the
        // time) chooses. Digits are far below 2^63.
        const auto fewer = static_cast<unsigned>((digits - first_unit) >> 63);
        count = max_digits - static_cast<int>(fewer);
        padded = digits * (1 + 9 * fewer);
    } else {
        count = digit_count(digits);
        padded = digits * integer_powers_of_ten[static_cast<std::size_t>(max_digits - count)];
    }
    const int decimal_exponent = exponent + count - 1;
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
OSTREL_TAKEN_IN char* shortest_text(char* out, Real value) {
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
    constexpr int fixed_below = 6;  // as "%g" has it with its six digits
    return decimal_text<max_digits, false>(out, decimal.first, decimal.second, fixed_below);
}

}  // namespace decimal_text_detail

// The same texts as shortest_double_text and shortest_single_text
// (number_text.h), for a line loop to take in.
OSTREL_TAKEN_IN char* inline_shortest_double_text(char* out, double value) {
    using namespace decimal_text_detail;
    return shortest_text<double, std::uint64_t, shortest_double_digits, 17>(out, value);
}
OSTREL_TAKEN_IN char* inline_shortest_single_text(char* out, float value) {
    using namespace decimal_text_detail;
    return shortest_text<float, std::uint32_t, shortest_single_digits, 9>(out, value);
}

#endif
