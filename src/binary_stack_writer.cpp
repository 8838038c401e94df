#include "binary_stack_writer.h"

#include "decimal_lines.h"
#include "decimal_reader.h"
#include "platform_io.h"
#include "progress.h"
#include "stack_check.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

// A line longer than the block is no number this reader takes.
constexpr std::size_t read_block_size = std::size_t{64} * 1024;
// As many bytes as a shown text keeps before it is cut.
constexpr std::size_t shown_text_size = 40;

// The run's state, set by read_text_header at its start. The block's text
// ends in a NUL, and eight bytes more can be read, as the one-pass reader
// of cell lines needs.
char block[read_block_size + 8];
std::size_t line_start, available;
bool input_ended;
std::uint64_t line_number, bytes_read, cells_written;

enum line_result { line_found, no_more_lines, line_too_long, line_read_failed };

// The next line in [first, last), without its LF or CR LF; the last line
// need not end with one. Reads the input as the block empties.
line_result next_line(int input, const char*& first, const char*& last) {
    for (;;) {
        const char* start = block + line_start;
        const auto* end = static_cast<const char*>(std::memchr(start, '\n', available - line_start));
        if (end == nullptr && input_ended && line_start < available) end = block + available;
        if (end != nullptr) {
            ++line_number;
            line_start = std::min(available, static_cast<std::size_t>(end - block) + 1);
            first = start;
            last = end != start && end[-1] == '\r' ? end - 1 : end;
            return line_found;
        }
        if (input_ended) return no_more_lines;
        if (line_start == 0 && available == read_block_size) {  // its start, for the message
            ++line_number;
            first = block;
            last = block + available;
            return line_too_long;
        }
        std::memmove(block, start, available - line_start);
        available -= line_start;
        line_start = 0;
        long got = read_once(input, reinterpret_cast<unsigned char*>(block) + available, read_block_size - available);
        if (got < 0) return line_read_failed;
        input_ended = got == 0;
        available += static_cast<std::size_t>(got);
        block[available] = '\0';
        bytes_read += static_cast<std::uint64_t>(got);
        report_progress(cells_written, bytes_read);
    }
}

// A text as a message quotes it: cut, with every byte that is not printable
// ASCII, and the quote and backslash, written as an escape.
std::string shown(const char* first, const char* last) {
    static const char hex_digits[] = "0123456789abcdef";
    std::string text = "\"";
    for (const char* at = first; at != last && at != first + shown_text_size; ++at) {
        auto byte = static_cast<unsigned char>(*at);
        if (byte == '"' || byte == '\\')
            text += std::string("\\") + *at;
        else if (byte == '\t')
            text += "\\t";
        else if (byte >= 0x20 && byte < 0x7F)
            text += *at;
        else
            text += std::string("\\x") + hex_digits[byte >> 4] + hex_digits[byte & 0xF];
    }
    return text + (last - first > static_cast<long>(shown_text_size) ? "...\"" : "\"");
}

std::string line_name(const std::string& input_name) { return "line " + grouped(line_number) + " of " + input_name; }

// The fault of a line that should hold a number and does not; or, where the
// line could not be had, of the input.
std::string line_fault(line_result result, const char* first, const char* last, const std::string& input_name) {
    if (result == line_too_long)
        return line_name(input_name) + " is longer than " + grouped(read_block_size) +
               " bytes, the longest line read as a number: " + shown(first, last);
    return line_name(input_name) + " is not a number: " + shown(first, last);
}

// The bits of a number as the file holds them, little-endian. Kept as bits
// from the reader on: a float widened to double and back could lose a NaN's
// sign on a processor that makes every NaN it converts the same.
template <typename bits_type, typename number>
void put_bits(unsigned char* out, number value) {
    bits_type bits;
    std::memcpy(&bits, &value, sizeof bits);
    bits = file_byte_order(bits);
    std::memcpy(out, &bits, sizeof bits);
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// Reads the number in [first, last), which spaces and TABs may surround, in
// the precision and, where it is one, puts its bytes at out.
decimal_result read_number_into(stack_precision precision, const char* first, const char* last, unsigned char* out) {
    while (first != last && is_blank(*first)) ++first;
    while (last != first && is_blank(last[-1])) --last;
    if (precision == single_precision) {
        float value;
        decimal_result result = read_single(first, last, value);
        if (result == decimal_read) put_bits<std::uint32_t>(out, value);
        return result;
    }
    double value;
    decimal_result result = read_double(first, last, value);
    if (result == decimal_read) put_bits<std::uint64_t>(out, value);
    return result;
}

std::string too_large_fault(stack_precision precision, const char* first, const char* last,
                            const std::string& input_name) {
    return line_name(input_name) + ": " + shown(first, last) + " does not fit " +
           (precision == single_precision ? "single precision" : "double precision");
}

// What a header line must be, for a message.
std::string header_line_wanted(std::string_view label) {
    return std::string(label.substr(0, label.size() - 1)) + ", a TAB and a number";
}

// One header line: its label and the TAB, then a number of the precision,
// put at out; the nodata_value's must be -9999.
text_stack_result read_header_line(int input, stack_precision precision, std::string_view label,
                                   const std::string& input_name, unsigned char* out, std::string& fault) {
    const char *first = nullptr, *last = nullptr;
    line_result result = next_line(input, first, last);
    if (result == line_read_failed) return text_stack_read_failed;
    if (result == no_more_lines) {
        fault = input_name + " ends before line " + grouped(line_number + 1) + ", which must be " +
                header_line_wanted(label);
        return text_stack_fault;
    }
    const std::string_view line(first, static_cast<std::size_t>(last - first));
    const bool labelled = result == line_found && line.substr(0, label.size()) == label;
    const char* number_text = first + label.size();
    decimal_result read = labelled ? read_number_into(precision, number_text, last, out) : not_a_number;
    if (read == not_a_number)
        fault = line_name(input_name) + " is " + shown(first, last) + ", not " + header_line_wanted(label);
    if (read == too_large) fault = too_large_fault(precision, number_text, last, input_name);
    if (read == decimal_read && label == header_labels[nodata_field_index] &&
        decode_number(out, precision) != recognised_nodata_value)
        fault = "nodata_value of " + input_name + " is " + shown(number_text, last) + ", not -9999";
    return fault.empty() ? text_stack_read : text_stack_fault;
}

// Hands the numbers gathered in [first, last) over; a regular file with
// interrupts held off, so that one empties the file only between writes.
bool hand_over(int output, bool output_is_regular, const unsigned char* first, const unsigned char* last) {
    if (output == no_file) return true;  // only read
    const char* data = reinterpret_cast<const char*>(first);
    auto size = static_cast<std::size_t>(last - first);
    return output_is_regular ? write_holding_interrupts(output, data, size) : write_all(output, data, size);
}

// The cell lines from the start of what the block holds on, as many as the
// one-pass reader takes and the numbers' block has room for: their bytes at
// out, which moves past them, and the lines passed. Returns how many. It
// stops at any other line (blanks, a special value, many digits, the last
// line without its end, a line the block holds only part of), which the
// general path then reads, with the same result, or the same fault.
std::size_t read_plain_lines(stack_precision precision, unsigned char*& out, const unsigned char* out_end) {
    const unsigned char* before = out;
    const char* next = precision == single_precision ? read_single_lines(block + line_start, out, out_end)
                                                     : read_double_lines(block + line_start, out, out_end);
    const auto lines = static_cast<std::size_t>(out - before) / number_size(precision);
    line_start = static_cast<std::size_t>(next - block);
    line_number += lines;
    cells_written += lines;
    return lines;
}

// The fault of a cell line that holds no number of the precision.
std::string cell_fault(stack_precision precision, line_result result, const char* first, const char* last,
                       decimal_result read, const std::string& input_name) {
    return read == too_large ? too_large_fault(precision, first, last, input_name)
                             : line_fault(result, first, last, input_name);
}

}  // namespace

text_stack_result read_text_header(int input, stack_precision precision, const std::string& input_name,
                                   unsigned char (&header)[probe_size], std::string& fault,
                                   std::string_view already_read) {
    line_start = 0;
    available = already_read.copy(block, already_read.size());
    block[available] = '\0';
    input_ended = false;
    line_number = bytes_read = cells_written = 0;
    for (std::size_t field = 0; field < header_field_count; ++field) {
        text_stack_result result = read_header_line(input, precision, header_labels[field], input_name,
                                                    header + field * number_size(precision), fault);
        if (result != text_stack_read) return result;
    }
    return text_stack_read;
}

text_stack_result write_binary_stack(int input, int output, stack_precision precision, const std::string& input_name,
                                     const unsigned char (&header)[probe_size], std::uint64_t& cells,
                                     std::string& fault, cell_statistics* statistics) {
    constexpr std::size_t write_block_size = std::size_t{64} * 1024;  // a whole number of either precision's
    static unsigned char numbers[write_block_size];
    const std::size_t size = number_size(precision);
    const bool output_is_regular = is_regular_file(output);
    unsigned char* out = std::copy_n(header, header_field_count * size, numbers);
    const unsigned char* block_cells = out;  // the cells in the block start here
    std::uint64_t first_empty_line = 0;  // 0: none since the last number
    for (;;) {
        // Most lines: read in one pass where they stand, while the block has room for them.
        if (first_empty_line == 0 && read_plain_lines(precision, out, numbers + write_block_size) != 0) continue;
        const char *first = nullptr, *last = nullptr;
        line_result result = next_line(input, first, last);
        if (result == line_read_failed) return text_stack_read_failed;
        if (result == no_more_lines) break;
        if (result == line_found && first == last) {
            if (first_empty_line == 0) first_empty_line = line_number;
            continue;
        }
        if (first_empty_line != 0) {  // an empty line with more after it
            line_number = first_empty_line;
            fault = line_fault(line_found, first, first, input_name);
            return text_stack_fault;
        }
        if (out == numbers + write_block_size) {
            if (statistics != nullptr) add_cells(*statistics, block_cells, out, precision);
            if (!hand_over(output, output_is_regular, numbers, out)) return text_stack_write_failed;
            out = numbers;
            block_cells = numbers;
        }
        decimal_result read = result == line_found ? read_number_into(precision, first, last, out) : not_a_number;
        if (read != decimal_read) {
            fault = cell_fault(precision, result, first, last, read, input_name);
            return text_stack_fault;
        }
        out += size;
        ++cells_written;
    }
    cells = cells_written;
    if (statistics != nullptr) add_cells(*statistics, block_cells, out, precision);
    return hand_over(output, output_is_regular, numbers, out) ? text_stack_read : text_stack_write_failed;
}
