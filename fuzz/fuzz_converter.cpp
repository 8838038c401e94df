// Drives recognition and conversion on arbitrary bytes and checks the result:
// nothing written unless recognised as a binary stack, then 12 + N lines for
// N complete cells, every one ending at a line end; number text as printf's.
#include "ascii_stack_writer.h"
#include "number_text.h"
#include "stack_format.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <string>

namespace {
int file_holding(const std::uint8_t* data, std::size_t size) {
    int file = memfd_create("ostrel-fuzz", 0);
    bool written = file >= 0 && write(file, data, size) == static_cast<ssize_t>(size);
    if (!written || lseek(file, 0, SEEK_SET) != 0) std::abort();
    return file;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    int input = file_holding(data, size), output = file_holding(nullptr, 0);
    format_name.clear();
    unsigned char probe[probe_size];
    recognition_result recognition = detect_stack_format(input, probe);
    std::free(signature_buffer);
    signature_buffer = nullptr;
    bool converted = recognition == recognised && format_name != "ascii";
    stack_precision precision = format_name == "single" ? single_precision : double_precision;
    auto style = static_cast<text_style>(size % 3);  // every style, and every number of digits, meets every input
    int digits = static_cast<int>(size % most_given_digits) + 1;
    bool buffered = size % 2 == 0;
    std::uint64_t cells_written = 0, trailing_bytes = 0;
    if (converted && write_text_stack(probe, input, output, precision, style, digits, buffered, cells_written,
                                      trailing_bytes) != conversion_complete)
        std::abort();
    std::size_t after_header = size - (converted ? header_field_count * number_size(precision) : 0);
    if (converted && (cells_written != after_header / number_size(precision) ||
                      trailing_bytes != after_header % number_size(precision)))
        std::abort();
    std::string text(static_cast<std::size_t>(lseek(output, 0, SEEK_END)), '\0');
    if (pread(output, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) std::abort();
    std::size_t expected_lines = converted ? size / number_size(precision) : 0;
    if (static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) != expected_lines) std::abort();
    if (!text.empty() && text.back() != '\n') std::abort();
    bool ascii_form = size >= 4 && std::memcmp(data, "ncol", 4) == 0;
    if (ascii_form && (recognition != recognised || format_name != "ascii")) std::abort();
    for (std::size_t offset = 0; offset + 8 <= size; offset += 8) {  // number text against the C library's
        double value;
        std::memcpy(&value, data + offset, sizeof value);
        char ours[32], theirs[32];
        *format_number(ours, value) = '\0';
        std::snprintf(theirs, sizeof theirs, "%g", value);
        if (std::strcmp(ours, theirs) != 0) std::abort();
    }
    close(input);
    close(output);
    return 0;
}
