// The floor of any converter that hands every line over as soon as it is
// complete: the finished text is loaded first, then written to a new file
// with exactly one write per line. No reading of a stack, no formatting.
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) return 1;
    std::ifstream text_file(argv[1], std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(text_file)), std::istreambuf_iterator<char>());
    int output = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (output < 0) return 1;
    for (const char* line = text.data(); line < text.data() + text.size();) {
        const char* end = static_cast<const char*>(std::memchr(line, '\n', text.data() + text.size() - line)) + 1;
        if (write(output, line, static_cast<std::size_t>(end - line)) != end - line) return 1;
        line = end;
    }
    return close(output) == 0 ? 0 : 1;
}
