#include "platform_io.h"

#include <cerrno>
#include <csignal>
#include <climits>
#include <cstdlib>
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
const char* volatile removed_on_interrupt = nullptr;

// Only async-signal-safe calls. The handler stays in place until it has
// written the erase, so a second interrupt, however soon it comes, waits
// for it (its own signal is held off while it runs) or erases again: none
// ends the process before an erase. The default action goes back before the
// signal is raised again; delivered once this returns, it ends the process:
// a shell sees 130 or 143, a batch system the signal. A process ended this way writes no coverage data: the console
// tests check it.
extern "C" void erase_and_end(int signal) {  // GCOVR_EXCL_START
    if (removed_on_interrupt != nullptr) unlink(removed_on_interrupt);
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

// Every interrupt held off until the mask is set back to previous.
void hold_interrupts(sigset_t& previous) {
    sigset_t held;
    sigemptyset(&held);
    for (int signal : interrupts) sigaddset(&held, signal);
    sigprocmask(SIG_BLOCK, &held, &previous);
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
    sigset_t previous;
    hold_interrupts(previous);
    bool written = write_all(file, data, count);
    sigprocmask(SIG_SETMASK, &previous, nullptr);  // a held interrupt is delivered here
    return written;
}

bool rewrite_at(int file, long long offset, const char* data, std::size_t count) {
    return lseek(file, static_cast<off_t>(offset), SEEK_SET) == offset && write_holding_interrupts(file, data, count);
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

// A run ends only once the file to be removed is renamed or removed.
void stop_erase_on_interrupt() {
    interrupt_text_size = 0;
    for (int signal : interrupts)
        if (handled_here(signal)) std::signal(signal, SIG_DFL);
}

const char replacement_mark[] = ".ostrel-";

namespace {

// The folder part of a path, with its last slash: "" for a bare name.
std::string folder_of(const std::string& path) { return path.substr(0, path.rfind('/') + 1); }

// The file a path names through any symbolic links: a link's target, read
// from the link's folder where it is relative. A loop of links ends on one
// of them, which then fails to open as any loop does.
std::string link_target(const std::string& path) {
    std::string target = path;
    char link[PATH_MAX];
    for (int hops = 0; hops < 40; ++hops) {
        ssize_t size = readlink(target.c_str(), link, sizeof link);
        if (size < 0) return target;  // no link: the file itself
        std::string next(link, static_cast<std::size_t>(size));
        if (next[0] != '/') next.insert(0, folder_of(target));
        target = next;
    }
    return target;
}

// The bits a newly created file gets: 0666 less the umask, which can only
// be read by setting it, and is set back at once.
mode_t new_file_mode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// A rename is lasting once its folder is on the disk too; where the folder
// cannot be synced, the rename stands all the same.
void sync_folder(const std::string& path) {
    std::string folder = folder_of(path);
    int file = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_CLOEXEC);
    fsync(file);
    ::close(file);
}

}  // namespace

bool is_replaceable(const native_string& path, replacement& replacing) {
    replacing.target = link_target(path);
    struct stat info {};  // still a link only where the links went on too long
    if (lstat(replacing.target.c_str(), &info) != 0) return errno == ENOENT;
    return S_ISREG(info.st_mode);
}

file_relation relation_to_path(int file, const native_string& path) {
    struct stat file_info {}, path_info {};
    if (stat(path.c_str(), &path_info) != 0) return errno == ENOENT ? different_files : relation_unknown;
    if (fstat(file, &file_info) != 0) return relation_unknown;
    bool same = file_info.st_dev == path_info.st_dev && file_info.st_ino == path_info.st_ino;
    return same ? same_file : different_files;
}

int open_replacement(replacement& replacing) {
    struct stat info {};
    mode_t mode = stat(replacing.target.c_str(), &info) == 0 ? info.st_mode & 07777 : new_file_mode();
    // A name cut to 200 bytes, so that the mark and six characters still fit the system's 255.
    std::string name = replacing.target.substr(folder_of(replacing.target).size(), 200);
    replacing.temporary = folder_of(replacing.target) + name + replacement_mark + "XXXXXX";
    int file = mkostemp(&replacing.temporary[0], O_CLOEXEC);  // 0600, exclusive: as mkstemp
    // Made by this process a moment ago: its bits can be set, and were they not, its bytes still would be whole.
    if (file != no_file) fchmod(file, mode);
    return file;
}

void remove_on_interrupt(int, const replacement& replacing) {
    removed_on_interrupt = replacing.temporary.c_str();
    handle_interrupts();
}

// Until the rename, an interrupt removes the temporary file and ends the
// run (the sync, which can take long, included): the old stack is kept.
// From the rename on, interrupts are held off to the run's end, which ends
// as it succeeded: a run that an interrupt ends has never replaced OUTPUT.
bool commit_replacement(int file, const replacement& replacing) {
    bool synced = fsync(file) == 0;
    bool closed = ::close(file) == 0;
    sigset_t previous;
    hold_interrupts(previous);
    bool renamed = synced && closed && rename(replacing.temporary.c_str(), replacing.target.c_str()) == 0;
    if (renamed) {
        sync_folder(replacing.target);
        return true;
    }
    unlink(replacing.temporary.c_str());  // an interrupt after this removes a name no file has
    sigprocmask(SIG_SETMASK, &previous, nullptr);  // a held interrupt is delivered here
    return false;
}

void discard_replacement(int file, const replacement& replacing) {
    ::close(file);
    unlink(replacing.temporary.c_str());
}

std::string printable_path(const native_string& path) { return path; }
