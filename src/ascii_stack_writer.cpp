#include "ascii_stack_writer.h"

#include "decimal_text.h"
#include "number_text.h"
#include "platform_io.h"
#include "progress.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

constexpr std::size_t line_capacity = 16 + number_text_room;  // the longest label, the number, the line end
constexpr std::size_t read_block_size = std::size_t{64} * 1024;

// A number's text in the run's style. The shortest text is the stack's own
// precision's: a single-precision value came from a float, so it goes back
// to one exactly.
template <stack_precision precision, text_style style>
[[gnu::always_inline]] inline char* number_text(char* out, double value, int digits) {
    if constexpr (style == six_digits)
        return format_number(out, value);
    else if constexpr (style == given_digits)
        return given_digits_text(out, value, digits);
    else if constexpr (precision == single_precision)
        return inline_shortest_single_text(out, static_cast<float>(value));
    else
        return inline_shortest_double_text(out, value);
}

// Label and number on one line, built in place at line; returns its length.
template <stack_precision precision, text_style style>
[[gnu::always_inline]] inline std::size_t number_line(char (&line)[line_capacity], std::string_view label, double value,
                                                      int digits) {
    std::copy_n(label.data(), label.size(), line);
    char* end = number_text<precision, style>(line + label.size(), value, digits);
    *end++ = '\n';
    return static_cast<std::size_t>(end - line);
}

// Writes the numbers in [first, last), a whole number of them, a line each,
// each handed over with one write. One loop for each precision and style,
// so that no cell pays for the choice.
template <stack_precision precision, text_style style>
bool write_cells(int output, const unsigned char* first, const unsigned char* last, double nodata,
                 std::string_view nodata_line, int digits) {
    char line[line_capacity];
    for (; first != last; first += number_size(precision)) {
        double value = decode_number(first, precision);
        bool written = value == nodata ? write_all(output, nodata_line.data(), nodata_line.size())
                                       : write_all(output, line, number_line<precision, style>(line, {}, value, digits));
        if (!written) return false;
    }
    return true;
}

// --buffered: lines are gathered here and handed over before each read of
// the input, which may wait, and whenever the block is full.
constexpr std::size_t text_block_size = std::size_t{256} * 1024;
char text_block[text_block_size];
std::size_t gathered_size = 0;
bool output_is_regular;  // set before the first block is handed over

// Hands the gathered lines over so that no interrupt can leave part of a
// line: to a regular file in one write with interrupts held off; to a pipe
// or a device in pieces that a pipe takes whole, each ending at a line end,
// so that an interrupt still ends a run whose reader has stopped.
bool hand_over_gathered(int output) {
    const char* text = text_block;
    std::size_t size = gathered_size;
    gathered_size = 0;
    if (output_is_regular) return write_holding_interrupts(output, text, size);
    while (size > whole_pipe_write_size) {
        std::size_t piece = whole_pipe_write_size;
        while (text[piece - 1] != '\n') --piece;  // a line is far shorter than a piece
        if (!write_all(output, text, piece)) return false;
        text += piece;
        size -= piece;
    }
    return write_all(output, text, size);
}

// Only the header's lines come this way, into an empty block with room for them.
bool gather_line(int, const char* line, std::size_t size) {
    std::copy_n(line, size, text_block + gathered_size);
    gathered_size += size;
    return true;
}

// As write_cells, each line built in place in the gathered block.
template <stack_precision precision, text_style style>
bool gather_cells(int output, const unsigned char* first, const unsigned char* last, double nodata,
                  std::string_view nodata_line, int digits) {
    for (; first != last; first += number_size(precision)) {
        if (text_block_size - gathered_size < line_capacity && !hand_over_gathered(output)) return false;
        double value = decode_number(first, precision);
        char* line = text_block + gathered_size;
        if (value == nodata) {
            std::copy_n(nodata_line.data(), nodata_line.size(), line);
            gathered_size += nodata_line.size();
        } else {
            char* end = number_text<precision, style>(line, value, digits);
            *end++ = '\n';
            gathered_size = static_cast<std::size_t>(end - text_block);
        }
    }
    return true;
}

template <stack_precision precision, text_style style, bool gathering>
conversion_result write_stack(const unsigned char (&probe)[probe_size], int input, int output, int digits,
                              std::uint64_t& cells_written, std::uint64_t& trailing_bytes) {
    constexpr std::size_t size = number_size(precision);
    constexpr auto hand_over_line = gathering ? gather_line : write_all;
    constexpr auto hand_over_cells = gathering ? gather_cells<precision, style> : write_cells<precision, style>;
    if constexpr (gathering) output_is_regular = is_regular_file(output);
    // --digits rounds the cells only: counts and coordinates rounded to a
    // digit or two would make a text that no longer describes its stack.
    constexpr text_style header_style = style == given_digits ? shortest_digits : style;
    char line[line_capacity];
    for (std::size_t field = 0; field < header_field_count; ++field) {
        double value = decode_number(probe + field * size, precision);
        if (!hand_over_line(output, line,
                            number_line<precision, header_style>(line, header_labels[field], value, digits)))
            return conversion_write_failed;
    }

    // The nodata value's line is made once: about a tenth of a stack's
    // cells, and whole regions of some, are nodata. It is -9999 in every
    // style, so that a nodata cell reads back as nodata, never as a value.
    const double nodata = decode_number(probe + nodata_field_index * size, precision);
    char nodata_text[line_capacity];
    const std::string_view nodata_line(nodata_text,
                                       number_line<precision, shortest_digits>(nodata_text, {}, nodata, digits));

    static unsigned char block[read_block_size];
    std::copy_n(probe, probe_size, block);
    std::size_t start = header_field_count * size, available = probe_size;
    std::uint64_t bytes_read = probe_size;
    for (;;) {
        std::size_t complete = available - available % size;  // start is a whole number of cells too
        if (!hand_over_cells(output, block + start, block + complete, nodata, nodata_line, digits))
            return conversion_write_failed;
        if constexpr (gathering) {  // before a read that may wait
            if (!hand_over_gathered(output)) return conversion_write_failed;
        }
        cells_written += (complete - start) / size;
        report_progress(cells_written, bytes_read);
        std::size_t carried = available - complete;  // bytes of a number split across two reads
        std::memmove(block, block + complete, carried);
        long got = read_once(input, block + carried, read_block_size - carried);
        if (got < 0) return conversion_read_failed;
        trailing_bytes = carried;
        if (got == 0) return conversion_complete;
        start = 0;
        available = carried + static_cast<std::size_t>(got);
        bytes_read += static_cast<std::uint64_t>(got);
    }
}

// The run's choices, made once, then one loop for them.
template <stack_precision precision, text_style style>
auto stack_writer_handed(bool buffered) {
    return buffered ? write_stack<precision, style, true> : write_stack<precision, style, false>;
}

template <stack_precision precision>
auto stack_writer_in(text_style style, bool buffered) {
    if (style == given_digits) return stack_writer_handed<precision, given_digits>(buffered);
    if (style == shortest_digits) return stack_writer_handed<precision, shortest_digits>(buffered);
    return stack_writer_handed<precision, six_digits>(buffered);
}

}  // namespace

conversion_result write_text_stack(const unsigned char (&probe)[probe_size], int input, int output,
                                   stack_precision precision, text_style style, int digits, bool buffered,
                                   std::uint64_t& cells_written, std::uint64_t& trailing_bytes) {
    auto writer = precision == single_precision ? stack_writer_in<single_precision>(style, buffered)
                                                : stack_writer_in<double_precision>(style, buffered);
    return writer(probe, input, output, digits, cells_written, trailing_bytes);
}
