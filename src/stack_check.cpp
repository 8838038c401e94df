#include "stack_check.h"

#include "number_text.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

constexpr std::size_t count_fields[] = {0, 1, 11};
constexpr const char* count_names[] = {"stack_ncols", "nrows", "numlevels"};
constexpr double two_to_the_64 = 18446744073709551616.0;

double header_field(const unsigned char (&probe)[probe_size], stack_precision precision, std::size_t field) {
    return decode_number(probe + field * number_size(precision), precision);
}

// A header field as --exact writes it: what the header holds, not a rounding of it.
std::string field_text(const unsigned char (&probe)[probe_size], stack_precision precision, std::size_t field) {
    return exact_number_text(header_field(probe, precision, field), precision);
}

// "stack_ncols 50 × nrows 40 × numlevels 6"
std::string counts_text(const unsigned char (&probe)[probe_size], stack_precision precision) {
    std::string text;
    for (std::size_t index = 0; index < std::size(count_fields); ++index)
        text += std::string(index != 0 ? " × " : "") + count_names[index] + " " +
                field_text(probe, precision, count_fields[index]);
    return text;
}

}  // namespace

std::string exact_number_text(double value, stack_precision precision) {
    char text[number_text_room];
    char* end = precision == single_precision ? shortest_single_text(text, static_cast<float>(value))
                                              : shortest_double_text(text, value);
    return std::string(text, end);
}

std::string grouped(std::uint64_t count) {
    std::string digits = std::to_string(count), text;
    for (std::size_t at = 0; at < digits.size(); ++at) {
        if (at != 0 && (digits.size() - at) % 3 == 0) text += ',';
        text += digits[at];
    }
    return text;
}

header_count_problem count_problem(const unsigned char (&probe)[probe_size], stack_precision precision,
                                   std::uint64_t& cells, std::size_t& count) {
    std::uint64_t product = 1;
    bool overflows = false, counts_nothing = false;
    for (std::size_t index = 0; index < std::size(count_fields); ++index) {
        double value = header_field(probe, precision, count_fields[index]);
        count = index;
        if (!std::isfinite(value) || value != std::floor(value)) return count_not_whole;
        if (value < 0) return count_negative;
        // Converted only where it fits: past 2^64 the conversion is undefined.
        overflows |= value >= two_to_the_64 ||
                     __builtin_mul_overflow(product, static_cast<std::uint64_t>(value), &product);
        counts_nothing |= value == 0;
    }
    // No cells at all where one count is 0, however large the others.
    if (overflows && !counts_nothing) return count_too_large;
    cells = counts_nothing ? 0 : product;
    return count_whole;
}

std::string header_count_fault(const unsigned char (&probe)[probe_size], stack_precision precision,
                               const std::string& path, std::uint64_t& cells) {
    std::size_t count = 0;
    header_count_problem problem = count_problem(probe, precision, cells, count);
    if (problem == count_whole) return "";
    if (problem == count_too_large)
        return path + ": its header's " + counts_text(probe, precision) + " is more cells than 64 bits count";
    std::string fault = path + ": its header's " + count_names[count] + " is " +
                        field_text(probe, precision, count_fields[count]);
    return fault + (problem == count_not_whole ? ", not a whole number" : ", not a whole number from 0 up");
}

std::string cell_count_fault(const unsigned char (&probe)[probe_size], stack_precision precision,
                             const std::string& path, std::uint64_t cells, std::uint64_t cells_held,
                             std::uint64_t trailing_bytes) {
    if (cells_held == cells && trailing_bytes == 0) return "";
    std::string held = path + " holds " + grouped(cells_held) + (cells_held == 1 ? " cell" : " cells");
    if (trailing_bytes != 0)
        held += " and " + std::to_string(trailing_bytes) + (trailing_bytes == 1 ? " byte" : " bytes") + " more";
    return held + "; its header says " + grouped(cells) + " (" + counts_text(probe, precision) + ")";
}

std::string rounded_count_hint(const unsigned char (&probe)[probe_size], stack_precision precision) {
    const bool rounded = std::any_of(std::begin(count_fields), std::end(count_fields), [&](std::size_t field) {
        return header_field(probe, precision, field) >= 1e6;  // more than six digits
    });
    return rounded ? "; the default text rounds a count of more than six digits: write the text with --exact" : "";
}

void cells_in_size(long long file_size, stack_precision precision, std::uint64_t& cells_held,
                   std::uint64_t& trailing_bytes) {
    auto after_header = static_cast<std::uint64_t>(file_size) - header_field_count * number_size(precision);
    cells_held = after_header / number_size(precision);
    trailing_bytes = after_header % number_size(precision);
}
