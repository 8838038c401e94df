// The status line's text from a count, the bytes read, the input's size, the
// cells the header counts and the time so far: a table of inputs and the
// exact text each must give.
#include "progress.h"

#include <cstdio>

int main() {
    struct row {
        std::uint64_t cells, bytes_read;
        long long input_size;
        std::uint64_t header_cells;
        double elapsed;
        const char* text;
    };
    const row rows[] = {
        {1738, 1000, 0, 0, 2.0, "1738 cells written"},  // a pipe: no share, no time left
        {0, 96, 0, 0, 1.0, "0 cells written"},
        {16384, 400, 1000, 0, 2.0, "16384 cells written, 40% read, 0:03 left"},
        {7, 999, 1000, 0, 1.0, "7 cells written, 99% read, 0:00 left"},  // the share is cut, never rounded up
        {7, 1000, 1000, 0, 5.0, "7 cells written, 100% read, 0:00 left"},
        {7, 3000, 1000, 0, 5.0, "7 cells written, 100% read, 0:00 left"},  // a file that grew: at most all of it
        {7, 500, 1000, 0, 9.0, "7 cells written, 50% read, 0:09 left"},
        {7, 500, 1000, 0, 10.0, "7 cells written, 50% read, 0:10 left"},
        {7, 500, 1000, 0, 59.4, "7 cells written, 50% read, 0:59 left"},
        {7, 500, 1000, 0, 59.5, "7 cells written, 50% read, 1:00 left"},  // whole seconds, rounded
        {7, 500, 1000, 0, 61.0, "7 cells written, 50% read, 1:01 left"},
        {7, 250, 1000, 0, 1199.0, "7 cells written, 25% read, 59:57 left"},
        {7, 100, 1000, 0, 400.0, "7 cells written, 10% read, 60:00 left"},  // minutes past the hour
        {500, 1000, 0, 2000, 3.0, "500 cells written, 25% of 2000, 0:09 left"},  // a pipe: the header's cells
        {2000, 9000, 0, 2000, 3.0, "2000 cells written, 100% of 2000, 0:00 left"},
        {2001, 9000, 0, 2000, 3.0, "2001 cells written"},  // more than the header counts: no share
        {0, 96, 0, 2000, 3.0, "0 cells written, 0% of 2000"},  // no pace yet
        {400, 500, 1000, 2000, 1.0, "400 cells written, 50% read, 0:01 left"},  // a file's size comes first
        {18446744073709551615u, 1, 3, 0, 1.0, "18446744073709551615 cells written, 33% read, 0:02 left"},
    };
    int failed = 0;
    for (const row& r : rows) {
        std::string text = progress_text(r.cells, r.bytes_read, r.input_size, r.header_cells, r.elapsed);
        if (text == r.text) continue;
        std::printf("FAIL: got \"%s\", want \"%s\"\n", text.c_str(), r.text);
        ++failed;
    }
    std::printf("%d passed, %d failed\n", static_cast<int>(sizeof rows / sizeof *rows) - failed, failed);
    return failed == 0 ? 0 : 1;
}
