// Progress for a person at a terminal: one status line on standard error,
// redrawn in place, only while a run that has lasted a second goes on.
// Where standard error is not a terminal nothing is ever written.
#ifndef OSTREL_PROGRESS_H
#define OSTREL_PROGRESS_H

#include <cstdint>
#include <string>

// Starts the run's clock when standard error is a terminal and the output
// is not one (its lines would be mixed with the status line); the input's
// size, where it is a regular file, gives the share read and the time left;
// where it is not, the cells the header counts (0: not known) give them.
void start_progress(int input, int output, std::uint64_t expected_cells);

// Called once per block read, never per line: draws the line at most four
// times a second, and first once the run has lasted a second.
void report_progress(std::uint64_t cells_written, std::uint64_t bytes_read);

// The status line's text: the cells written and, where the input's size
// is known (not 0), the share read and the time left at the pace so far;
// where it is not, the share of the expected cells written (when there are
// expected cells and no more were written) and the time left.
std::string progress_text(std::uint64_t cells_written, std::uint64_t bytes_read, long long input_size,
                          std::uint64_t expected_cells, double elapsed);

// Erases the line, so that the terminal is as the run found it and a
// message starts at the beginning of a clean line. While the line is on the
// terminal an interrupt erases it too, before it ends the process.
void clear_progress();

#endif
