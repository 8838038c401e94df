#include "file_io.h"

#include <cerrno>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
int open_path(const native_string& path, int flags) { return _wopen(path.c_str(), flags, _S_IREAD | _S_IWRITE); }
long read_some(int file, unsigned char* buffer, std::size_t count) { return _read(file, buffer, static_cast<unsigned>(count)); }
long write_some(int file, const char* data, std::size_t count) { return _write(file, data, static_cast<unsigned>(count)); }
bool is_directory(int file) { struct _stat64 info; return _fstat64(file, &info) == 0 && (info.st_mode & _S_IFDIR) != 0; }
constexpr int input_flags = _O_RDONLY | _O_BINARY;
constexpr int output_flags = _O_WRONLY | _O_CREAT | _O_TRUNC | _O_TEXT;
#else
int open_path(const native_string& path, int flags) { return ::open(path.c_str(), flags, 0666); }
long read_some(int file, unsigned char* buffer, std::size_t count) { return ::read(file, buffer, count); }
long write_some(int file, const char* data, std::size_t count) { return ::write(file, data, count); }
bool is_directory(int file) { struct stat info; return fstat(file, &info) == 0 && S_ISDIR(info.st_mode); }
constexpr int input_flags = O_RDONLY;
constexpr int output_flags = O_WRONLY | O_CREAT | O_TRUNC;
#endif

// A write that fails half-way (a full disk) leaves part of a line; cutting it
// off again keeps the file ending at a line end. The part never holds the
// newline, so its size in the file is its size here, in text mode too.
void cut_partial_write(int file, std::size_t written) {
    if (written == 0) return;
#ifdef _WIN32
    long long end = _lseeki64(file, 0, SEEK_CUR);
    if (end >= static_cast<long long>(written)) _chsize_s(file, end - static_cast<long long>(written));
#else
    off_t end = lseek(file, 0, SEEK_CUR);
    if (end >= static_cast<off_t>(written)) (void)ftruncate(file, end - static_cast<off_t>(written));
#endif
}

#ifdef _WIN32
void append_utf8(std::string& text, unsigned long code_point) {
    if (code_point < 0x80) {
        text += static_cast<char>(code_point);
        return;
    }
    int continuation_count = code_point < 0x800 ? 1 : code_point < 0x10000 ? 2 : 3;
    static const unsigned char lead_marks[] = {0, 0xC0, 0xE0, 0xF0};
    text += static_cast<char>(lead_marks[continuation_count] | (code_point >> (6 * continuation_count)));
    for (int shift = 6 * (continuation_count - 1); shift >= 0; shift -= 6)
        text += static_cast<char>(0x80 | ((code_point >> shift) & 0x3F));
}
#endif

}  // namespace

int open_input_file(const native_string& path) {
    int file = open_path(path, input_flags);
    if (file != no_file && is_directory(file)) {
        close_file(file);
        return no_file;
    }
    return file;
}

int open_output_file(const native_string& path) { return open_path(path, output_flags); }

long read_once(int file, unsigned char* buffer, std::size_t count) {
    long got;
    do got = read_some(file, buffer, count);
    while (got < 0 && errno == EINTR);
    return got < 0 ? -1 : got;
}

long read_up_to(int file, unsigned char* buffer, std::size_t count) {
    std::size_t total = 0;
    while (total < count) {
        long got = read_once(file, buffer + total, count - total);
        if (got < 0) return -1;
        if (got == 0) break;
        total += static_cast<std::size_t>(got);
    }
    return static_cast<long>(total);
}

bool rewind_file(int file) {
#ifdef _WIN32
    return _lseeki64(file, 0, SEEK_SET) == 0;
#else
    return lseek(file, 0, SEEK_SET) == 0;
#endif
}

bool write_all(int file, const char* data, std::size_t count) {
    std::size_t written_so_far = 0;
    while (written_so_far < count) {
        long written = write_some(file, data + written_so_far, count - written_so_far);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            cut_partial_write(file, written_so_far);
            return false;
        }
        written_so_far += static_cast<std::size_t>(written);
    }
    return true;
}

bool close_file(int file) {
#ifdef _WIN32
    return _close(file) == 0;
#else
    return ::close(file) == 0;
#endif
}

bool same_file(const native_string& first, const native_string& second) {
    std::error_code error;
    return std::filesystem::equivalent(first, second, error) && !error;
}

std::string printable_path(const native_string& path) {
#ifdef _WIN32
    // UTF-16 to UTF-8; a lone surrogate becomes U+FFFD rather than vanishing.
    std::string text;
    for (std::size_t i = 0; i < path.size(); ++i) {
        unsigned long unit = static_cast<unsigned short>(path[i]);
        bool high = unit >= 0xD800 && unit < 0xDC00;
        unsigned long next = i + 1 < path.size() ? static_cast<unsigned short>(path[i + 1]) : 0;
        if (high && next >= 0xDC00 && next < 0xE000) {
            append_utf8(text, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
            ++i;
        } else {
            append_utf8(text, unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit);
        }
    }
    return text;
#else
    return path;
#endif
}
