// The binary raster stack: a header of twelve numbers, then the cells, all of
// one precision, little-endian, with nothing that names the precision. It is
// recognised by its nodata_value, which must be exactly -9999.
#ifndef OSTREL_STACK_FORMAT_H
#define OSTREL_STACK_FORMAT_H

#include <cstddef>
#include <string>

// Empty until recognition, then "ascii", "single" or "double".
extern std::string format_name;

// Zero-filled, 100 bytes; holds the four signature bytes and a terminating zero.
extern char* signature_buffer;

enum stack_precision { single_precision, double_precision };

constexpr std::size_t header_field_count = 12;
constexpr std::size_t nodata_field_index = 5;
constexpr std::size_t max_number_size = 8;

constexpr std::size_t number_size(stack_precision precision) { return precision == single_precision ? 4 : 8; }

// Takes the bytes as they stand in the file, whatever the processor's byte order.
double decode_number(const unsigned char* bytes, stack_precision precision);

enum recognition_result { recognised, not_recognised, recognition_read_failed };

// On success format_name is set and the input is back at its first byte.
recognition_result detect_stack_format(int input);

#endif
