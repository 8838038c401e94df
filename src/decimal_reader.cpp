#include "decimal_reader.h"

#include "byte_order.h"
#include "decimal_scaling.h"
#include "shortest_digits_table.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

namespace {

bool is_digit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// ASCII letters in either case; the C locale has no others.
char lower_case(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// A decimal text as the reader takes it apart in one pass: at most 19
// significant digits as a whole number, and the power of ten of the last.
struct decimal_parts {
    std::uint64_t digits;
    int exponent;
    bool negative;
    bool too_many_digits;  // more than 19 significant digits: read another way
};

constexpr int most_digits = 19;         // 10^19 - 1 fits 64 bits
constexpr int exponent_limit = 100000;  // far past either range: counted no further

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
// caller counts them); returns where they end. Always inlined: called on
// every line, twice, it would otherwise reload its constants each time.
[[gnu::always_inline]] inline const char* take_digits(const char* at, const char* last, std::uint64_t& value) {
    while (last - at >= 8 && are_eight_digits(eight_bytes(at))) {
        value = value * 100000000 + eight_digits_value(eight_bytes(at));
        at += 8;
    }
    for (; at != last && is_digit(*at); ++at) value = value * 10 + static_cast<std::uint64_t>(*at - '0');
    return at;
}

[[gnu::always_inline]] inline const char* past_zeros(const char* at, const char* last) {
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
[[gnu::always_inline]] inline const char* scan_decimal(const char* at, const char* last, decimal_parts& parts) {
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

// Clinger's fast path (1990): digits and a power of ten that the precision
// holds exactly, one multiplication or division. False where it does not apply.
template <typename number>
bool read_exactly_held(const decimal_parts& parts, number& value) {
    using format = binary_format<number>;
    if (!rounds_each_operation || parts.digits > format::exact_digits_limit ||
        parts.exponent < -format::exact_power_limit || parts.exponent > format::exact_power_limit)
        return false;
    auto digits = static_cast<number>(parts.digits);
    auto power = static_cast<number>(exact_powers_of_ten[parts.exponent < 0 ? -parts.exponent : parts.exponent]);
    digits = parts.exponent < 0 ? digits / power : digits * power;
    value = parts.negative ? -digits : digits;
    return true;
}

template <typename number>
number from_bits(typename binary_format<number>::bits_type bits, bool negative) {
    bits |= static_cast<typename binary_format<number>::bits_type>(negative) << (8 * sizeof(number) - 1);
    number value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// 10^q's leading 128 bits as Eisel and Lemire's product needs them: the
// table's, rounded up, for q from -27 to -1; truncated for the others.
void power_for_product(int q, std::uint64_t& high, std::uint64_t& low) {
    high = powers_of_ten[q - lowest_power_of_ten][0];
    low = powers_of_ten[q - lowest_power_of_ten][1];
    if (q >= -27 && q < 0) return;
    high -= low == 0 ? 1 : 0;
    --low;
}

// Eisel and Lemire, "Number Parsing at a Gigabyte per Second" (2021): w 10^q
// from the leading bits of w times 10^q's leading 128 bits, which decide the
// rounding for every w below 2^64 (Mushtak and Lemire, 2023) but where the
// low word of the product is all ones outside q from -27 to 55. False there,
// and where the table holds no 10^q.
template <typename number>
bool read_by_product(const decimal_parts& parts, number& value) {
    using format = binary_format<number>;
    using bits_type = typename format::bits_type;
    const int q = parts.exponent;
    if (q < format::smallest_power || q > format::largest_power) {
        value = from_bits<number>(q < 0 ? 0 : static_cast<bits_type>(format::infinite_power) << format::mantissa_bits,
                                  parts.negative);
        return true;
    }
    if (q < lowest_power_of_ten) return false;
    std::uint64_t power_high = 0, power_low = 0, high = 0, low = 0;
    power_for_product(q, power_high, power_low);
    const int leading_zeros = __builtin_clzll(parts.digits);
    const std::uint64_t w = parts.digits << leading_zeros;
    multiply(w, power_high, high, low);
    constexpr std::uint64_t precision_mask = ~std::uint64_t{0} >> (format::mantissa_bits + 3);
    if ((high & precision_mask) == precision_mask) {  // the next word can still carry into the bits kept
        std::uint64_t second_high = 0, second_low = 0;
        multiply(w, power_low, second_high, second_low);
        low += second_high;
        high += low < second_high ? 1 : 0;
        if (low == ~std::uint64_t{0} && (q < -27 || q > 55)) return false;
    }
    const int upper_bit = static_cast<int>(high >> 63);
    const int shift = upper_bit + 64 - format::mantissa_bits - 3;
    std::uint64_t mantissa = high >> shift;
    int power = floor_log2_pow10(q) + 63 + upper_bit - leading_zeros - format::minimum_exponent;
    if (power <= 0) {  // subnormal, or rounding up to the least normal
        mantissa = -power + 1 >= 64 ? 0 : mantissa >> (-power + 1);
        mantissa = (mantissa + (mantissa & 1)) >> 1;
        value = from_bits<number>(static_cast<bits_type>(mantissa), parts.negative);
        return true;
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
    value = from_bits<number>(static_cast<bits_type>(mantissa | static_cast<std::uint64_t>(power)
                                                                   << format::mantissa_bits),
                              parts.negative);
    return true;
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

// The value where the fast algorithms decide it: zero, Clinger's exact
// case, or Eisel and Lemire's product. False where none does.
template <typename number>
bool decide(const decimal_parts& parts, number& value) {
    if (parts.too_many_digits) return false;
    if (parts.digits != 0) return read_exactly_held(parts, value) || read_by_product(parts, value);
    value = parts.negative ? -number{0} : number{0};
    return true;
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
    value = special<number>(nan, first != last && *first == '-');
    return decimal_read;
}

template <typename number>
const char* read_line(const char* first, const char* last, number& value) {
    decimal_parts parts{};
    const char* end = scan_decimal(first, last, parts);
    if (end == nullptr || end == last || !decide(parts, value) || std::isinf(value)) return nullptr;
    if (*end == '\n') return end + 1;
    return *end == '\r' && last - end >= 2 && end[1] == '\n' ? end + 2 : nullptr;
}

}  // namespace

decimal_result read_single(const char* first, const char* last, float& value) {
    return read_number(first, last, value);
}

decimal_result read_double(const char* first, const char* last, double& value) {
    return read_number(first, last, value);
}

const char* read_single_line(const char* first, const char* last, float& value) {
    return read_line(first, last, value);
}

const char* read_double_line(const char* first, const char* last, double& value) {
    return read_line(first, last, value);
}
