#include "platform_io.h"

#include <cerrno>
#include <csignal>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

bool is_directory(int file) {
    struct stat info {};
    return fstat(file, &info) == 0 && S_ISDIR(info.st_mode);
}

constexpr int interrupts[] = {SIGINT, SIGTERM, SIGHUP};
const char* interrupt_text;
volatile std::sig_atomic_t interrupt_text_size;
volatile std::sig_atomic_t emptied_on_interrupt = no_file;

// Only async-signal-safe calls. The handler stays in place until it has
// written the erase, so a second interrupt, however soon it comes, waits
// for it (its own signal is held off while it runs) or erases again: none
// ends the process before an erase. The default action goes back before the
// signal is raised again; delivered once this returns, it ends the process:
// a shell sees 130 or 143, a batch system the signal. A process ended this way writes no coverage data: the console
// tests check it.
extern "C" void erase_and_end(int signal) {  // GCOVR_EXCL_START
    if (emptied_on_interrupt != no_file) {
        int emptied = ftruncate(emptied_on_interrupt, 0);
        static_cast<void>(emptied);  // nothing else can be done about it either
    }
    ssize_t written = write(STDERR_FILENO, interrupt_text, static_cast<std::size_t>(interrupt_text_size));
    static_cast<void>(written);  // nothing else can be done about a failed erase
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    sigaction(signal, &default_action, nullptr);
    raise(signal);
}  // GCOVR_EXCL_STOP

bool handled_here(int signal) {
    struct sigaction current {};
    sigaction(signal, nullptr, &current);
    return current.sa_handler == erase_and_end;
}

// Takes the interrupts whose action is still the default; one the parent
// had ignored stays ignored.
void handle_interrupts() {
    struct sigaction erase {};  // its own signal is held off while it runs; another one erases again, harmlessly
    erase.sa_handler = erase_and_end;
    for (int signal : interrupts) {
        struct sigaction previous {};
        sigaction(signal, nullptr, &previous);
        if (previous.sa_handler == SIG_DFL) sigaction(signal, &erase, nullptr);
    }
}

}  // namespace

// Where it cannot (a pipe keeps what it was given: there lseek fails, and
// the cut with it) the write has failed all the same.
void cut_partial_write(int file, std::size_t written) {
    int cut = ftruncate(file, lseek(file, 0, SEEK_CUR) - static_cast<off_t>(written));
    static_cast<void>(cut);  // the caller reports the failed write, whether or not the part went
}

int open_input_file(const native_string& path) {
    int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file != no_file && is_directory(file)) {
        close_file(file);
        return no_file;
    }
    return file;
}

// POSIX files have one mode: text and binary are the same bytes.
int open_output_file(const native_string& path, output_mode) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
}

int standard_input_file() { return STDIN_FILENO; }

int standard_output_file(output_mode) { return STDOUT_FILENO; }

file_relation relation_between(int first, int second) {
    struct stat first_info {}, second_info {};
    if (fstat(first, &first_info) != 0 || fstat(second, &second_info) != 0) return relation_unknown;
    bool same = first_info.st_dev == second_info.st_dev && first_info.st_ino == second_info.st_ino;
    return same ? same_file : different_files;
}

bool empty_if_regular(int file) {
    struct stat info {};
    if (fstat(file, &info) != 0) return false;
    return !S_ISREG(info.st_mode) || ftruncate(file, 0) == 0;
}

long read_once(int file, unsigned char* buffer, std::size_t count) {
    ssize_t got;
    do got = ::read(file, buffer, count);
    while (got < 0 && errno == EINTR);
    return static_cast<long>(got);  // -1 where it failed
}

long write_once(int file, const char* data, std::size_t count) { return ::write(file, data, count); }

bool is_regular_file(int file) {
    struct stat info {};
    return fstat(file, &info) == 0 && S_ISREG(info.st_mode);
}

const std::size_t whole_pipe_write_size = PIPE_BUF;

bool write_holding_interrupts(int file, const char* data, std::size_t count) {
    sigset_t held, previous;
    sigemptyset(&held);
    for (int signal : interrupts) sigaddset(&held, signal);
    sigprocmask(SIG_BLOCK, &held, &previous);
    bool written = write_all(file, data, count);
    sigprocmask(SIG_SETMASK, &previous, nullptr);  // a held interrupt is delivered here
    return written;
}

bool close_file(int file) { return ::close(file) == 0; }

void print_line(console_stream stream, const std::string& text) { print_text(stream, text + '\n'); }

void print_text(console_stream stream, const std::string& text) {
    write_all(stream == standard_output ? STDOUT_FILENO : STDERR_FILENO, text.data(), text.size());
}

bool standard_error_is_terminal() { return is_terminal(STDERR_FILENO); }

bool is_terminal(int file) { return isatty(file) == 1; }

double monotonic_seconds() {
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

long long regular_file_size(int file) {
    struct stat info {};
    if (fstat(file, &info) != 0 || !S_ISREG(info.st_mode)) return 0;
    return static_cast<long long>(info.st_size);
}

void erase_on_interrupt(const char* text, std::size_t size) {
    interrupt_text = text;
    interrupt_text_size = static_cast<std::sig_atomic_t>(size);
    handle_interrupts();
}

// The handler stays while a file is to be emptied; it then erases nothing.
void stop_erase_on_interrupt() {
    interrupt_text_size = 0;
    if (emptied_on_interrupt != no_file) return;
    for (int signal : interrupts)
        if (handled_here(signal)) std::signal(signal, SIG_DFL);
}

void empty_on_interrupt(int file) {
    emptied_on_interrupt = file;
    handle_interrupts();
}

std::string printable_path(const native_string& path) { return path; }
