#include "progress.h"

#include "platform_io.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <iterator>
#include <string>

namespace {

constexpr double first_draw_after_seconds = 1.0;
constexpr double redraw_interval_seconds = 0.25;
// Wider than any line: twenty digits of cells, the share and the time left.
constexpr std::size_t widest_line = 100;

bool shown_on_terminal;  // set by start_progress, before any report
double started_at;
double next_draw_at;
long long input_file_size;
std::uint64_t header_cells;
std::size_t drawn_width = 0;  // characters of the line now on the terminal

// "\r", drawn_width spaces, "\r": the line's erase, made before the line is
// drawn, so that an interrupt has only to write it. start_progress lays the
// "\r" and the spaces; only the closing "\r" moves.
char erase_text[widest_line + 2];

std::string minutes_and_seconds(double seconds) {
    auto whole = static_cast<unsigned long long>(std::llround(seconds));
    unsigned long long past_the_minute = whole % 60;
    return std::to_string(whole / 60) + (past_the_minute < 10 ? ":0" : ":") + std::to_string(past_the_minute);
}

// Moves the erase's closing "\r" out to a wider line's end. In this order an
// interrupt at any moment writes an erase that covers what is on the screen.
void widen_erase(std::size_t width) {
    erase_text[width + 1] = '\r';
    std::atomic_signal_fence(std::memory_order_seq_cst);
    erase_on_interrupt(erase_text, width + 2);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    erase_text[drawn_width + 1] = ' ';
    drawn_width = width;
}

// Over the last line in place; spaces cover what a longer one left.
void draw(std::string text) {
    text.resize(std::min(text.size(), widest_line));
    if (text.size() > drawn_width) widen_erase(text.size());
    text.resize(drawn_width, ' ');
    print_text(standard_error, "\r" + text);
}

}  // namespace

std::string progress_text(std::uint64_t cells_written, std::uint64_t bytes_read, long long input_size,
                          std::uint64_t expected_cells, double elapsed) {
    std::string text = std::to_string(cells_written) + " cells written";
    double share;
    std::string share_of;
    if (input_size != 0) {
        // At most all of it: the file may have grown while it was read.
        share = std::min(static_cast<double>(bytes_read) / static_cast<double>(input_size), 1.0);
        share_of = "% read";
    } else if (expected_cells != 0 && cells_written <= expected_cells) {
        // A pipe, a FIFO or a device: the share of the cells the header counts,
        // where there are any and it does not count too few.
        share = static_cast<double>(cells_written) / static_cast<double>(expected_cells);
        share_of = "% of " + std::to_string(expected_cells);
    } else {
        return text;
    }
    text += ", " + std::to_string(static_cast<int>(share * 100)) + share_of;
    if (share == 0) return text;  // no pace yet to tell the time left from
    return text + ", " + minutes_and_seconds(elapsed / share - elapsed) + " left";
}

void start_progress(int input, int output, std::uint64_t expected_cells) {
    shown_on_terminal = standard_error_is_terminal() && !is_terminal(output);
    if (!shown_on_terminal) return;
    erase_text[0] = '\r';
    std::fill(std::begin(erase_text) + 1, std::end(erase_text), ' ');
    started_at = monotonic_seconds();
    next_draw_at = started_at + first_draw_after_seconds;
    input_file_size = regular_file_size(input);
    header_cells = expected_cells;
}

void report_progress(std::uint64_t cells_written, std::uint64_t bytes_read) {
    if (!shown_on_terminal) return;
    double now = monotonic_seconds();
    if (now < next_draw_at) return;
    next_draw_at = now + redraw_interval_seconds;
    draw(progress_text(cells_written, bytes_read, input_file_size, header_cells, now - started_at));
}

void clear_progress() {
    if (drawn_width == 0) return;
    print_text(standard_error, std::string(erase_text, drawn_width + 2));
    stop_erase_on_interrupt();
}
