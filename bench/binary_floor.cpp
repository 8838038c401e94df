// The floor of a conversion back to binary: the whole text is loaded first,
// with one read; each line's number is read with the standard library's
// std::from_chars (the header's after its TAB), kept in memory, and all of
// them written at the end in blocks of 1 MiB. No checks but the readers'.
//   bench_binary_floor --to-single | --to-double TEXT OUTPUT
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstring>
#include <string>
#include <vector>

template <typename number>
bool read_lines(const std::vector<char>& text, std::vector<number>& numbers) {
    const char* const end = text.data() + text.size();
    for (const char* line = text.data(); line < end;) {
        const auto* line_end = static_cast<const char*>(std::memchr(line, '\n', static_cast<std::size_t>(end - line)));
        if (line_end == nullptr) line_end = end;
        const auto* tab = static_cast<const char*>(std::memchr(line, '\t', static_cast<std::size_t>(line_end - line)));
        number value;
        if (std::from_chars(tab != nullptr ? tab + 1 : line, line_end, value).ec != std::errc{}) return false;
        numbers.push_back(value);
        line = line_end + 1;
    }
    return true;
}

template <typename number>
bool convert(const std::vector<char>& text, int output) {
    std::vector<number> numbers;
    if (!read_lines(text, numbers)) return false;
    const char* bytes = reinterpret_cast<const char*>(numbers.data());
    std::size_t size = numbers.size() * sizeof(number);
    for (std::size_t at = 0; at < size; at += std::size_t{1} << 20) {
        std::size_t block = std::min(size - at, std::size_t{1} << 20);
        if (write(output, bytes + at, block) != static_cast<ssize_t>(block)) return false;
    }
    return true;
}

int main(int argc, char** argv) {
    if (argc != 4) return 1;
    int text_file = open(argv[2], O_RDONLY);
    struct stat info {};
    if (text_file < 0 || fstat(text_file, &info) != 0) return 1;
    std::vector<char> text(static_cast<std::size_t>(info.st_size));
    if (read(text_file, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return 1;
    int output = open(argv[3], O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (output < 0) return 1;
    bool single = std::string(argv[1]) == "--to-single";
    bool converted = single ? convert<float>(text, output) : convert<double>(text, output);
    return converted && close(output) == 0 ? 0 : 1;
}
