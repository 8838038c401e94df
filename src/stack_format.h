// The binary raster stack: a header of twelve numbers, then the cells, all of
// one precision, little-endian, with nothing that names the precision. It is
// recognised by its nodata_value, which must be exactly -9999.
#ifndef OSTREL_STACK_FORMAT_H
#define OSTREL_STACK_FORMAT_H

#include "byte_order.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

// Empty until recognition, then "ascii", "single" or "double".
extern std::string format_name;

// Zero-filled, 100 bytes; holds the four signature bytes and a terminating zero.
extern char* signature_buffer;

enum stack_precision { single_precision, double_precision };

constexpr std::size_t header_field_count = 12;
constexpr std::size_t nodata_field_index = 5;
// The start of the input that recognition reads: one double-precision
// header, or a single-precision header and 12 cells.
constexpr std::size_t probe_size = 96;

// The ascii stack's header lines, in the header's order: each label and the
// TAB before its number.
constexpr std::string_view header_labels[header_field_count] = {
    "stack_ncols\t", "nrows\t", "xll\t", "yll\t", "cellsize\t", "nodata_value\t",
    "cnt\t",         "min\t",   "max\t", "sum\t", "average\t",  "numlevels\t",
};

// The nodata_value that recognises a binary stack, and that an ascii stack
// must hold to become one.
constexpr double recognised_nodata_value = -9999.0;

constexpr std::size_t number_size(stack_precision precision) { return precision == single_precision ? 4 : 8; }

// Takes the bytes as they stand in the file, whatever the processor's byte
// order. Inline: the line loop decodes every cell.
inline double decode_number(const unsigned char* bytes, stack_precision precision) {
    if (precision == double_precision) {
        std::uint64_t bits;
        std::memcpy(&bits, bytes, sizeof bits);
        bits = file_byte_order(bits);
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    std::uint32_t bits;
    std::memcpy(&bits, bytes, sizeof bits);
    bits = file_byte_order(bits);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// The number's bytes as the file holds them. value is one of the
// precision's: for a single, a float's value, an infinity or a NaN.
inline void encode_number(unsigned char* bytes, double value, stack_precision precision) {
    if (precision == double_precision) {
        std::uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        bits = file_byte_order(bits);
        std::memcpy(bytes, &bits, sizeof bits);
        return;
    }
    auto single = static_cast<float>(value);
    std::uint32_t bits;
    std::memcpy(&bits, &single, sizeof bits);
    bits = file_byte_order(bits);
    std::memcpy(bytes, &bits, sizeof bits);
}

enum recognition_result { recognised, not_recognised, recognition_read_failed };

// Reads the start of the input once, never seeking, so that a pipe is
// recognised as a file is: the four signature bytes, then, unless they are
// "ncol", the rest of the probe. On success format_name is set; for a binary
// stack the probe holds the first probe_size bytes and the input is
// positioned right after them.
recognition_result detect_stack_format(int input, unsigned char (&probe)[probe_size]);

// The start of the input, as many bytes of probe_size as it holds, read
// once: the count read, or -1 where a read failed.
long read_probe(int input, unsigned char (&probe)[probe_size]);

// Whether the first size bytes of a probe start a binary stack, whose
// precision is then set: a precision only where its header is whole.
bool is_binary_stack_probe(const unsigned char (&probe)[probe_size], std::size_t size, stack_precision& precision);

#endif
