// Drives recognition and conversion on arbitrary bytes and checks the result:
// nothing written unless recognised as a binary stack, then 12 + N lines for
// N complete cells, every one ending at a line end; number text as printf's.
// Then reads the same bytes as an ascii stack, back to binary: where that
// succeeds, one number for each line but the empty ones at the end, each
// the C library's reading of its line.
#include "ascii_stack_writer.h"
#include "binary_stack_writer.h"
#include "number_text.h"
#include "stack_format.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
int file_holding(const std::uint8_t* data, std::size_t size) {
    int file = memfd_create("ostrel-fuzz", 0);
    bool written = file >= 0 && write(file, data, size) == static_cast<ssize_t>(size);
    if (!written || lseek(file, 0, SEEK_SET) != 0) std::abort();
    return file;
}
std::string contents(int file) {
    std::string bytes(static_cast<std::size_t>(lseek(file, 0, SEEK_END)), '\0');
    if (pread(file, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) std::abort();
    return bytes;
}

// The lines of a text, without their LF or CR LF, and without the empty lines at its end.
std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start));
        if (!lines.back().empty() && lines.back().back() == '\r') lines.back().pop_back();
        start = end + 1;
    }
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

// The number the file holds at index, as the C library reads the line's number, compared bit for bit; a NaN by
// its sign, the only part of it text carries, read from the file's bytes (the last, little-endian): widening a
// single's NaN to a double loses its sign on some processors (RISC-V).
bool holds_number(const std::string& binary, std::size_t index, stack_precision precision, const std::string& text) {
    double ours = decode_number(reinterpret_cast<const unsigned char*>(binary.data()) + index * number_size(precision),
                                precision);
    double theirs = precision == single_precision ? std::strtof(text.c_str(), nullptr)
                                                  : std::strtod(text.c_str(), nullptr);
    const bool negative = (static_cast<unsigned char>(binary[(index + 1) * number_size(precision) - 1]) & 0x80) != 0;
    if (std::isnan(theirs)) return std::isnan(ours) && negative == (text[0] == '-');
    return std::memcmp(&ours, &theirs, sizeof ours) == 0;
}

// A header line's number follows its label's TAB; a cell line is its number, with any blanks around it, which the
// C library's reading passes over in front and stops at behind.
std::string number_part(const std::string& line, std::size_t index) {
    return index < header_field_count ? line.substr(line.find('\t') + 1) : line;
}

void check_back_to_binary(const std::uint8_t* data, std::size_t size, stack_precision precision) {
    int input = file_holding(data, size), output = file_holding(nullptr, 0);
    unsigned char header[probe_size];
    std::string fault;
    std::uint64_t cells = 0;
    text_stack_result result = read_text_header(input, precision, "in", header, fault);
    if (result == text_stack_read) result = write_binary_stack(input, output, precision, "in", header, cells, fault);
    if (result == text_stack_read_failed || result == text_stack_write_failed) std::abort();
    if ((result == text_stack_fault) == fault.empty()) std::abort();
    std::string binary = contents(output);
    std::vector<std::string> lines = lines_of(std::string(reinterpret_cast<const char*>(data), size));
    if (result == text_stack_read && (binary.size() != lines.size() * number_size(precision) ||
                                      cells + header_field_count != lines.size()))
        std::abort();
    for (std::size_t index = 0; result == text_stack_read && index < lines.size(); ++index)
        if (!holds_number(binary, index, precision, number_part(lines[index], index))) std::abort();
    close(input);
    close(output);
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
    check_back_to_binary(data, size, size % 2 == 0 ? double_precision : single_precision);
    return 0;
}
