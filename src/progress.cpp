#include "progress.h"

#include "platform_io.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr double first_draw_after_seconds = 1.0;
constexpr double redraw_interval_seconds = 0.25;

bool shown_on_terminal = false;
double started_at = 0;
double next_draw_at = 0;
long long input_size = no_size;
std::size_t drawn_width = 0;  // characters of the line now on the terminal

std::string minutes_and_seconds(double seconds) {
    auto whole = static_cast<unsigned long long>(std::llround(seconds));
    char text[32];
    std::snprintf(text, sizeof text, "%llu:%02llu", whole / 60, whole % 60);
    return text;
}

std::string progress_text(std::uint64_t cells_written, std::uint64_t bytes_read, double elapsed) {
    std::string text = std::to_string(cells_written) + " cells written";
    if (input_size <= 0) return text;  // a pipe, a FIFO or a device: its size is unknown
    // At most all of it: the file may have grown while it was read.
    double share = std::min(static_cast<double>(bytes_read) / static_cast<double>(input_size), 1.0);
    text += ", " + std::to_string(static_cast<int>(share * 100)) + "% read";
    return text + ", " + minutes_and_seconds(elapsed / share - elapsed) + " left";
}

// Over the last line in place; spaces cover what a longer one left.
void draw(const std::string& text) {
    drawn_width = std::max(drawn_width, text.size());
    std::string line = "\r" + text;
    line.resize(drawn_width + 1, ' ');
    print_text(standard_error, line);
}

}  // namespace

void start_progress(int input, int output) {
    shown_on_terminal = standard_error_is_terminal() && !is_terminal(output);
    if (!shown_on_terminal) return;
    started_at = monotonic_seconds();
    next_draw_at = started_at + first_draw_after_seconds;
    input_size = regular_file_size(input);
}

void report_progress(std::uint64_t cells_written, std::uint64_t bytes_read) {
    if (!shown_on_terminal) return;
    double now = monotonic_seconds();
    if (now < next_draw_at) return;
    next_draw_at = now + redraw_interval_seconds;
    draw(progress_text(cells_written, bytes_read, now - started_at));
}

void clear_progress() {
    if (drawn_width == 0) return;
    print_text(standard_error, "\r" + std::string(drawn_width, ' ') + "\r");
    drawn_width = 0;
}
