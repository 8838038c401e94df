// The statistics a stack's header holds (cnt, min, max, sum, average),
// computed from its cells: the cells that are neither nodata (-9999) nor
// NaN, their count, extremes, exact sum and mean.
#ifndef OSTREL_CELL_STATISTICS_H
#define OSTREL_CELL_STATISTICS_H

#include "exact_sum.h"
#include "stack_format.h"

#include <cstdint>
#include <string>

struct cell_statistics {
    std::uint64_t values;  // cells with a value
    std::uint64_t nodata_cells, nan_cells;
    double least, greatest;
    exact_sum positive_sum, negative_sum;  // of the finite values' magnitudes, by sign
    bool positive_infinity, negative_infinity;
};

cell_statistics empty_statistics();

// Adds the cells in [first, last), numbers of the precision as the file
// holds them.
void add_cells(cell_statistics& statistics, const unsigned char* first, const unsigned char* last,
               stack_precision precision);

// The five header fields, in the header's order.
constexpr std::size_t statistics_field_index = 6;
constexpr std::size_t statistics_field_count = 5;
enum statistics_field { count_field, least_field, greatest_field, sum_field, average_field };

// The header's cnt, min, max, sum and average as the cells give them, each
// rounded once to the precision. Where no cell has a value, cnt and sum are
// 0 and min, max and average -9999, the nodata value. Cells of both
// infinities have a NaN sum and average; of one, that infinity.
void computed_statistics(const cell_statistics& statistics, stack_precision precision,
                         double (&fields)[statistics_field_count]);

// The names of the header's statistics that the cells do not bear out,
// each after a space: cnt, min and max where they differ from the computed
// ones; sum and average where they lie further from the exact ones than a
// running sum of the cells, rounded at each step by unit_roundoff (2^-24
// for singles), can stray. Empty where all agree.
std::string differing_statistics(const cell_statistics& statistics, const double (&header)[statistics_field_count],
                                 stack_precision precision, double unit_roundoff);

#endif
