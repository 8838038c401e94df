#include "cell_statistics.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr const char* statistics_names[statistics_field_count] = {"cnt", "min", "max", "sum", "average"};

// A count rounded once to the precision.
double count_in(std::uint64_t count, stack_precision precision) {
    return precision == single_precision ? static_cast<float>(count) : static_cast<double>(count);
}

// The sum, or the mean where count is not 0, of the values, with the
// infinities that an exact sum cannot hold.
double infinite_or(const cell_statistics& statistics, double finite) {
    if (statistics.positive_infinity && statistics.negative_infinity) return std::numeric_limits<double>::quiet_NaN();
    if (statistics.positive_infinity) return std::numeric_limits<double>::infinity();
    if (statistics.negative_infinity) return -std::numeric_limits<double>::infinity();
    return finite;
}

// How far a running sum of count values whose magnitudes add up to
// magnitudes can lie from their exact sum, each step rounded by
// unit_roundoff, and the result once more: gamma(count + 1) times the
// magnitudes (Higham, Accuracy and Stability of Numerical Algorithms, 4.2).
// Unbounded once count times unit_roundoff reaches 1.
double running_sum_error(std::uint64_t count, double magnitudes, double unit_roundoff) {
    const double steps = static_cast<double>(count) + 1;
    if (steps * unit_roundoff >= 1) return std::numeric_limits<double>::infinity();
    // Widened by a millionth for the rounding of magnitudes itself.
    return steps * unit_roundoff / (1 - steps * unit_roundoff) * magnitudes * (1 + 1e-6);
}

// Whether a header value lies within error of the exact value, which is
// known rounded to a double: that rounding's half unit is allowed too.
bool within(double header, double exact, double error) {
    if (!std::isfinite(exact)) return header == exact;
    return std::fabs(header - exact) <= error + std::fabs(exact) * 0x1p-53;
}

constexpr std::uint64_t nodata_bits = 0xC0C3878000000000;  // -9999
constexpr std::uint64_t exponent_bits = 0x7FF0000000000000;

// The cell's value, and its bits as a double's.
template <stack_precision precision>
double cell_value(const unsigned char* cell, std::uint64_t& bits) {
    const double value = decode_number(cell, precision);
    std::memcpy(&bits, &value, sizeof bits);
    return value;
}

// An infinity or a NaN: the rare cells, by the loop's side.
void add_special(cell_statistics& statistics, double value) {
    if (std::isnan(value)) {
        ++statistics.nan_cells;
        return;
    }
    statistics.least = std::min(statistics.least, value);
    statistics.greatest = std::max(statistics.greatest, value);
    (value > 0 ? statistics.positive_infinity : statistics.negative_infinity) = true;
}

// The cells by their bits: -9999 has one pattern, and only infinities and
// NaNs have an exponent of all ones. Counts and extremes in registers; the
// magnitudes in buckets, flushed into the record's sums after each run of
// as many cells as they take.
template <stack_precision precision>
void add_cells_of(cell_statistics& statistics, const unsigned char* first, const unsigned char* last) {
    constexpr std::size_t size = number_size(precision);
    static magnitude_buckets buckets;  // 32 KiB: zero, and emptied again by each flush
    std::uint64_t cells = 0, nodata_cells = 0, groups = 0;
    const std::uint64_t nan_cells_before = statistics.nan_cells;
    double least = statistics.least, greatest = statistics.greatest;
    constexpr std::size_t run = additions_between_flushes * size;
    for (const unsigned char* run_end = first; first != last; first = run_end) {
        run_end = first + std::min(run, static_cast<std::size_t>(last - first));
        cells += static_cast<std::size_t>(run_end - first) / size;
        for (const unsigned char* cell = first; cell != run_end; cell += size) {
            std::uint64_t bits = 0;
            const double value = cell_value<precision>(cell, bits);
            if (bits == nodata_bits) {
                ++nodata_cells;
            } else if ((bits & exponent_bits) != exponent_bits) {
                least = std::min(least, value);  // no NaN here: the plain comparison serves
                greatest = std::max(greatest, value);
                add_to_buckets(buckets, groups, bits);
            } else {
                add_special(statistics, value);
            }
        }
        flush_buckets(buckets, groups, statistics.positive_sum, statistics.negative_sum);
    }
    statistics.values += cells - nodata_cells - (statistics.nan_cells - nan_cells_before);
    statistics.nodata_cells += nodata_cells;
    statistics.least = std::min(statistics.least, least);
    statistics.greatest = std::max(statistics.greatest, greatest);
}

}  // namespace

void add_cells(cell_statistics& statistics, const unsigned char* first, const unsigned char* last,
               stack_precision precision) {
    if (precision == single_precision)
        add_cells_of<single_precision>(statistics, first, last);
    else
        add_cells_of<double_precision>(statistics, first, last);
}

cell_statistics empty_statistics() {
    return cell_statistics{0,
                           0,
                           0,
                           std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity(),
                           empty_exact_sum(),
                           empty_exact_sum(),
                           false,
                           false};
}


void computed_statistics(const cell_statistics& statistics, stack_precision precision,
                         double (&fields)[statistics_field_count]) {
    fields[count_field] = count_in(statistics.values, precision);
    if (statistics.values == 0) {
        fields[least_field] = fields[greatest_field] = fields[average_field] = recognised_nodata_value;
        fields[sum_field] = 0;
        return;
    }
    fields[least_field] = statistics.least;
    fields[greatest_field] = statistics.greatest;
    const exact_sum sum = difference_of(statistics.positive_sum, statistics.negative_sum);
    fields[sum_field] = infinite_or(statistics, rounded_sum(sum, precision));
    fields[average_field] = infinite_or(statistics, rounded_quotient(sum, statistics.values, precision));
}

std::string differing_statistics(const cell_statistics& statistics, const double (&header)[statistics_field_count],
                                 stack_precision precision, double unit_roundoff) {
    double computed[statistics_field_count];  // sum and average as exactly as a double holds them
    computed_statistics(statistics, double_precision, computed);
    const double magnitudes =
        rounded_sum(sum_of(statistics.positive_sum, statistics.negative_sum), double_precision);
    const double sum_error = running_sum_error(statistics.values, magnitudes, unit_roundoff);
    const bool counted = statistics.values != 0;
    const bool agree[statistics_field_count] = {
        header[count_field] == count_in(statistics.values, precision),
        header[least_field] == computed[least_field],
        header[greatest_field] == computed[greatest_field],
        within(header[sum_field], computed[sum_field], sum_error),
        counted ? within(header[average_field], computed[average_field],
                         sum_error / static_cast<double>(statistics.values))
                : header[average_field] == computed[average_field],
    };
    std::string names;
    for (std::size_t field = 0; field < statistics_field_count; ++field)
        if (!agree[field]) names += std::string(" ") + statistics_names[field];
    return names;
}
