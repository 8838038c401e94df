#include "cell_statistics.h"

#include <cmath>
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

}  // namespace

cell_statistics empty_statistics() {
    return cell_statistics{0, 0, 0, std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                           empty_exact_sum(), 0, false, false};
}

void add_cells(cell_statistics& statistics, const unsigned char* first, const unsigned char* last,
               stack_precision precision) {
    const std::size_t size = number_size(precision);
    for (const unsigned char* cell = first; cell != last; cell += size) {
        const double value = decode_number(cell, precision);
        if (value == recognised_nodata_value) {
            ++statistics.nodata_cells;
            continue;
        }
        if (std::isnan(value)) {
            ++statistics.nan_cells;
            continue;
        }
        ++statistics.values;
        if (value < statistics.least) statistics.least = value;  // no NaN here: plain comparisons, no calls
        if (value > statistics.greatest) statistics.greatest = value;
        statistics.magnitude_sum += std::fabs(value);
        if (std::isfinite(value))
            add_exactly(statistics.finite_sum, value);
        else
            (value > 0 ? statistics.positive_infinity : statistics.negative_infinity) = true;
    }
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
    fields[sum_field] = infinite_or(statistics, rounded_sum(statistics.finite_sum, precision));
    fields[average_field] =
        infinite_or(statistics, rounded_quotient(statistics.finite_sum, statistics.values, precision));
}

std::string differing_statistics(const cell_statistics& statistics, const double (&header)[statistics_field_count],
                                 stack_precision precision, double unit_roundoff) {
    double computed[statistics_field_count];  // sum and average as exactly as a double holds them
    computed_statistics(statistics, double_precision, computed);
    const double sum_error = running_sum_error(statistics.values, statistics.magnitude_sum, unit_roundoff);
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
