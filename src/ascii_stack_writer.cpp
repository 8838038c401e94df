#include "ascii_stack_writer.h"

#include "number_text.h"
#include "platform_io.h"
#include "progress.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace {

constexpr std::string_view header_labels[header_field_count] = {
    "stack_ncols\t", "nrows\t", "xll\t", "yll\t", "cellsize\t", "nodata_value\t",
    "cnt\t",         "min\t",   "max\t", "sum\t", "average\t",  "numlevels\t",
};

constexpr std::size_t line_capacity = 64;
constexpr std::size_t read_block_size = std::size_t{64} * 1024;

// Label and number on one line, built in place at line; returns its length.
std::size_t number_line(char (&line)[line_capacity], std::string_view label, double value) {
    std::copy_n(label.data(), label.size(), line);
    char* end = format_number(line + label.size(), value);
    *end++ = '\n';
    return static_cast<std::size_t>(end - line);
}

// Writes the numbers in [first, last), a whole number of them, a line each,
// each handed over with one write. One loop for each precision, so that no
// cell pays for the choice.
template <stack_precision precision>
bool write_cells(int output, const unsigned char* first, const unsigned char* last, double nodata,
                 std::string_view nodata_line) {
    char line[line_capacity];
    for (; first != last; first += number_size(precision)) {
        double value = decode_number(first, precision);
        bool written = value == nodata ? write_all(output, nodata_line.data(), nodata_line.size())
                                       : write_all(output, line, number_line(line, {}, value));
        if (!written) return false;
    }
    return true;
}

}  // namespace

conversion_result write_text_stack(const unsigned char (&probe)[probe_size], int input, int output,
                                   stack_precision precision) {
    const std::size_t size = number_size(precision);
    char line[line_capacity];
    for (std::size_t field = 0; field < header_field_count; ++field) {
        double value = decode_number(probe + field * size, precision);
        if (!write_all(output, line, number_line(line, header_labels[field], value))) return conversion_write_failed;
    }

    // The nodata value's line is made once: about a tenth of a stack's
    // cells, and whole regions of some, are nodata.
    const double nodata = decode_number(probe + nodata_field_index * size, precision);
    char nodata_text[line_capacity];
    const std::string_view nodata_line(nodata_text, number_line(nodata_text, {}, nodata));
    auto write_whole_cells =
        precision == single_precision ? write_cells<single_precision> : write_cells<double_precision>;

    static unsigned char block[read_block_size];
    std::copy_n(probe, probe_size, block);
    std::size_t start = header_field_count * size, available = probe_size;
    std::uint64_t cells_written = 0, bytes_read = probe_size;
    for (;;) {
        std::size_t complete = available - (available - start) % size;
        if (!write_whole_cells(output, block + start, block + complete, nodata, nodata_line))
            return conversion_write_failed;
        cells_written += (complete - start) / size;
        report_progress(cells_written, bytes_read);
        std::size_t carried = available - complete;  // bytes of a number split across two reads
        std::memmove(block, block + complete, carried);
        long got = read_once(input, block + carried, read_block_size - carried);
        if (got < 0) return conversion_read_failed;
        if (got == 0) return conversion_complete;
        start = 0;
        available = carried + static_cast<std::size_t>(got);
        bytes_read += static_cast<std::uint64_t>(got);
    }
}
