// Ostrel: converts a binary raster stack into an ascii stack, and back.
//   Ostrel [--exact | --digits N] [--buffered] [--check] <input stack in binary format> <output stack in ascii format>
//   Ostrel --to-single | --to-double [--check] [--stats] <input stack in ascii format> <output stack in binary format>
//   Ostrel --info [--check] <input stack, binary or ascii> <report>
//   Ostrel --version | --help
// Exit status: 0 done, 1 usage, 99 input unreadable, 98 input unrecognised,
// not holding its header's cells (--check, --to-*) or not an ascii stack
// (--to-*), or output unwritable.

#include "ascii_stack_writer.h"
#include "binary_stack_writer.h"
#include "platform_io.h"
#include "progress.h"
#include "stack_check.h"
#include "stack_format.h"
#include "stack_report.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

namespace {

constexpr int usage_status = 1;
constexpr int input_status = 99;
constexpr int format_or_output_status = 98;

[[noreturn]] void fail_with(int status, const std::string& message) {
    clear_progress();
    print_line(standard_error, message);
    std::exit(status);
}

[[noreturn]] void fail(int status, const char* literal, const native_string& path) {
    fail_with(status, literal + printable_path(path));
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
    "Usage: Ostrel [--exact | --digits N] [--buffered] [--check] INPUT OUTPUT",
    "       Ostrel --to-single | --to-double [--check] [--stats] INPUT OUTPUT",
    "       Ostrel --info [--check] INPUT OUTPUT",
    "  --exact      every number in the fewest digits that read back exactly",
    "  --digits N   cells to N significant digits, 1 to 17 (default 6); the",
    "               header as --exact writes it",
    "  --buffered   hand lines over in blocks, not one at a time: faster",
    "  --check      fail (98) unless INPUT holds the cells its header counts",
    "  --to-single  turn the ascii stack INPUT back into a binary stack of",
    "  --to-double  single or double precision, always held to its header's count",
    "  --stats      with --to-*: the header's cnt to average computed from the cells",
    "  --info       report what INPUT holds (binary or ascii), a fact a line",
    "  --help, --version   show this help or the version, and exit",
    "",
    "Converts the binary raster stack INPUT (single or double precision, found",
    "from its nodata_value of -9999) into the ascii stack OUTPUT: twelve labelled",
    "header lines, then one line per cell. An INPUT that begins with \"ncol\" (an",
    "ASCII grid) gives an empty OUTPUT. INPUT and OUTPUT, always the last two",
    "arguments, are files, pipes, or - for standard input and output (or ./-).",
    "Exit status: 0 done; 1 wrong arguments; 99 INPUT cannot be opened or read;",
    "  98  INPUT not recognised, not an ascii stack (--to-*) or not holding the",
    "      cells its header counts (--check, --to-*); OUTPUT is INPUT or unwritable",
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

// What the options before the two paths ask for.
struct run_options {
    text_style style;
    int digits;
    bool exact, digits_given, buffered, check, stats, info;
    const char* binary_option;  // --to-single or --to-double, or nullptr
};

// The option, if any, that a conversion back to binary cannot take with it:
// it always checks its cells against the header, with or without --check.
const char* option_besides_binary(const run_options& options) {
    return options.exact ? "--exact" : options.digits_given ? "--digits" : options.buffered ? "--buffered" : nullptr;
}

// The option, if any, that a report cannot take with it: only --check.
const char* option_besides_info(const run_options& options) {
    const char* besides = option_besides_binary(options);
    return besides != nullptr ? besides : options.binary_option != nullptr ? options.binary_option
                                      : options.stats                      ? "--stats"
                                                                           : nullptr;
}

constexpr const char* option_names[] = {"--to-single", "--to-double", "--buffered", "--check",
                                        "--exact",     "--digits",    "--stats",    "--info"};

bool is_conversion_option(const native_char* argument) {
    return std::any_of(std::begin(option_names), std::end(option_names),
                       [argument](const char* option) { return is_option(argument, option); }) ||
           after_prefix(argument, "--digits=") != nullptr;
}

// A path where an option belongs. Where one of the last two arguments, which
// are taken as the paths, is an option, the options came after the paths.
[[noreturn]] void reject_path(native_char** paths) {
    for (native_char** path = paths; path != paths + 2; ++path)
        if (is_conversion_option(*path))
            reject_option(printable_path(*path) + " comes after INPUT and OUTPUT: options come before them");
    print_usage(usage_status);
}

// A flag option: set, or a fault where it was given before.
void take_flag(bool& flag, const char* option) {
    if (flag) reject_option(std::string(option) + " given twice");
    flag = true;
}

void take_binary_option(run_options& options, const char* to_binary) {
    if (options.binary_option != nullptr && std::strcmp(options.binary_option, to_binary) == 0)
        reject_option(std::string(to_binary) + " given twice");
    if (options.binary_option != nullptr) reject_option("--to-single and --to-double cannot be combined");
    options.binary_option = to_binary;
}

void take_digits(run_options& options, const native_char* number) {
    if (options.digits_given) reject_option("--digits given twice");
    options.digits_given = true;
    options.digits = number != nullptr ? digits_in(number) : 0;
    if (options.digits == 0 && (number == nullptr || *number == 0))
        reject_option("--digits takes a whole number from 1 to 17");
    if (options.digits == 0) reject_option("--digits takes a whole number from 1 to 17, not " + printable_path(number));
}

// The options that cannot go together, as soon as the second is given.
void check_combination(const run_options& options) {
    if (options.exact && options.digits_given) reject_option("--exact and --digits cannot be combined");
    const char* besides_info = option_besides_info(options);
    if (options.info && besides_info != nullptr) reject_option(std::string("--info and ") + besides_info +
                                                               " cannot be combined");
    const char* besides = option_besides_binary(options);
    if (options.binary_option != nullptr && besides != nullptr)
        reject_option(std::string(options.binary_option) + " and " + besides + " cannot be combined");
}

// The options before the two paths. The first fault ends the run with the
// usage, after one line on standard error that names it; an argument that
// is no option at all (no leading '-', or "-" alone) gets the usage alone.
// last is where the two paths begin.
run_options read_options(native_char** first, native_char** last) {
    run_options options{six_digits, 0, false, false, false, false, false, false, nullptr};
    for (; first != last; ++first) {
        const native_char* argument = *first;
        const native_char* number = after_prefix(argument, "--digits=");
        if (is_option(argument, "--to-single") || is_option(argument, "--to-double"))
            take_binary_option(options, is_option(argument, "--to-single") ? "--to-single" : "--to-double");
        else if (is_option(argument, "--buffered"))
            take_flag(options.buffered, "--buffered");
        else if (is_option(argument, "--check"))
            take_flag(options.check, "--check");
        else if (is_option(argument, "--exact"))
            take_flag(options.exact, "--exact");
        else if (is_option(argument, "--stats"))
            take_flag(options.stats, "--stats");
        else if (is_option(argument, "--info"))
            take_flag(options.info, "--info");
        else if (number != nullptr)
            take_digits(options, number);
        else if (is_option(argument, "--digits"))
            take_digits(options, first + 1 != last ? *++first : nullptr);
        else if (argument[0] != '-' || argument[1] == 0)
            reject_path(last);
        else
            reject_option("unknown option " + printable_path(argument));
        check_combination(options);
    }
    if (options.stats && options.binary_option == nullptr)
        reject_option("--stats recomputes a binary stack's header: it goes with --to-single or --to-double");
    options.style = options.exact ? shortest_digits : options.digits_given ? given_digits : six_digits;
    return options;
}

bool names_standard_stream(const native_string& path) { return path.size() == 1 && path[0] == '-'; }

// The input as messages name it: "-" is standard input.
std::string input_name(const native_string& path) {
    if (names_standard_stream(path)) return "standard input";
    return printable_path(path);
}

[[noreturn]] void fail_input(int status, const char* literal, const native_string& path) {
    fail_with(status, literal + input_name(path));
}

// The cells the header counts, where --check holds the stack to them or a
// status line from a pipe shows their share; 0 where they are not known.
std::uint64_t expected_cells(const unsigned char (&probe)[probe_size], stack_precision precision, bool check,
                             const native_string& input_path) {
    std::uint64_t cells = 0;
    std::string fault = header_count_fault(probe, precision, input_name(input_path), cells);
    if (check && !fault.empty()) fail_with(format_or_output_status, fault);
    return cells;
}

// A regular input is held to its header from its size, before the output is
// opened, so that a stack that fails never creates or empties it.
void check_size(int input, const unsigned char (&probe)[probe_size], stack_precision precision, std::uint64_t cells,
                const native_string& input_path) {
    long long size = regular_file_size(input);
    if (size == 0) return;  // a pipe: checked when it ends
    std::uint64_t cells_held = 0, trailing_bytes = 0;
    cells_in_size(size, precision, cells_held, trailing_bytes);
    std::string fault =
        cell_count_fault(probe, precision, input_name(input_path), cells, cells_held, trailing_bytes);
    if (!fault.empty()) fail_with(format_or_output_status, fault);
}

// An output that is the input is never written. Unable to tell is not proof
// that they differ: writing could empty the input. An output that did not
// open has no identity either: one message for both.
void check_relation(file_relation relation, const native_string& output_path) {
    if (relation == same_file) fail(format_or_output_status, "output file is the same as input file ", output_path);
    if (relation == relation_unknown) fail(format_or_output_status, "error opening output file ", output_path);
}

// The output, opened without truncating it and compared with the input as
// open files, so that no spelling, link or redirection of the input is ever
// emptied, and nothing can change between the check and the use.
int open_output(int input, const native_string& output_path, output_mode mode) {
    const bool to_standard_output = names_standard_stream(output_path);
    int output = to_standard_output ? standard_output_file(mode) : open_output_file(output_path, mode);
    check_relation(relation_between(input, output), output_path);
    if (!to_standard_output && !empty_if_regular(output))
        fail(format_or_output_status, "error opening output file ", output_path);
    return output;
}

int open_input(const native_string& input_path) {
    int input = names_standard_stream(input_path) ? standard_input_file() : open_input_file(input_path);
    if (input == no_file) fail_input(input_status, "error opening input file ", input_path);
    return input;
}

int convert_to_text(const native_string& input_path, const native_string& output_path, text_style style, int digits,
                    bool buffered, bool check) {
    int input = open_input(input_path);
    unsigned char probe[probe_size];
    recognition_result recognition = detect_stack_format(input, probe);
    if (recognition == recognition_read_failed) fail_input(input_status, "error reading input file ", input_path);
    if (recognition == not_recognised)
        fail_input(format_or_output_status, "could not recognise file format (ascii, single or double) for ",
                   input_path);
    const bool binary = format_name != "ascii";
    const stack_precision precision = format_name == "single" ? single_precision : double_precision;
    const std::uint64_t cells = binary ? expected_cells(probe, precision, check, input_path) : 0;
    if (binary && check) check_size(input, probe, precision, cells, input_path);

    int output = open_output(input, output_path, text_output);
    start_progress(input, output, cells);
    conversion_result conversion = conversion_complete;
    std::uint64_t cells_written = 0, trailing_bytes = 0;
    if (binary)
        conversion = write_text_stack(probe, input, output, precision, style, digits, buffered, cells_written,
                                      trailing_bytes);
    if (conversion == conversion_read_failed) fail_input(input_status, "error reading input file ", input_path);
    if (conversion == conversion_write_failed)
        fail(format_or_output_status, "error writing output file ", output_path);

    close_file(input);
    if (!close_file(output)) fail(format_or_output_status, "error writing output file ", output_path);
    // What was read is what counts: a pipe's length, or a file that changed while it was read.
    if (binary && check) {
        std::string fault =
            cell_count_fault(probe, precision, input_name(input_path), cells, cells_written, trailing_bytes);
        if (!fault.empty()) fail_with(format_or_output_status, fault);
    }
    clear_progress();
    return 0;
}

// A binary stack's output. "-", a pipe or a device is written in place, as
// a text is; a regular file or a new path is written beside the file it
// replaces, and put in its place only once whole and checked.
struct stack_output {
    int file;
    bool replacing;
    replacement replaced;
};

stack_output open_binary_output(int input, const native_string& output_path) {
    stack_output output{no_file, false, {}};
    output.replacing = !names_standard_stream(output_path) && is_replaceable(output_path, output.replaced);
    if (!output.replacing) {
        output.file = open_output(input, output_path, binary_output);
        return output;
    }
    check_relation(relation_to_path(input, output.replaced.target), output_path);
    output.file = open_replacement(output.replaced);
    if (output.file == no_file) fail(format_or_output_status, "error opening output file ", output_path);
    remove_on_interrupt(output.file, output.replaced);
    return output;
}

// Where the conversion fails, a replaced output is as it was; a pipe keeps
// what it was given.
[[noreturn]] void fail_discarded(const stack_output& output, int status, const std::string& message) {
    if (output.replacing) discard_replacement(output.file, output.replaced);
    fail_with(status, message);
}

// --stats writes the header last, over the one written first: only a file
// that replaces OUTPUT once whole can be written so. Told before anything
// is read.
void check_statistics_output(const native_string& output_path) {
    replacement replaced;
    if (names_standard_stream(output_path) || !is_replaceable(output_path, replaced)) {
        print_line(standard_error, "--stats writes the header last: OUTPUT must be a file, not standard output, "
                                   "a pipe or a device");
        std::exit(usage_status);
    }
}

// The header's statistics, computed from the cells written, over those
// the text gave.
bool write_statistics(const stack_output& output, stack_precision precision, const cell_statistics& statistics,
                      unsigned char (&header)[probe_size]) {
    double fields[statistics_field_count];
    computed_statistics(statistics, precision, fields);
    const std::size_t size = number_size(precision);
    unsigned char* first = header + statistics_field_index * size;
    for (std::size_t field = 0; field < statistics_field_count; ++field)
        encode_number(first + field * size, fields[field], precision);
    const std::size_t offset = statistics_field_index * size;
    return rewrite_at(output.file, static_cast<long long>(offset), reinterpret_cast<const char*>(first),
                      statistics_field_count * size);
}

// The header is read and checked, its counts included, before the output is
// opened, so that an input that is no ascii stack, or whose header cannot
// count its cells, never creates or replaces it. The cells are held to the
// count once the text has ended.
int convert_to_binary(const native_string& input_path, const native_string& output_path, stack_precision precision,
                      bool stats) {
    if (stats) check_statistics_output(output_path);
    int input = open_input(input_path);
    const std::string name = input_name(input_path);
    unsigned char header[probe_size] = {};
    std::string fault;
    text_stack_result result = read_text_header(input, precision, name, header, fault);
    if (result == text_stack_read_failed) fail_input(input_status, "error reading input file ", input_path);
    if (result == text_stack_fault) fail_with(format_or_output_status, fault);
    std::uint64_t cells = 0;
    fault = header_count_fault(header, precision, name, cells);
    if (!fault.empty()) fail_with(format_or_output_status, fault);

    stack_output output = open_binary_output(input, output_path);
    start_progress(input, output.file, cells);
    std::uint64_t cells_read = 0;
    cell_statistics statistics = empty_statistics();
    result = write_binary_stack(input, output.file, precision, name, header, cells_read, fault,
                                stats ? &statistics : nullptr);
    if (result == text_stack_read_failed) fail_discarded(output, input_status, "error reading input file " + name);
    if (result == text_stack_fault) fail_discarded(output, format_or_output_status, fault);
    if (result == text_stack_write_failed)
        fail_discarded(output, format_or_output_status, "error writing output file " + printable_path(output_path));
    fault = cell_count_fault(header, precision, name, cells, cells_read, 0);
    if (!fault.empty()) fail_discarded(output, format_or_output_status, fault + rounded_count_hint(header, precision));
    if (stats && !write_statistics(output, precision, statistics, header))
        fail_discarded(output, format_or_output_status, "error writing output file " + printable_path(output_path));
    close_file(input);
    bool written = output.replacing ? commit_replacement(output.file, output.replaced) : close_file(output.file);
    if (!written) fail(format_or_output_status, "error writing output file ", output_path);
    clear_progress();
    return 0;
}

// --info: the input read to its end, then the report written; the output
// is opened only then, so that an input that is no stack leaves it as it
// was. With --check, a stack that does not hold the cells its header
// counts fails once its report is written.
int report_on_stack(const native_string& input_path, const native_string& output_path, bool check) {
    int input = open_input(input_path);
    const std::string name = input_name(input_path);
    stack_report report{};
    std::string fault;
    report_result result = read_stack_report(input, name, report, fault);
    if (result == report_read_failed) fail_input(input_status, "error reading input file ", input_path);
    if (result == report_not_a_stack) fail_with(format_or_output_status, fault);
    int output = open_output(input, output_path, text_output);
    const std::string text = report_text(report);
    if (!write_all(output, text.data(), text.size()) || !close_file(output))
        fail(format_or_output_status, "error writing output file ", output_path);
    close_file(input);
    fault = report_count_fault(report, name);
    if (check && !fault.empty()) fail_with(format_or_output_status, fault);
    return 0;
}

int run_converter(int argc, native_char** argv) {
    if (argc == 2) answer_option(argv[1]);
    if (argc < 3) print_usage(usage_status);
    // The last two arguments are the paths, whatever they spell.
    const run_options options = read_options(argv + 1, argv + argc - 2);
    const native_string input_path = argv[argc - 2];
    const native_string output_path = argv[argc - 1];
    if (options.info) return report_on_stack(input_path, output_path, options.check);
    if (options.binary_option == nullptr)
        return convert_to_text(input_path, output_path, options.style, options.digits, options.buffered,
                               options.check);
    const bool to_single = std::string(options.binary_option) == "--to-single";
    return convert_to_binary(input_path, output_path, to_single ? single_precision : double_precision,
                             options.stats);
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) { return run_converter(argc, argv); }
#else
int main(int argc, char** argv) { return run_converter(argc, argv); }
#endif
