// printf's "%g" with six significant digits, in the C locale.
#include "number_text.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace {

// The fast path finds the six digits with one correctly rounded
// multiplication or division by an exact power of ten, which is off from
// the exact scaled value by at most half an ulp (2^-34 below 2^20). Where
// the scaled value lies further than tie_margin (four times that) from a
// half-integer, its rounding is the exact value's rounding; everywhere else
// (exact ties among them, which round to even) std::to_chars decides, as it
// does for every value outside the fast exponent range.

constexpr int significant_digits = 6;
constexpr double past_six_digits = 1000000.0;
constexpr double tie_margin = 0x1p-32;
// 10^0 to 10^22, every power of ten a double holds exactly: the fast
// exponent range below never needs a shift beyond them.
constexpr double exact_powers_of_ten[] = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22,
};
constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The two characters of 0..99.
const char* digit_pair(std::size_t value) { return digit_pairs + 2 * value; }

char* reference_number_text(char* out, double value) {
    // Never fails: 16 characters hold any "%g" text of 6 significant digits.
    return std::to_chars(out, out + 16, value, std::chars_format::general, 6).ptr;
}

// Binary exponents whose decimal exponent, or the one above it, can be
// reached by an exact power of ten: 10^(5 - E) with |5 - E| <= 22 for E from
// floor(b log10 2) to one more. Excludes zero, subnormals, infinities, NaN.
constexpr int lowest_fast_binary_exponent = -56;
constexpr int highest_fast_binary_exponent = 89;

// floor(log10(2^binary_exponent)), exact for |binary_exponent| < 1650.
int decimal_exponent_estimate(int binary_exponent) { return (binary_exponent * 78913) >> 18; }

// magnitude * 10^(5 - decimal_exponent), rounded once.
double scaled_to_six_digits(double magnitude, int decimal_exponent) {
    int shift = significant_digits - 1 - decimal_exponent;
    return shift >= 0 ? magnitude * exact_powers_of_ten[shift] : magnitude / exact_powers_of_ten[-shift];
}

// The six significant digits of a positive magnitude with a binary exponent
// in the fast range, rounded to nearest, as 100000..999999, and the decimal
// exponent of the first; 0 when the fast path cannot prove them.
std::uint32_t six_digits(double magnitude, int binary_exponent, int& decimal_exponent) {
    // The estimate is the exponent or one below it; scaled, the magnitude is
    // then at least 100000 (rounding is monotonic and 100000 is exact), and
    // below 2000000. Scaled again by the exponent above, it is below 200000,
    // and at least 100000 but where the magnitude lies within an ulp below a
    // power of ten: there it may round to just under 100000, 99999.99999...,
    // whose digits round up to 100000 below, which is right for it too.
    decimal_exponent = decimal_exponent_estimate(binary_exponent);
    double scaled = scaled_to_six_digits(magnitude, decimal_exponent);
    if (scaled >= past_six_digits) scaled = scaled_to_six_digits(magnitude, ++decimal_exponent);

    auto digits = static_cast<std::uint32_t>(scaled);
    double fraction = scaled - digits;  // exact: both lie in one binade of 2^-33 steps
    if (fraction > 0.5 - tie_margin && fraction < 0.5 + tie_margin) return 0;
    if (fraction > 0.5) ++digits;
    if (digits == 1000000) {  // 999999.5 and above carry into the next exponent
        digits = 100000;
        ++decimal_exponent;
    }
    return digits;
}

// Digits 100000..999999 as six characters at out.
void write_six_digits(char* out, std::uint32_t digits) {
    std::memcpy(out, digit_pair(digits / 10000), 2);
    std::memcpy(out + 2, digit_pair(digits / 100 % 100), 2);
    std::memcpy(out + 4, digit_pair(digits % 100), 2);
}

int significant_length(const char* six) {
    int length = significant_digits;
    while (six[length - 1] == '0') --length;
    return length;
}

// "%g" picks fixed notation for decimal exponents -4 to 5, then drops
// trailing zeros and a bare point. Copies are of a fixed size, as many
// characters as the longest text needs, past the text's end where it is
// shorter: out has room for them (see format_number), six has its zeros.
char* write_fixed(char* out, const char* six, int length, int decimal_exponent) {
    if (decimal_exponent < 0) {
        std::copy_n("0.000", 5, out);
        out += 1 - decimal_exponent;
        std::memcpy(out, six, 6);
        return out + length;
    }
    int integer_length = decimal_exponent + 1;
    std::memcpy(out, six, 6);
    if (length <= integer_length) return out + integer_length;
    out[integer_length] = '.';
    std::memcpy(out + integer_length + 1, six + integer_length, 5);
    return out + length + 1;
}

char* write_scientific(char* out, const char* six, int length, int decimal_exponent) {
    out[0] = six[0];
    out[1] = '.';
    std::memcpy(out + 2, six + 1, 5);
    out += length > 1 ? length + 1 : 1;
    *out++ = 'e';
    // Scientific exponents lie below -4 or from 6 up, so below 6 is below zero.
    bool negative_exponent = decimal_exponent < significant_digits;
    *out++ = negative_exponent ? '-' : '+';
    // Two digits: the fast path only meets exponents from -17 to 28.
    int magnitude = negative_exponent ? -decimal_exponent : decimal_exponent;
    std::memcpy(out, digit_pair(static_cast<std::size_t>(magnitude)), 2);
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
    int decimal_exponent = 0;
    std::uint32_t digits = six_digits(negative ? -value : value, binary_exponent, decimal_exponent);
    if (digits == 0) return nullptr;

    char six[16] = {};  // six digits, and room for the fixed-size copies to read past them
    write_six_digits(six, digits);
    int length = significant_length(six);
    if (negative) *out++ = '-';
    if (decimal_exponent >= -4 && decimal_exponent < significant_digits)
        return write_fixed(out, six, length, decimal_exponent);
    return write_scientific(out, six, length, decimal_exponent);
}

char* format_number(char* out, double value) {
    char* end = fast_number_text(out, value);
    return end != nullptr ? end : reference_number_text(out, value);
}
