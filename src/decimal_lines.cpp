#include "decimal_lines.h"

#include "byte_order.h"
#include "decimal_rounding.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

using namespace decimal_rounding;

bool is_digit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// Eight bytes of text, as they stand, in one word, the first byte lowest.
std::uint64_t eight_bytes(const char* at) {
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    return file_byte_order(word);
}

// The bytes of the word that are no decimal digit: the top bit of each set.
std::uint64_t non_digit_bytes(std::uint64_t word) {
    const std::uint64_t offset = word ^ 0x3030303030303030;  // a digit's byte is now below 10
    return (((offset & 0x7F7F7F7F7F7F7F7F) + 0x7676767676767676) | offset) & 0x8080808080808080;
}

// The eight digits' value, the first the most significant, by three
// multiplications instead of eight.
std::uint32_t eight_digits_value(std::uint64_t word) {
    constexpr std::uint64_t mask = 0x000000FF000000FF;
    word -= 0x3030303030303030;
    word = word * 10 + (word >> 8);
    return static_cast<std::uint32_t>(
        ((word & mask) * (100 + (1000000ULL << 32)) + ((word >> 16) & mask) * (1 + (10000ULL << 32))) >> 32);
}

// The first count bytes of the word (1 to 8 digits) as a number: moved to
// the word's end, behind zeros, and read as eight.
std::uint32_t leading_digits_value(std::uint64_t word, int count) {
    const int zeros = 8 * (8 - count);
    return eight_digits_value(word << zeros | (0x3030303030303030 & ~(~std::uint64_t{0} << zeros)));
}

// Digits from at on, taken into value (which a 20th digit overflows: the
// caller counts them); returns where they end, at the first byte that is no
// digit, which the text's last byte is. Eight bytes at a time.
[[gnu::always_inline]] inline const char* take_digits(const char* at, std::uint64_t& value) {
    for (;;) {
        const std::uint64_t word = eight_bytes(at);
        const std::uint64_t stops = non_digit_bytes(word);
        if (stops == 0) {
            value = value * 100000000 + eight_digits_value(word);
            at += 8;
            continue;
        }
        const int count = __builtin_ctzll(stops) >> 3;
        if (count == 0) return at;
        value = value * integer_powers_of_ten[count] + leading_digits_value(word, count);
        return at + count;
    }
}

// The exponent's sign and digits after an "e", added to exponent; returns
// where they end, or nullptr where no digit comes.
const char* take_exponent(const char* at, int& exponent) {
    const bool negative = *at == '-';
    at += *at == '-' || *at == '+' ? 1 : 0;
    if (!is_digit(*at)) return nullptr;
    int written = 0;
    for (; is_digit(*at); ++at)
        if (written < exponent_limit) written = written * 10 + (*at - '0');
    exponent += negative ? -written : written;
    return at;
}

// Significant digits among count digits from start on: those after the
// zeros in front, which move no point.
long significant_digits(const char* start, long count) {
    for (; *start == '0' || *start == '.'; ++start) count -= *start == '0' ? 1 : 0;
    return count;
}

// A number's digits as whole number, its power of ten, and where it ends;
// end nullptr where it is no number the one-pass reader takes.
struct decimal_run {
    const char* end;
    std::uint64_t digits;
    int exponent;
};

// A number of eight digits or more before any point, or of more than 19
// digits in all, by runs of digits. Out of line, and shared by both
// precisions: few lines come here.
[[gnu::noinline]] decimal_run take_long_number(const char* at) {
    const char* const start = at;
    std::uint64_t digits = 0;
    int exponent = 0;
    at = take_digits(at, digits);
    long count = at - start;
    if (*at == '.') {
        const char* const fraction = ++at;
        at = take_digits(at, digits);
        exponent = static_cast<int>(fraction - at);
        count += at - fraction;
    }
    return {count > most_digits && significant_digits(start, count) > most_digits ? nullptr : at, digits, exponent};
}

// take_long_number's digits and power of ten, and where they end.
const char* take_long_number(const char* at, std::uint64_t& digits, int& exponent) {
    const decimal_run run = take_long_number(at);
    digits = run.digits;
    exponent = run.exponent;
    return run.end;
}

// The digits, with an optional point, from at on: their value and power of
// ten, and where they end; nullptr where there is no digit or more than 19
// significant ones. With fewer than eight before the point, the point is
// dropped from the first word, and the digits are read a word at a time,
// up to three.
[[gnu::always_inline]] inline const char* take_number(const char* at, std::uint64_t& digits, int& exponent) {
    const std::uint64_t leading = eight_bytes(at);
    const std::uint64_t leading_stops = non_digit_bytes(leading);
    if (leading_stops == 0) return take_long_number(at, digits, exponent);
    const int integer_count = __builtin_ctzll(leading_stops) >> 3;
    if (at[integer_count] != '.') {
        if (integer_count == 0) return nullptr;
        digits = leading_digits_value(leading, integer_count);
        return at + integer_count;
    }
    const std::uint64_t integer_bytes = (std::uint64_t{1} << 8 * integer_count) - 1;
    const std::uint64_t first = (leading & integer_bytes) | (eight_bytes(at + 1) & ~integer_bytes);
    const std::uint64_t first_stops = non_digit_bytes(first);
    int count = 8;  // digits in all, the point aside
    if (first_stops != 0) {
        count = __builtin_ctzll(first_stops) >> 3;
        if (count == 0) return nullptr;
        digits = leading_digits_value(first, count);
    } else {
        const std::uint64_t second = eight_bytes(at + 9);
        const std::uint64_t second_stops = non_digit_bytes(second);
        digits = eight_digits_value(first);
        if (second_stops != 0) {
            const int second_count = __builtin_ctzll(second_stops) >> 3;
            if (second_count != 0)
                digits = digits * integer_powers_of_ten[second_count] + leading_digits_value(second, second_count);
            count += second_count;
        } else {
            const std::uint64_t third = eight_bytes(at + 17);
            const std::uint64_t third_stops = non_digit_bytes(third);
            const int third_count = third_stops == 0 ? 8 : __builtin_ctzll(third_stops) >> 3;
            if (third_count > most_digits - 16) return take_long_number(at, digits, exponent);  // zeros in front?
            digits = digits * 100000000 + eight_digits_value(second);
            if (third_count != 0)
                digits = digits * integer_powers_of_ten[third_count] + leading_digits_value(third, third_count);
            count += 8 + third_count;
        }
    }
    exponent = integer_count - count;
    return at + count + 1;
}

// The line at at, where it is a plain number and its line end: its value,
// and where the next line starts; nullptr for any other line.
template <typename number>
const char* read_line(const char* at, number& value) {
    const bool negative = *at == '-';
    at += negative ? 1 : 0;
    std::uint64_t digits = 0;
    int exponent = 0;
    if ((at = take_number(at, digits, exponent)) == nullptr) return nullptr;
    if ((*at | 0x20) == 'e' && (at = take_exponent(at + 1, exponent)) == nullptr) return nullptr;
    if (*at == '\n')
        ++at;
    else if (*at == '\r' && at[1] == '\n')
        at += 2;
    else
        return nullptr;
    const rounded<number> result = round_decimal<number>(digits, exponent, negative);
    if (!result.decided || std::isinf(result.value)) return nullptr;
    value = result.value;
    return at;
}

template <typename number, typename bits_type>
const char* read_lines(const char* at, unsigned char*& out, const unsigned char* out_end) {
    unsigned char* to = out;
    for (number value; out_end - to >= static_cast<long>(sizeof value); to += sizeof value) {
        const char* next = read_line(at, value);
        if (next == nullptr) break;
        bits_type bits;
        std::memcpy(&bits, &value, sizeof bits);
        bits = file_byte_order(bits);
        std::memcpy(to, &bits, sizeof bits);
        at = next;
    }
    out = to;
    return at;
}

}  // namespace

const char* read_single_lines(const char* first, unsigned char*& out, const unsigned char* out_end) {
    return read_lines<float, std::uint32_t>(first, out, out_end);
}

const char* read_double_lines(const char* first, unsigned char*& out, const unsigned char* out_end) {
    return read_lines<double, std::uint64_t>(first, out, out_end);
}
