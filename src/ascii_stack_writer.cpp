#include "ascii_stack_writer.h"

#include "file_io.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace {

const char* const header_labels[header_field_count] = {
    "stack_ncols\t", "nrows\t", "xll\t", "yll\t", "cellsize\t", "nodata_value\t",
    "cnt\t",         "min\t",   "max\t", "sum\t", "average\t",  "numlevels\t",
};

constexpr std::size_t line_capacity = 64;
constexpr std::size_t read_block_size = std::size_t{64} * 1024;

bool write_number_line(int output, const char* label, double value) {
    char line[line_capacity];
    std::size_t label_length = std::strlen(label);
    std::copy_n(label, label_length, line);
    char* end = format_number(line + label_length, value);
    *end++ = '\n';
    return write_all(output, line, static_cast<std::size_t>(end - line));
}

conversion_result write_header(int input, int output, stack_precision precision) {
    const std::size_t size = number_size(precision);
    unsigned char header[header_field_count * max_number_size];
    long got = read_up_to(input, header, header_field_count * size);
    if (got != static_cast<long>(header_field_count * size)) return conversion_read_failed;
    for (std::size_t field = 0; field < header_field_count; ++field)
        if (!write_number_line(output, header_labels[field], decode_number(header + field * size, precision)))
            return conversion_write_failed;
    return conversion_complete;
}

conversion_result write_cells(int input, int output, stack_precision precision) {
    const std::size_t size = number_size(precision);
    static unsigned char block[read_block_size];
    std::size_t carried = 0;  // bytes of a number split across two blocks
    for (;;) {
        long got = read_once(input, block + carried, read_block_size - carried);
        if (got < 0) return conversion_read_failed;
        if (got == 0) return conversion_complete;
        std::size_t available = carried + static_cast<std::size_t>(got);
        std::size_t complete = available - available % size;
        for (std::size_t offset = 0; offset < complete; offset += size)
            if (!write_number_line(output, "", decode_number(block + offset, precision)))
                return conversion_write_failed;
        carried = available - complete;
        std::memmove(block, block + complete, carried);
    }
}

}  // namespace

char* format_number(char* out, double value) {
    // Never fails: 16 characters hold any "%g" text of 6 significant digits.
    return std::to_chars(out, out + 16, value, std::chars_format::general, 6).ptr;
}

conversion_result write_text_stack(int input, int output, stack_precision precision) {
    conversion_result header_result = write_header(input, output, precision);
    if (header_result != conversion_complete) return header_result;
    return write_cells(input, output, precision);
}
