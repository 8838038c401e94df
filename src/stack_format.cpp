#include "stack_format.h"

#include "file_io.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

std::string format_name;
char* signature_buffer = nullptr;

namespace {

constexpr std::size_t signature_buffer_size = 100;
constexpr std::size_t signature_size = 4;
// One double-precision header, or a single-precision header and 12 cells.
constexpr std::size_t probe_size = 96;
constexpr double recognised_nodata_value = -9999.0;

bool has_ascii_signature() {
    // The zero at index 4 is part of the comparison, so a shorter file never matches.
    return std::memcmp(signature_buffer, "ncol", signature_size + 1) == 0;
}

bool probe_matches(const unsigned char* probe, stack_precision precision) {
    double nodata = decode_number(probe + nodata_field_index * number_size(precision), precision);
    return nodata == recognised_nodata_value;
}

}  // namespace

double decode_number(const unsigned char* bytes, stack_precision precision) {
    std::uint64_t bits = 0;
    for (std::size_t i = number_size(precision); i-- > 0;) bits = bits << 8 | bytes[i];
    if (precision == double_precision) {
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    auto narrow_bits = static_cast<std::uint32_t>(bits);
    float value;
    std::memcpy(&value, &narrow_bits, sizeof value);
    return value;
}

recognition_result detect_stack_format(int input) {
    signature_buffer = static_cast<char*>(std::calloc(signature_buffer_size, 1));
    if (signature_buffer == nullptr) return recognition_read_failed;
    long signature_read = read_up_to(input, reinterpret_cast<unsigned char*>(signature_buffer), signature_size);
    if (signature_read < 0) return recognition_read_failed;
    signature_buffer[signature_size] = '\0';
    if (has_ascii_signature()) {
        format_name = "ascii";
        return recognised;
    }

    unsigned char probe[probe_size];
    if (!rewind_file(input)) return not_recognised;
    long probe_read = read_up_to(input, probe, probe_size);
    if (probe_read < 0) return recognition_read_failed;
    if (probe_read < static_cast<long>(probe_size)) return not_recognised;

    if (probe_matches(probe, double_precision))
        format_name = "double";
    else if (probe_matches(probe, single_precision))
        format_name = "single";
    else
        return not_recognised;
    return rewind_file(input) ? recognised : recognition_read_failed;
}
