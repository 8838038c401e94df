// Ostrel: converts a binary raster stack into an ascii stack.
//   Ostrel [--exact | --digits N] [--buffered] <input stack in binary format> <output stack in ascii format>
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

// Where a command-line argument goes on after the ASCII prefix, or nullptr
// where it does not begin with it; on any platform.
const native_char* after_prefix(const native_char* argument, const char* prefix) {
    for (; *prefix != '\0'; ++argument, ++prefix)
        if (*argument != static_cast<native_char>(*prefix)) return nullptr;
    return argument;
}

// Whether a command-line argument is exactly the ASCII option.
bool is_option(const native_char* argument, const char* option) {
    const native_char* rest = after_prefix(argument, option);
    return rest != nullptr && *rest == 0;
}

constexpr const char* help_lines[] = {
    "Usage: Ostrel [--exact | --digits N] [--buffered] INPUT OUTPUT",
    "  --exact      every number in the fewest digits that read back exactly",
    "  --digits N   every number to N significant digits, 1 to 17 (default 6)",
    "  --buffered   hand lines over in blocks, not one at a time: faster",
    "  --help       show this help and exit",
    "  --version    show the version and exit",
    "",
    "Converts the binary raster stack INPUT (single or double precision, found",
    "from its nodata_value of -9999) into the ascii stack OUTPUT: twelve labelled",
    "header lines, then one line per cell. An INPUT already in ascii form gives",
    "an empty OUTPUT. INPUT and OUTPUT are always the last two arguments.",
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

[[noreturn]] void reject_option(const std::string& fault) {
    print_line(standard_error, fault);
    print_usage(usage_status);
}

// The whole number from 1 to 17 that --digits takes, or 0 for anything else.
int digits_in(const native_char* text) {
    int digits = 0;
    for (const native_char* at = text; *at != 0; ++at) {
        if (*at < '0' || *at > '9' || digits > most_given_digits) return 0;
        digits = digits * 10 + (*at - '0');
    }
    return digits >= least_given_digits && digits <= most_given_digits ? digits : 0;
}

// The options before the two paths. The first fault ends the run with the
// usage, after one line on standard error that names it; an argument that
// is no option at all (no leading '-', or "-" alone) gets the usage alone.
void read_options(native_char** first, native_char** last, text_style& style, int& digits, bool& buffered) {
    bool exact = false, digits_given = false;
    for (; first != last; ++first) {
        const native_char* argument = *first;
        const native_char* number = after_prefix(argument, "--digits=");
        if (is_option(argument, "--buffered")) {
            if (buffered) reject_option("--buffered given twice");
            buffered = true;
        } else if (is_option(argument, "--exact")) {
            if (exact) reject_option("--exact given twice");
            exact = true;
        } else if (number != nullptr || is_option(argument, "--digits")) {
            if (digits_given) reject_option("--digits given twice");
            digits_given = true;
            if (number == nullptr && first + 1 != last) number = *++first;
            digits = number != nullptr ? digits_in(number) : 0;
            if (digits == 0 && (number == nullptr || *number == 0))
                reject_option("--digits takes a whole number from 1 to 17");
            if (digits == 0) reject_option("--digits takes a whole number from 1 to 17, not " + printable_path(number));
        } else {
            if (argument[0] != '-' || argument[1] == 0) print_usage(usage_status);
            reject_option("unknown option " + printable_path(argument));
        }
        if (exact && digits_given) reject_option("--exact and --digits cannot be combined");
    }
    style = exact ? shortest_digits : digits_given ? given_digits : six_digits;
}

int run_converter(int argc, native_char** argv) {
    if (argc == 2) answer_option(argv[1]);
    if (argc < 3) print_usage(usage_status);
    // The last two arguments are the paths, whatever they spell.
    text_style style = six_digits;
    int digits = 0;
    bool buffered = false;
    read_options(argv + 1, argv + argc - 2, style, digits, buffered);
    const native_string input_path = argv[argc - 2];
    const native_string output_path = argv[argc - 1];

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
        conversion = write_text_stack(probe, input, output, single_precision, style, digits, buffered);
    else if (format_name == "double")
        conversion = write_text_stack(probe, input, output, double_precision, style, digits, buffered);
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
