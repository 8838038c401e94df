// Files and the console through the operating system's own interface, and
// paths as the platform hands them to the program: narrow bytes on POSIX,
// wide characters on Windows. Each platform has its own source file.
#ifndef OSTREL_PLATFORM_IO_H
#define OSTREL_PLATFORM_IO_H

#include <cstddef>
#include <string>

#ifdef _WIN32
using native_char = wchar_t;
#else
using native_char = char;
#endif
using native_string = std::basic_string<native_char>;

constexpr int no_file = -1;

// Binary mode, shared with any other opener. A directory is no input file:
// no_file for it as for any other failure.
int open_input_file(const native_string& path);

// How an output is written: text (LF becomes CR LF on Windows) for an
// ascii stack, binary, byte for byte, for a binary one.
enum output_mode { text_output, binary_output };

// For writing in mode, created when missing, shared with any other opener.
// An existing file keeps its bytes until empty_if_regular: it may still turn
// out to be the input.
int open_output_file(const native_string& path, output_mode mode);

// Standard input, for "-": binary mode. Standard output, for "-": in mode,
// as an output file is. Neither is opened, nor emptied later: the shell
// that opened them chose whether to empty or append.
int standard_input_file();
int standard_output_file(output_mode mode);

enum file_relation { different_files, same_file, relation_unknown };

// Whether two open files are one file: the same device and inode, or volume
// and file index, whatever paths or links led to them. relation_unknown when
// either is no_file or cannot be told, which the caller must treat as
// possibly the same.
file_relation relation_between(int first, int second);

// Truncates a regular file to nothing; pipes and devices are left as they are.
bool empty_if_regular(int file);

// One read of at most count bytes: the number read, 0 at the end of the
// file, or -1 when the read failed with an error.
long read_once(int file, unsigned char* buffer, std::size_t count);

// One write of at most count bytes: the number the system took, or -1
// when it failed with an error.
long write_once(int file, const char* data, std::size_t count);

// Cuts the last written bytes off a file after a write failed half-way (a
// full disk), so that it ends at a line end again; a pipe keeps them.
void cut_partial_write(int file, std::size_t written);

// Completes a write of which write_once took only written bytes (or failed
// with -1): writes on after a partial or interrupted write, and where a
// write fails part-way cuts the file back to where it stood, so that a file
// ends where the last whole write ended. True when all count bytes are out.
bool finish_write(int file, const char* data, std::size_t count, long written);

// Hands the bytes to the operating system with one write, and one
// comparison; more only when the system takes part of them. Inline, so that
// the line loop pays one call, to the system's write.
inline bool write_all(int file, const char* data, std::size_t count) {
    long written = write_once(file, data, count);
    return written == static_cast<long>(count) || finish_write(file, data, count, written);
}

// Whether an open file is a regular file, which a write can cut only where
// the process ends in the middle of it; a pipe takes a small write whole.
bool is_regular_file(int file);

// The most bytes a write hands to a pipe whole or not at all, so that an
// interrupt that ends the process in the middle of a blocked write leaves
// nothing of it: PIPE_BUF on POSIX.
extern const std::size_t whole_pipe_write_size;

// write_all with Ctrl-C, SIGTERM and SIGHUP held off until every byte is
// out (or the write failed): an interrupt then ends the process after the
// write, never inside it. For regular files only: a pipe whose reader has
// stopped would hold the interrupt off for ever.
bool write_holding_interrupts(int file, const char* data, std::size_t count);

// Writes count bytes over a regular file's bytes from offset on, as
// write_holding_interrupts writes them; later writes go on after them.
bool rewrite_at(int file, long long offset, const char* data, std::size_t count);

bool close_file(int file);

enum console_stream { standard_output, standard_error };

// One line of UTF-8 text and its line end, handed over at once.
void print_line(console_stream stream, const std::string& text);

// UTF-8 text as it stands, with no line end, handed over at once.
void print_text(console_stream stream, const std::string& text);

// Whether standard error, or an open file, is a terminal (on Windows, a
// console) that a person watches, rather than a pipe, a file or a device.
bool standard_error_is_terminal();
bool is_terminal(int file);

// Seconds from a fixed point in the past; never goes back.
double monotonic_seconds();

// The size of a regular file in bytes; 0, as for an empty file, where no
// size can be known: a pipe, a device, or a file whose size cannot be read.
long long regular_file_size(int file);

// Until stop_erase_on_interrupt, an interrupt (Ctrl-C, a termination, the
// terminal closing; on Windows also Ctrl-Break and the console closing) first
// writes the size bytes at text to standard error, then ends the process as
// it would have ended it. The text stays where it is; the caller may call
// again with a longer size. A signal the parent had ignored stays ignored.
void erase_on_interrupt(const char* text, std::size_t size);
void stop_erase_on_interrupt();

// A binary stack's output, where OUTPUT is a regular file or a new path:
// written beside the file it replaces and put in its place only when whole,
// so that a run that fails, or is interrupted or killed, leaves OUTPUT as
// it was. target is the file OUTPUT names (on POSIX through any symbolic
// links, which stay), temporary the file written in the target's folder.
struct replacement {
    native_string target;
    native_string temporary;
};

// The mark in a temporary file's name: "OUTPUT.ostrel-" and six characters.
extern const char replacement_mark[];

// Whether the path names a regular file or nothing yet: a file to replace,
// whose target is then set. A pipe, a device or a folder is written in
// place, or fails to open, as does a path of too many links.
bool is_replaceable(const native_string& path, replacement& replacing);

// Whether an open file is the file a path names; different_files where the
// path names nothing yet.
file_relation relation_to_path(int file, const native_string& path);

// Creates the temporary file beside the target, exclusively and under a
// name no one can guess, never through a link planted there, with the
// permission bits the target has or a new file would get. no_file where it
// cannot; nothing is then left behind.
int open_replacement(replacement& replacing);

// From now on an interrupt (as above) first removes the temporary file,
// then ends the process as it would have ended it. Writes through
// write_holding_interrupts are never cut.
void remove_on_interrupt(int file, const replacement& replacing);

// Hands the file's bytes to the disk, closes it and renames it onto the
// target. False where a step failed: the temporary file is then removed
// and the target is as it was.
bool commit_replacement(int file, const replacement& replacing);

// Closes and removes the temporary file: the target is as it was.
void discard_replacement(int file, const replacement& replacing);

// The path as UTF-8 for messages; on POSIX the bytes exactly as given.
std::string printable_path(const native_string& path);

#endif
