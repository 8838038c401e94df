#define _CRT_RAND_S  // rand_s: the system's own random numbers, for names no one can guess
#include "platform_io.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

bool is_directory(int file) {
    struct _stat64 info {};
    return _fstat64(file, &info) == 0 && (info.st_mode & _S_IFDIR) != 0;
}

HANDLE handle_of(int file) { return reinterpret_cast<HANDLE>(_get_osfhandle(file)); }

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

HANDLE console_handle(console_stream stream) {
    return GetStdHandle(stream == standard_output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool is_console(HANDLE handle) {
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode) != 0;
}

// A console shows text in its code page, not as UTF-8: it is given UTF-16.
bool write_console_text(console_stream stream, const std::string& text) {
    HANDLE console = console_handle(stream);
    if (!is_console(console)) return false;
    int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    DWORD written = 0;
    return WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) != 0;
}

const char* interrupt_text;
volatile DWORD interrupt_text_size;
bool erasing_on_interrupt = false;

// Held while standard error is written, and by the interrupt's handler from
// its erase to the process's end: the handler runs on a thread of its own,
// and the run would otherwise draw its line again over the erase.
SRWLOCK standard_error_lock = SRWLOCK_INIT;

// Called on a thread of its own for Ctrl-C, Ctrl-Break and the console
// closing, a new thread for each. The first takes the lock for good, erases
// and hands the event on to the system's handler (FALSE), which ends the
// process with the usual status. A second event waits for the first, which
// the process's end ends; so the erase comes once and is never drawn over.
BOOL WINAPI erase_and_pass_on(DWORD) {
    AcquireSRWLockExclusive(&standard_error_lock);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), interrupt_text, interrupt_text_size, &written, nullptr);
    return FALSE;
}

// Held while a write must not be cut: an interrupt's handler waits for it,
// then keeps it, so that no further write starts before the process ends.
SRWLOCK whole_write_lock = SRWLOCK_INIT;
bool finishing_writes_on_interrupt = false;
volatile int removed_file = no_file;
const wchar_t* volatile removed_path = nullptr;
volatile LONG interrupted = 0;

// The write under way finishes first, and the temporary file to be removed
// is closed (no other write to it can start) and removed; then the event
// goes on, to the erase's handler where the status line shows (the two run
// in either order) and to the system's handler, which ends the process.
BOOL WINAPI finish_write_and_pass_on(DWORD) {
    InterlockedExchange(&interrupted, 1);  // a replacement not yet renamed is given up
    AcquireSRWLockExclusive(&whole_write_lock);
    if (removed_path != nullptr) {
        _close(removed_file);
        DeleteFileW(removed_path);
    }
    return FALSE;
}

void finish_writes_on_interrupt() {
    if (!finishing_writes_on_interrupt)
        finishing_writes_on_interrupt = SetConsoleCtrlHandler(finish_write_and_pass_on, TRUE) != 0;
}

}  // namespace

// The part never holds the newline, so its size in the file is its size
// here, in text mode too.
void cut_partial_write(int file, std::size_t written) {
    if (written == 0) return;
    long long end = _lseeki64(file, 0, SEEK_CUR);
    if (end >= static_cast<long long>(written)) _chsize_s(file, end - static_cast<long long>(written));
}

int open_input_file(const native_string& path) {
    int file = _wopen(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (file != no_file && is_directory(file)) {
        close_file(file);
        return no_file;
    }
    return file;
}

namespace {
int translation(output_mode mode) { return mode == text_output ? _O_TEXT : _O_BINARY; }
}  // namespace

int open_output_file(const native_string& path, output_mode mode) {
    return _wopen(path.c_str(), _O_WRONLY | _O_CREAT | translation(mode) | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}

// A closed standard stream gives no descriptor: no_file, as a failed open.
int standard_input_file() {
    if (_setmode(0, _O_BINARY) == -1) return no_file;
    return 0;
}

int standard_output_file(output_mode mode) {
    if (_setmode(1, translation(mode)) == -1) return no_file;
    return 1;
}

// Only files on disk have a volume and an index; a pipe or a device is
// never the same file as anything empty_if_regular would truncate.
file_relation relation_between(int first, int second) {
    if (first == no_file || second == no_file) return relation_unknown;
    if (GetFileType(handle_of(first)) != FILE_TYPE_DISK || GetFileType(handle_of(second)) != FILE_TYPE_DISK)
        return different_files;
    BY_HANDLE_FILE_INFORMATION first_info{}, second_info{};
    if (!GetFileInformationByHandle(handle_of(first), &first_info) ||
        !GetFileInformationByHandle(handle_of(second), &second_info))
        return relation_unknown;
    bool same = first_info.dwVolumeSerialNumber == second_info.dwVolumeSerialNumber &&
                first_info.nFileIndexHigh == second_info.nFileIndexHigh &&
                first_info.nFileIndexLow == second_info.nFileIndexLow;
    return same ? same_file : different_files;
}

bool empty_if_regular(int file) {
    return GetFileType(handle_of(file)) != FILE_TYPE_DISK || _chsize_s(file, 0) == 0;
}

long read_once(int file, unsigned char* buffer, std::size_t count) {
    int got;
    do got = _read(file, buffer, static_cast<unsigned>(count));
    while (got < 0 && errno == EINTR);
    return got;  // -1 where it failed
}

long write_once(int file, const char* data, std::size_t count) {
    return _write(file, data, static_cast<unsigned>(count));
}

bool is_regular_file(int file) { return GetFileType(handle_of(file)) == FILE_TYPE_DISK; }

// The C runtime turns each LF into CR LF in a small buffer of its own, and
// hands that over in pieces: a write of at most this many is one piece.
const std::size_t whole_pipe_write_size = 512;

bool write_holding_interrupts(int file, const char* data, std::size_t count) {
    finish_writes_on_interrupt();
    AcquireSRWLockExclusive(&whole_write_lock);
    bool written = write_all(file, data, count);
    ReleaseSRWLockExclusive(&whole_write_lock);
    return written;
}

bool rewrite_at(int file, long long offset, const char* data, std::size_t count) {
    return _lseeki64(file, offset, SEEK_SET) == offset && write_holding_interrupts(file, data, count);
}

bool close_file(int file) { return _close(file) == 0; }

void print_line(console_stream stream, const std::string& text) {
    // A console is given CR LF; a pipe or a file gets it from its text-mode stream.
    print_text(stream, text + (is_console(console_handle(stream)) ? "\r\n" : "\n"));
}

void print_text(console_stream stream, const std::string& text) {
    if (stream == standard_error) AcquireSRWLockExclusive(&standard_error_lock);
    if (!write_console_text(stream, text)) {
        std::FILE* file = stream == standard_output ? stdout : stderr;
        std::fputs(text.c_str(), file);
        std::fflush(file);
    }
    if (stream == standard_error) ReleaseSRWLockExclusive(&standard_error_lock);
}

bool standard_error_is_terminal() { return is_console(console_handle(standard_error)); }

bool is_terminal(int file) { return is_console(handle_of(file)); }

double monotonic_seconds() { return static_cast<double>(GetTickCount64()) / 1000; }

long long regular_file_size(int file) {
    if (GetFileType(handle_of(file)) != FILE_TYPE_DISK) return 0;
    long long size = _filelengthi64(file);
    return size < 0 ? 0 : size;
}

void erase_on_interrupt(const char* text, std::size_t size) {
    interrupt_text = text;
    interrupt_text_size = static_cast<DWORD>(size);
    if (!erasing_on_interrupt) erasing_on_interrupt = SetConsoleCtrlHandler(erase_and_pass_on, TRUE) != 0;
}

void stop_erase_on_interrupt() {
    if (erasing_on_interrupt) SetConsoleCtrlHandler(erase_and_pass_on, FALSE);
    erasing_on_interrupt = false;
}

std::string printable_path(const native_string& path) {
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
}

const char replacement_mark[] = ".ostrel-";

namespace {

// The folder part of a path, with its last separator: "" for a bare name,
// "C:" for a name on drive C's current folder.
std::wstring folder_of(const std::wstring& path) {
    std::size_t separator = path.find_last_of(L"/\\:");
    return path.substr(0, separator + 1);
}

// A handle that only asks what a path names, whatever it is; opening it
// takes nothing from any other opener.
HANDLE query_handle(const std::wstring& path) {
    return CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// Six characters of a name, from the system's random numbers.
std::wstring random_characters() {
    static const wchar_t alphabet[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
    std::wstring text;
    for (int index = 0; index < 6; ++index) {
        unsigned int number = 0;
        rand_s(&number);
        text += alphabet[number % 36];
    }
    return text;
}

}  // namespace

bool is_replaceable(const native_string& path, replacement& replacing) {
    replacing.target = path;
    HANDLE file = query_handle(path);
    if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    BY_HANDLE_FILE_INFORMATION info{};
    bool regular = GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
                   (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    CloseHandle(file);
    return regular;
}

file_relation relation_to_path(int file, const native_string& path) {
    HANDLE named = query_handle(path);
    if (named == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? different_files : relation_unknown;
    int named_file = _open_osfhandle(reinterpret_cast<intptr_t>(named), _O_RDONLY);
    if (named_file == no_file) {
        CloseHandle(named);
        return relation_unknown;
    }
    file_relation relation = relation_between(file, named_file);
    _close(named_file);
    return relation;
}

// Exclusive creation: a name taken, or a link planted under it, is never
// opened; another name is tried.
int open_replacement(replacement& replacing) {
    const std::wstring folder = folder_of(replacing.target);
    const std::wstring name = replacing.target.substr(folder.size(), 200);
    const std::wstring mark(replacement_mark, replacement_mark + sizeof replacement_mark - 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        replacing.temporary = folder + name + mark + random_characters();
        int file = _wopen(replacing.temporary.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                          _S_IREAD | _S_IWRITE);
        if (file != no_file || errno != EEXIST) return file;
    }
    return no_file;
}

void remove_on_interrupt(int file, const replacement& replacing) {
    removed_file = file;
    removed_path = replacing.temporary.c_str();
    finish_writes_on_interrupt();
}

// Under the lock that an interrupt's handler takes: the file is renamed or
// removed by one of them, never by both. An interrupt that came during the
// flush gives the replacement up: the handlers then end the process, the
// old stack kept. After the rename the lock is kept to the run's end, which
// ends as it succeeded: a run that an interrupt ends has never replaced OUTPUT.
bool commit_replacement(int file, const replacement& replacing) {
    AcquireSRWLockExclusive(&whole_write_lock);
    bool synced = FlushFileBuffers(handle_of(file)) != 0;
    bool closed = _close(file) == 0;
    bool renamed = synced && closed && interrupted == 0 &&
                   MoveFileExW(replacing.temporary.c_str(), replacing.target.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (renamed) return true;
    DeleteFileW(replacing.temporary.c_str());
    removed_path = nullptr;
    ReleaseSRWLockExclusive(&whole_write_lock);
    if (interrupted != 0) Sleep(INFINITE);  // the interrupt's handlers end the process
    return false;
}

void discard_replacement(int file, const replacement& replacing) {
    AcquireSRWLockExclusive(&whole_write_lock);
    _close(file);
    DeleteFileW(replacing.temporary.c_str());
    removed_path = nullptr;
    ReleaseSRWLockExclusive(&whole_write_lock);
}
