#include "decimal_reader.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// ASCII letters in either case; the C locale has no others.
char lower_case(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

const char* past_digits(const char* at, const char* last) {
    while (at != last && is_digit(*at)) ++at;
    return at;
}

// Digits with an optional point, at least one digit, then an optional
// exponent with digits: the decimal form strtod reads, and nothing after it.
bool is_decimal(const char* at, const char* last) {
    const char* integer_end = past_digits(at, last);
    const char* fraction_end = integer_end != last && *integer_end == '.' ? past_digits(integer_end + 1, last)
                                                                           : integer_end;
    if (fraction_end - at == (integer_end != fraction_end ? 1 : 0)) return false;  // no digit at all
    if (fraction_end == last) return true;
    if (lower_case(*fraction_end) != 'e') return false;
    const char* exponent = fraction_end + 1;
    if (exponent != last && (*exponent == '+' || *exponent == '-')) ++exponent;
    return exponent != last && past_digits(exponent, last) == last;
}

// Whether [at, last) starts with word, in any case; where it does, at moves past it.
bool take_word(const char*& at, const char* last, const char* word) {
    const char* from = at;
    for (; *word != '\0'; ++word, ++from)
        if (from == last || lower_case(*from) != *word) return false;
    at = from;
    return true;
}

bool is_infinity(const char* at, const char* last) {
    return take_word(at, last, "inf") && (at == last || (take_word(at, last, "inity") && at == last));
}

// "nan", or "nan(" letters, digits and underscores ")", as strtod takes it.
bool is_nan(const char* at, const char* last) {
    if (!take_word(at, last, "nan")) return false;
    if (at == last) return true;
    if (*at != '(' || last[-1] != ')') return false;
    for (++at; at != last - 1; ++at)
        if (!is_digit(*at) && (lower_case(*at) < 'a' || lower_case(*at) > 'z') && *at != '_') return false;
    return true;
}

// A decimal text the checks above passed, rounded once to the nearest value
// of the precision: by the standard library's std::from_chars where it has
// one for floating point and the processor rounds each double operation to
// a double (32-bit x86's x87 unit works in extended precision, and
// libstdc++'s fast path then rounds some texts twice), else by the C
// library's strtof and strtod (the
// program never sets a locale, so they read in the C locale). From_chars
// leaves a number out of range unset: the C library says whether it is zero
// or infinite.
template <typename number>
void read_decimal(const char* first, const char* last, number& value) {
#if defined(__cpp_lib_to_chars) && FLT_EVAL_METHOD == 0
    if (std::from_chars(first, last, value).ec == std::errc{}) return;
#endif
    std::string text(first, last);
    if constexpr (sizeof(number) == sizeof(float))
        value = std::strtof(text.c_str(), nullptr);
    else
        value = std::strtod(text.c_str(), nullptr);
}

// A special value by its bits, so that every platform writes the same bytes:
// the infinity, or the quiet NaN (no payload), with the sign.
template <typename number>
number special(bool is_nan, bool negative) {
    using bits_type = std::conditional_t<sizeof(number) == sizeof(float), std::uint32_t, std::uint64_t>;
    constexpr int fraction_bits = sizeof(number) == sizeof(float) ? 23 : 52;
    constexpr bits_type exponent_all_ones = (bits_type{1} << (8 * sizeof(number) - 1)) - (bits_type{1} << fraction_bits);
    bits_type bits = exponent_all_ones | (is_nan ? bits_type{1} << (fraction_bits - 1) : 0) |
                     (negative ? bits_type{1} << (8 * sizeof(number) - 1) : 0);
    number value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

template <typename number>
decimal_result read_number(const char* first, const char* last, number& value) {
    const bool negative = first != last && *first == '-';
    const char* start = first != last && (*first == '-' || *first == '+') ? first + 1 : first;
    if (is_decimal(start, last)) {
        read_decimal(negative ? first : start, last, value);  // from_chars takes a minus sign but no plus sign
        return std::isinf(value) ? too_large : decimal_read;
    }
    const bool nan = is_nan(start, last);
    if (!nan && !is_infinity(start, last)) return not_a_number;
    value = special<number>(nan, negative);
    return decimal_read;
}

}  // namespace

decimal_result read_single(const char* first, const char* last, float& value) {
    return read_number(first, last, value);
}

decimal_result read_double(const char* first, const char* last, double& value) {
    return read_number(first, last, value);
}
