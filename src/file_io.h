// Files through the C runtime's descriptors, and paths as the platform hands
// them to the program: narrow bytes on POSIX, wide characters on Windows.
#ifndef OSTREL_FILE_IO_H
#define OSTREL_FILE_IO_H

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

// Text mode (LF becomes CR LF on Windows); truncates an existing file.
int open_output_file(const native_string& path);

// One read of at most count bytes: the number read, 0 at the end of the
// file, or -1 when the read failed with an error.
long read_once(int file, unsigned char* buffer, std::size_t count);

// Reads until count bytes have arrived or the file ends. Returns the number
// of bytes read, or -1 when a read failed with an error.
long read_up_to(int file, unsigned char* buffer, std::size_t count);

bool rewind_file(int file);

// Hands the bytes to the operating system with one runtime write (more only
// when the system accepts part of them).
bool write_all(int file, const char* data, std::size_t count);

bool close_file(int file);

// True only when both paths name one existing file, whatever the spelling,
// links included.
bool same_file(const native_string& first, const native_string& second);

// The path as UTF-8 for messages; on POSIX the bytes exactly as given.
std::string printable_path(const native_string& path);

#endif
