#include "decimal_reader.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <system_error>

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Where the number itself starts, past one optional sign, or nullptr where
// the text can hold no number strtod would read whole: empty, a second
// sign, a leading space, or hexadecimal (which both readers below would
// otherwise read, or read in part).
const char* unsigned_start(const char* first, const char* last) {
    if (first != last && (*first == '-' || *first == '+')) ++first;
    if (first == last) return nullptr;
    char lead = *first;
    bool starts_number = is_digit(lead) || lead == '.' || lead == 'i' || lead == 'I' || lead == 'n' || lead == 'N';
    bool hexadecimal = lead == '0' && last - first > 1 && (first[1] == 'x' || first[1] == 'X');
    return starts_number && !hexadecimal ? first : nullptr;
}

// The C library's reader, for the values the standard library's leaves
// unset (out of range: zero or infinity) and where the standard library has
// no floating-point from_chars. The program never sets a locale, so it
// reads in the C locale.
template <typename number>
bool read_with_c_library(const char* first, const char* last, number& value) {
    std::string text(first, last);
    char* end = nullptr;
    if constexpr (sizeof(number) == sizeof(float))
        value = std::strtof(text.c_str(), &end);
    else
        value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size();
}

template <typename number>
bool read_whole(const char* first, const char* last, number& value) {
#if defined(__cpp_lib_to_chars)
    auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (end != last) return false;
    if (error == std::errc::result_out_of_range) return read_with_c_library(first, last, value);
    return error == std::errc{};
#else
    return read_with_c_library(first, last, value);
#endif
}

// The quiet NaN, by its bits, so that every platform writes the same bytes.
template <typename number>
number quiet_nan(bool negative) {
    if constexpr (sizeof(number) == sizeof(float)) {
        std::uint32_t bits = negative ? 0xFFC00000u : 0x7FC00000u;
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    } else {
        std::uint64_t bits = negative ? 0xFFF8000000000000u : 0x7FF8000000000000u;
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
}

template <typename number>
decimal_result read_number(const char* first, const char* last, number& value) {
    const char* start = unsigned_start(first, last);
    if (start == nullptr) return not_a_number;
    const bool negative = *first == '-';
    // from_chars takes a minus sign but no plus sign.
    if (!read_whole(negative ? first : start, last, value)) return not_a_number;
    if (std::isnan(value)) value = quiet_nan<number>(negative);
    if (std::isinf(value) && *start != 'i' && *start != 'I') return too_large;  // a number, not inf
    return decimal_read;
}

}  // namespace

decimal_result read_single(const char* first, const char* last, float& value) {
    return read_number(first, last, value);
}

decimal_result read_double(const char* first, const char* last, double& value) {
    return read_number(first, last, value);
}
