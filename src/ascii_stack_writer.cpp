#include "ascii_stack_writer.h"

#include "number_text.h"
#include "platform_io.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

constexpr std::string_view header_labels[header_field_count] = {
    "stack_ncols\t", "nrows\t", "xll\t", "yll\t", "cellsize\t", "nodata_value\t",
    "cnt\t",         "min\t",   "max\t", "sum\t", "average\t",  "numlevels\t",
};

constexpr std::size_t line_capacity = 64;
constexpr std::size_t read_block_size = std::size_t{64} * 1024;

// Label and number on one line, built in place and handed over with one write.
bool write_number_line(int output, std::string_view label, double value) {
    char line[line_capacity];
    std::copy_n(label.data(), label.size(), line);
    char* end = format_number(line + label.size(), value);
    *end++ = '\n';
    return write_all(output, line, static_cast<std::size_t>(end - line));
}

// Writes the numbers in [first, last), a whole number of them, a line each.
bool write_cells(int output, const unsigned char* first, const unsigned char* last, stack_precision precision) {
    const std::size_t size = number_size(precision);
    for (; first != last; first += size)
        if (!write_number_line(output, {}, decode_number(first, precision))) return false;
    return true;
}

}  // namespace

conversion_result write_text_stack(const unsigned char (&probe)[probe_size], int input, int output,
                                   stack_precision precision) {
    const std::size_t size = number_size(precision);
    for (std::size_t field = 0; field < header_field_count; ++field)
        if (!write_number_line(output, header_labels[field], decode_number(probe + field * size, precision)))
            return conversion_write_failed;

    static unsigned char block[read_block_size];
    std::copy_n(probe, probe_size, block);
    std::size_t start = header_field_count * size, available = probe_size;
    for (;;) {
        std::size_t complete = available - (available - start) % size;
        if (!write_cells(output, block + start, block + complete, precision)) return conversion_write_failed;
        std::size_t carried = available - complete;  // bytes of a number split across two reads
        std::memmove(block, block + complete, carried);
        long got = read_once(input, block + carried, read_block_size - carried);
        if (got < 0) return conversion_read_failed;
        if (got == 0) return conversion_complete;
        start = 0;
        available = carried + static_cast<std::size_t>(got);
    }
}
