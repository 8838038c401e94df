// The floor of a conversion back to binary, streaming as the converter does:
// the text read in blocks of 64 KiB, each cell line checked and read in one
// pass by the converter's own one-pass reader (the fastest number reader
// this project has: Clinger's exact case, Eisel and Lemire's product), any
// other line by std::from_chars, the numbers written in blocks of 64 KiB.
// The header's twelve numbers are read after their TABs. No count check,
// no temporary file, no sync, no messages: what the converter does beyond
// reading and writing numbers is what it costs over this. With --synced,
// the output is synced before it is closed, as the converter syncs a stack
// before it puts it in place of the old one.
//   bench_back_floor [--synced] --to-single | --to-double TEXT OUTPUT
#include "decimal_lines.h"

#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <cstring>
#include <string>

namespace {

constexpr std::size_t block_size = std::size_t{64} * 1024;
char text[block_size + 8];  // a NUL and seven bytes after the text, as the one-pass reader needs
unsigned char numbers[block_size];
std::size_t start, available;
int input;

// Moves what is left of the text to the block's front and reads more; false at its end.
bool read_more() {
    std::memmove(text, text + start, available - start);
    available -= start;
    start = 0;
    ssize_t got = read(input, text + available, block_size - available);
    if (got <= 0) return false;
    available += static_cast<std::size_t>(got);
    text[available] = '\0';
    return true;
}

// The next whole line, its end found by memchr; nullptr at the text's end.
const char* next_line(const char*& line_end) {
    for (;;) {
        const char* line = text + start;
        line_end = static_cast<const char*>(std::memchr(line, '\n', available - start));
        if (line_end != nullptr) {
            start = static_cast<std::size_t>(line_end - text) + 1;
            return line;
        }
        if (!read_more()) return nullptr;
    }
}

template <typename number>
bool convert(int output) {
    unsigned char* out = numbers;
    for (int field = 0; field < 12; ++field) {  // the header: a label, a TAB, a number
        const char* line_end = nullptr;
        const char* line = next_line(line_end);
        if (line == nullptr) return false;
        number value;
        const char* tab = static_cast<const char*>(std::memchr(line, '\t', static_cast<std::size_t>(line_end - line)));
        if (tab == nullptr || std::from_chars(tab + 1, line_end, value).ec != std::errc{}) return false;
        std::memcpy(out, &value, sizeof value);
        out += sizeof value;
    }
    for (;;) {
        const char* next = sizeof(number) == 4 ? read_single_lines(text + start, out, numbers + block_size)
                                               : read_double_lines(text + start, out, numbers + block_size);
        start = static_cast<std::size_t>(next - text);
        if (out == numbers + block_size) {
            if (write(output, numbers, block_size) != static_cast<ssize_t>(block_size)) return false;
            out = numbers;
        }
        if (std::memchr(text + start, '\n', available - start) == nullptr && read_more()) continue;
        const char* line_end = nullptr;
        const char* line = next_line(line_end);
        if (line == nullptr) break;
        number value;
        if (std::from_chars(line, line_end, value).ec != std::errc{}) return false;
        std::memcpy(out, &value, sizeof value);
        out += sizeof value;
    }
    auto size = static_cast<std::size_t>(out - numbers);
    return write(output, numbers, size) == static_cast<ssize_t>(size);
}

}  // namespace

int main(int argc, char** argv) {
    const bool synced = argc > 1 && std::string(argv[1]) == "--synced";
    argc -= synced ? 1 : 0;
    argv += synced ? 1 : 0;
    if (argc != 4) return 1;
    input = open(argv[2], O_RDONLY);
    int output = open(argv[3], O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (input < 0 || output < 0) return 1;
    bool converted = std::string(argv[1]) == "--to-single" ? convert<float>(output) : convert<double>(output);
    return converted && (!synced || fsync(output) == 0) && close(output) == 0 ? 0 : 1;
}
