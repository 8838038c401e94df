// The floor of any converter that hands every line over as soon as it is
// complete: the finished text is loaded first, with one read, then written
// to a new file with exactly one write per line. No reading of a stack, no
// formatting.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) return 1;
    int text_file = open(argv[1], O_RDONLY);
    struct stat info {};
    if (text_file < 0 || fstat(text_file, &info) != 0) return 1;
    std::vector<char> text(static_cast<std::size_t>(info.st_size));
    if (read(text_file, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return 1;
    int output = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (output < 0) return 1;
    const char* const text_end = text.data() + text.size();
    for (const char* line = text.data(); line < text_end;) {
        auto rest = static_cast<std::size_t>(text_end - line);
        const char* end = static_cast<const char*>(std::memchr(line, '\n', rest)) + 1;
        if (write(output, line, static_cast<std::size_t>(end - line)) != end - line) return 1;
        line = end;
    }
    return close(output) == 0 ? 0 : 1;
}
