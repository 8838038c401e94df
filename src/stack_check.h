// --check: a stack must hold exactly the cells its header counts,
// stack_ncols × nrows × numlevels, and no trailing fragment. The header's
// statistics are not checked: what a model counts in them is not fixed.
#ifndef OSTREL_STACK_CHECK_H
#define OSTREL_STACK_CHECK_H

#include "stack_format.h"

#include <cstdint>
#include <string>

enum header_count_problem { count_whole, count_not_whole, count_negative, count_too_large };

// Whether the header's three counts count its cells: each a whole number
// from 0 up, their product within 64 bits. cells is set where they do;
// count is the first that does not: 0 stack_ncols, 1 nrows, 2 numlevels.
header_count_problem count_problem(const unsigned char (&probe)[probe_size], stack_precision precision,
                                   std::uint64_t& cells, std::size_t& count);

// The cells the header counts, where its three counts are whole numbers from
// 0 up whose product fits in 64 bits; otherwise what is wrong with them, as
// a message about path. cells is set only when the fault is empty.
std::string header_count_fault(const unsigned char (&probe)[probe_size], stack_precision precision,
                               const std::string& path, std::uint64_t& cells);

// What a stack of cells_held cells and trailing_bytes bytes more lacks
// against the header's count of cells, as a message about path; empty when
// it holds exactly those cells.
std::string cell_count_fault(const unsigned char (&probe)[probe_size], stack_precision precision,
                             const std::string& path, std::uint64_t cells, std::uint64_t cells_held,
                             std::uint64_t trailing_bytes);

// Where a header count has more than six digits, the pointer to --exact
// that a cell count fault on the way back ends with: the default text
// rounds such a count (2000001 is written 2e+06). Otherwise empty.
std::string rounded_count_hint(const unsigned char (&probe)[probe_size], stack_precision precision);

// A number of the precision as --exact writes it.
std::string exact_number_text(double value, stack_precision precision);

// 12000 as "12,000": a count a person reads at a glance.
std::string grouped(std::uint64_t count);

// The cells and the trailing bytes a stack of file_size bytes holds.
void cells_in_size(long long file_size, stack_precision precision, std::uint64_t& cells_held,
                   std::uint64_t& trailing_bytes);

#endif
