#include "stack_format.h"

#include "platform_io.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>

std::string format_name;
char* signature_buffer = nullptr;

namespace {

constexpr std::size_t signature_buffer_size = 100;
constexpr std::size_t signature_size = 4;

// Reads until count bytes have arrived or the file ends: the number of bytes
// read, or -1 when a read failed with an error.
long read_up_to(int file, unsigned char* buffer, std::size_t count) {
    std::size_t total = 0;
    while (total < count) {
        long got = read_once(file, buffer + total, count - total);
        if (got < 0) return -1;
        if (got == 0) break;
        total += static_cast<std::size_t>(got);
    }
    return static_cast<long>(total);
}

bool has_ascii_signature() {
    // The zero at index 4 is part of the comparison, so a shorter file never matches.
    return std::memcmp(signature_buffer, "ncol", signature_size + 1) == 0;
}

bool probe_matches(const unsigned char* probe, stack_precision precision) {
    double nodata = decode_number(probe + nodata_field_index * number_size(precision), precision);
    return nodata == recognised_nodata_value;
}

}  // namespace

recognition_result detect_stack_format(int input, unsigned char (&probe)[probe_size]) {
    signature_buffer = static_cast<char*>(std::calloc(signature_buffer_size, 1));
    if (signature_buffer == nullptr) return recognition_read_failed;
    long signature_read = read_up_to(input, probe, signature_size);
    if (signature_read < 0) return recognition_read_failed;
    std::copy_n(probe, signature_read, signature_buffer);
    if (has_ascii_signature()) {
        format_name = "ascii";
        return recognised;
    }

    // The input has ended; a terminal could still hand over more, which must
    // not land behind a gap in the probe.
    if (signature_read < static_cast<long>(signature_size)) return not_recognised;
    long rest_read = read_up_to(input, probe + signature_size, probe_size - signature_size);
    if (rest_read < 0) return recognition_read_failed;
    if (rest_read < static_cast<long>(probe_size - signature_size)) return not_recognised;

    stack_precision precision = double_precision;
    if (!is_binary_stack_probe(probe, probe_size, precision)) return not_recognised;
    format_name = precision == single_precision ? "single" : "double";
    return recognised;
}

long read_probe(int input, unsigned char (&probe)[probe_size]) { return read_up_to(input, probe, probe_size); }

bool is_binary_stack_probe(const unsigned char (&probe)[probe_size], std::size_t size, stack_precision& precision) {
    // A double's nodata_value is looked for first: the same bytes could also hold a single's.
    constexpr stack_precision candidates[] = {double_precision, single_precision};
    const auto* found = std::find_if(std::begin(candidates), std::end(candidates), [&](stack_precision candidate) {
        return size >= header_field_count * number_size(candidate) && probe_matches(probe, candidate);
    });
    if (found == std::end(candidates)) return false;
    precision = *found;
    return true;
}
