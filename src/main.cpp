// Ostrel: converts a binary raster stack into an ascii stack.
//   Ostrel <input stack in binary format> <output stack in ascii format>
//   Ostrel --version | --help
// Exit status: 0 done, 1 usage, 99 input unreadable, 98 input unrecognised or
// output unwritable.

#include "ascii_stack_writer.h"
#include "platform_io.h"
#include "progress.h"
#include "stack_format.h"

#include <cstdlib>
#include <string>

namespace {

constexpr int usage_status = 1;
constexpr int input_status = 99;
constexpr int format_or_output_status = 98;

[[noreturn]] void fail(int status, const char* literal, const native_string& path) {
    clear_progress();
    print_line(standard_error, literal + printable_path(path));
    std::exit(status);
}

[[noreturn]] void print_usage(int status) {
    print_line(standard_output, "converting stacks in Pelox binary format into stacks in ascii format");
    print_line(standard_output, "usage: Kindor <input stack in binary format> <output stack in ascii format>");
    std::exit(status);
}

// Whether a command-line argument is exactly the ASCII option, on any platform.
bool is_option(const native_char* argument, const char* option) {
    for (; *option != '\0'; ++argument, ++option)
        if (*argument != static_cast<native_char>(*option)) return false;
    return *argument == 0;
}

constexpr const char* help_lines[] = {
    "Usage: Ostrel INPUT OUTPUT",
    "  --help       show this help and exit",
    "  --version    show the version and exit",
    "",
    "Converts the binary raster stack INPUT (single or double precision, found",
    "from its nodata_value of -9999) into the ascii stack OUTPUT: twelve labelled",
    "header lines, then one line per cell. An INPUT already in ascii form gives",
    "an empty OUTPUT.",
    "",
    "INPUT and OUTPUT may be files, pipes, /dev/stdin or /dev/stdout. An OUTPUT",
    "that is the INPUT is refused; OUTPUT is emptied only when it is a regular",
    "file.",
    "",
    "Exit status:",
    "  0   converted (or --help, --version)",
    "  1   wrong arguments",
    "  98  INPUT not recognised, OUTPUT is the INPUT, or OUTPUT not writable",
    "  99  INPUT cannot be opened or read",
    "",
    "While a conversion runs, progress shows on standard error if it is a",
    "terminal. Full manual: man Ostrel (on Windows, README.md beside Ostrel.exe).",
};

[[noreturn]] void print_help() {
    for (const char* line : help_lines) print_line(standard_output, line);
    std::exit(0);
}

// Only a single argument is an option: with two, both are paths, whatever they spell.
[[noreturn]] void answer_option(const native_char* argument) {
    if (is_option(argument, "--help")) print_help();
    if (!is_option(argument, "--version")) print_usage(usage_status);
    print_line(standard_output, "Ostrel " OSTREL_VERSION);
    std::exit(0);
}

int run_converter(int argc, native_char** argv) {
    if (argc == 2) answer_option(argv[1]);
    if (argc != 3) print_usage(usage_status);
    const native_string input_path = argv[1];
    const native_string output_path = argv[2];

    int input = open_input_file(input_path);
    if (input == no_file) fail(input_status, "error opening input file ", input_path);

    unsigned char probe[probe_size];
    recognition_result recognition = detect_stack_format(input, probe);
    if (recognition == recognition_read_failed) fail(input_status, "error reading input file ", input_path);
    if (recognition == not_recognised)
        fail(format_or_output_status, "could not recognise file format (ascii, single or double) for ", input_path);

    // The output is opened without truncating it and compared with the input
    // as open files, so that no spelling, link or redirection of the input
    // is ever emptied, and nothing can change between the check and the use.
    // An output that did not open has no identity either: one message for both.
    int output = open_output_file(output_path);
    file_relation relation = relation_between(input, output);
    if (relation == same_file) fail(format_or_output_status, "output file is the same as input file ", output_path);
    // Unable to tell is not proof that they differ: truncating could empty the input.
    if (relation == relation_unknown) fail(format_or_output_status, "error opening output file ", output_path);
    if (!empty_if_regular(output)) fail(format_or_output_status, "error opening output file ", output_path);
    start_progress(input, output);

    conversion_result conversion = conversion_complete;
    if (format_name == "single")
        conversion = write_text_stack(probe, input, output, single_precision);
    else if (format_name == "double")
        conversion = write_text_stack(probe, input, output, double_precision);
    if (conversion == conversion_read_failed) fail(input_status, "error reading input file ", input_path);
    if (conversion == conversion_write_failed)
        fail(format_or_output_status, "error writing output file ", output_path);

    close_file(input);
    if (!close_file(output)) fail(format_or_output_status, "error writing output file ", output_path);
    clear_progress();
    return 0;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) { return run_converter(argc, argv); }
#else
int main(int argc, char** argv) { return run_converter(argc, argv); }
#endif
