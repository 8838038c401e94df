#include "decimal_lines.h"

#include "byte_order.h"
#include "decimal_rounding.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

using namespace decimal_rounding;

constexpr long most_digits = 19;        // 10^19 - 1 fits 64 bits
constexpr int exponent_limit = 100000;  // far past either range: counted no further

bool is_digit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// Eight bytes of text, as they stand, in one word, the first byte lowest.
std::uint64_t eight_bytes(const char* at) {
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    return file_byte_order(word);
}

// Whether all eight bytes of the word are decimal digits.
bool are_eight_digits(std::uint64_t word) {
    return ((word & 0xF0F0F0F0F0F0F0F0) | (((word + 0x0606060606060606) & 0xF0F0F0F0F0F0F0F0) >> 4)) ==
           0x3333333333333333;
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

// Digits from at on, taken into value (which a 20th digit overflows: the
// caller counts them); returns where they end, at the first byte that is no
// digit, which the text's last byte is.
const char* take_digits(const char* at, std::uint64_t& value) {
    for (std::uint64_t word = eight_bytes(at); are_eight_digits(word); word = eight_bytes(at)) {
        value = value * 100000000 + eight_digits_value(word);
        at += 8;
    }
    for (; is_digit(*at); ++at) value = value * 10 + static_cast<std::uint64_t>(*at - '0');
    return at;
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

// The line at at, where it is a plain number and its line end: its value,
// and where the next line starts; nullptr for any other line.
template <typename number>
const char* read_line(const char* at, number& value) {
    const bool negative = *at == '-';
    at += negative ? 1 : 0;
    const char* const start = at;
    std::uint64_t digits = 0;
    at = take_digits(at, digits);
    long count = at - start;
    int exponent = 0;
    if (*at == '.') {
        const char* const fraction = ++at;
        at = take_digits(at, digits);
        exponent = static_cast<int>(fraction - at);
        count += at - fraction;
    }
    if (count == 0 || (count > most_digits && significant_digits(start, count) > most_digits)) return nullptr;
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
