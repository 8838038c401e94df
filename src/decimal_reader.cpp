#include "decimal_reader.h"

#include "decimal_rounding.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

namespace {

using namespace decimal_rounding;

// A decimal text as the reader takes it apart in one pass: at most 19
// significant digits as a whole number, and the power of ten of the last.
struct decimal_parts {
    std::uint64_t digits;
    int exponent;
    bool negative;
    bool too_many_digits;  // more than 19 significant digits: read another way
};

bool is_digit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// ASCII letters in either case; the C locale has no others.
char lower_case(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Digits from at on, taken into value (which a 20th digit overflows: the
// caller counts them); returns where they end.
const char* take_digits(const char* at, const char* last, std::uint64_t& value) {
    for (; at != last && is_digit(*at); ++at) value = value * 10 + static_cast<std::uint64_t>(*at - '0');
    return at;
}

const char* past_zeros(const char* at, const char* last) {
    while (at != last && *at == '0') ++at;
    return at;
}

// The exponent after the "e" at e: its sign and digits, added to exponent;
// returns where they end, or e itself where no digit follows.
const char* scan_exponent(const char* e, const char* last, long& exponent) {
    const char* at = e + 1;
    const bool negative = at != last && *at == '-';
    if (at != last && (*at == '-' || *at == '+')) ++at;
    const char* digits_start = at;
    long written = 0;
    for (; at != last && is_digit(*at); ++at)
        if (written < exponent_limit) written = written * 10 + (*at - '0');
    if (at == digits_start) return e;
    exponent += negative ? -written : written;
    return at;
}

// The decimal form strtod reads, from at on: an optional sign, digits with
// an optional point, at least one digit, then an optional exponent with
// digits. Read in one pass; returns where it ends, or nullptr where no
// digit comes.
const char* scan_decimal(const char* at, const char* last, decimal_parts& parts) {
    const bool negative = at != last && *at == '-';
    if (at != last && (*at == '-' || *at == '+')) ++at;
    std::uint64_t digits = 0;
    const char* integer_start = at;
    const char* significant_start = past_zeros(at, last);  // zeros in front move no point
    at = take_digits(significant_start, last, digits);
    long significant = at - significant_start, exponent = 0;
    bool any_digit = at != integer_start;
    if (at != last && *at == '.') {
        const char* fraction_start = ++at;
        const char* taken_from = significant == 0 ? past_zeros(at, last) : at;
        at = take_digits(taken_from, last, digits);
        significant += at - taken_from;
        exponent = fraction_start - at;
        any_digit |= at != fraction_start;
    }
    if (!any_digit) return nullptr;
    if (at != last && lower_case(*at) == 'e') at = scan_exponent(at, last, exponent);
    parts = decimal_parts{digits, static_cast<int>(exponent), negative, significant > most_digits};
    return at;
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

// The value where the fast ways decide it.
template <typename number>
bool decide(const decimal_parts& parts, number& value) {
    if (parts.too_many_digits) return false;
    rounded<number> result = round_decimal<number>(parts.digits, parts.exponent, parts.negative);
    value = result.value;
    return result.decided;
}

template <typename number>
decimal_result read_number(const char* first, const char* last, number& value) {
    decimal_parts parts{};
    if (scan_decimal(first, last, parts) == last) {
        if (!decide(parts, value))
            read_decimal(parts.negative ? first : first + (*first == '+'), last, value);  // from_chars takes no plus
        return std::isinf(value) ? too_large : decimal_read;
    }
    const char* start = first != last && (*first == '-' || *first == '+') ? first + 1 : first;
    const bool nan = is_nan(start, last);
    if (!nan && !is_infinity(start, last)) return not_a_number;
    value = special<number>(nan, *first == '-');  // a NaN or an infinity: the text is not empty
    return decimal_read;
}

}  // namespace

decimal_result read_single(const char* first, const char* last, float& value) {
    return read_number(first, last, value);
}

decimal_result read_double(const char* first, const char* last, double& value) {
    return read_number(first, last, value);
}
