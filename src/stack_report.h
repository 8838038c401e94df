// --info: what a stack holds, as a short report instead of a conversion,
// one "name<TAB>value" line a fact: its format, its header, its cells
// counted, and their statistics computed and held against the header's.
#ifndef OSTREL_STACK_REPORT_H
#define OSTREL_STACK_REPORT_H

#include "cell_statistics.h"
#include "stack_format.h"

#include <cstdint>
#include <string>

// A stack read whole, in constant memory: a binary stack of either
// precision, or an ascii stack, whose numbers are read as doubles.
struct stack_report {
    const char* format;  // "single", "double" or "ascii stack"
    stack_precision precision;
    unsigned char header[probe_size];
    std::uint64_t cells, trailing_bytes;
    cell_statistics statistics;
};

enum report_result { report_read, report_not_a_stack, report_read_failed };

// Reads the input from its start to its end. An input that begins with
// "stack_ncols" is read as an ascii stack, any other as a binary one; one
// that is neither has its fault, a line about input_name, in fault.
report_result read_stack_report(int input, const std::string& input_name, stack_report& report, std::string& fault);

// The report's lines, each ended by a LF.
std::string report_text(const stack_report& report);

// Where the stack does not hold the cells its header counts, what it
// lacks, as --check says it; else empty.
std::string report_count_fault(const stack_report& report, const std::string& input_name);

#endif
