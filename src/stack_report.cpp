#include "stack_report.h"

#include "binary_stack_writer.h"
#include "platform_io.h"
#include "stack_check.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

constexpr std::string_view ascii_stack_start = "stack_ncols";
constexpr std::size_t read_block_size = std::size_t{64} * 1024;
// An ascii stack's header and cells are read as doubles, but were written
// to six significant digits by default: a running sum in that precision is
// what its header's sum may stray by.
constexpr double six_digit_unit_roundoff = 5e-6;

// The cells after a binary stack's header: those in the probe, then the
// rest of the input, a block at a time; a trailing fragment is counted.
report_result read_binary_cells(int input, stack_report& report, std::size_t probe_held) {
    static unsigned char block[read_block_size];
    const std::size_t size = number_size(report.precision);
    std::size_t held = static_cast<std::size_t>(
        std::copy(report.header + header_field_count * size, report.header + probe_held, block) - block);
    for (;;) {
        long got = read_once(input, block + held, read_block_size - held);
        if (got < 0) return report_read_failed;
        held += static_cast<std::size_t>(got);
        const std::size_t whole = held - held % size;
        add_cells(report.statistics, block, block + whole, report.precision);
        report.cells += whole / size;
        std::memmove(block, block + whole, held - whole);
        held -= whole;
        if (got == 0) break;
    }
    report.trailing_bytes = held;
    return report_read;
}

report_result read_ascii_stack(int input, std::string_view start, const std::string& input_name,
                               stack_report& report, std::string& fault) {
    report.format = "ascii stack";
    report.precision = double_precision;
    text_stack_result result = read_text_header(input, double_precision, input_name, report.header, fault, start);
    if (result == text_stack_read)
        result = write_binary_stack(input, no_file, double_precision, input_name, report.header, report.cells, fault,
                                    &report.statistics);
    if (result == text_stack_read_failed) return report_read_failed;
    return result == text_stack_fault ? report_not_a_stack : report_read;
}

double header_field(const stack_report& report, std::size_t field) {
    return decode_number(report.header + field * number_size(report.precision), report.precision);
}

std::string line(std::string_view name, const std::string& value) { return std::string(name) + '\t' + value + '\n'; }

std::string header_cells_text(const stack_report& report) {
    std::uint64_t cells = 0;
    std::size_t count = 0;
    header_count_problem problem = count_problem(report.header, report.precision, cells, count);
    if (problem != count_whole) {
        static constexpr const char* problems[] = {"", "not_whole", "negative", "too_many"};
        return problems[problem];
    }
    return std::to_string(cells);
}

std::string statistics_text(const stack_report& report) {
    double header[statistics_field_count];
    for (std::size_t field = 0; field < statistics_field_count; ++field)
        header[field] = header_field(report, statistics_field_index + field);
    const double unit_roundoff = report.format == std::string_view("ascii stack")  ? six_digit_unit_roundoff
                                 : report.precision == single_precision ? 0x1p-24
                                                                        : 0x1p-53;
    std::string differing = differing_statistics(report.statistics, header, report.precision, unit_roundoff);
    if (differing.empty()) return "agree";
    return "differ:" + differing;
}

// A statistic of the cells with a value, or "none" where no cell has one.
std::string value_text(const cell_statistics& statistics, double value, stack_precision precision) {
    if (statistics.values == 0) return "none";
    return exact_number_text(value, precision);
}

}  // namespace

report_result read_stack_report(int input, const std::string& input_name, stack_report& report, std::string& fault) {
    report.cells = report.trailing_bytes = 0;
    report.statistics = empty_statistics();
    unsigned char probe[probe_size] = {};
    long got = read_probe(input, probe);
    if (got < 0) return report_read_failed;
    const std::string_view start(reinterpret_cast<const char*>(probe), static_cast<std::size_t>(got));
    if (start.substr(0, ascii_stack_start.size()) == ascii_stack_start)
        return read_ascii_stack(input, start, input_name, report, fault);
    if (!is_binary_stack_probe(probe, static_cast<std::size_t>(got), report.precision)) {
        fault = "could not recognise " + input_name + " as a binary stack (single or double) or an ascii stack";
        return report_not_a_stack;
    }
    report.format = report.precision == single_precision ? "single" : "double";
    std::copy(std::begin(probe), std::end(probe), report.header);
    return read_binary_cells(input, report, static_cast<std::size_t>(got));
}

std::string report_text(const stack_report& report) {
    std::string text = line("format", report.format);
    for (std::size_t field = 0; field < header_field_count; ++field)
        text += std::string(header_labels[field]) + exact_number_text(header_field(report, field), report.precision) +
                '\n';
    text += line("cells", std::to_string(report.cells)) + line("header_cells", header_cells_text(report));
    if (report.trailing_bytes != 0) text += line("trailing_bytes", std::to_string(report.trailing_bytes));
    const cell_statistics& statistics = report.statistics;
    text += line("nodata_cells", std::to_string(statistics.nodata_cells)) +
            line("nan_cells", std::to_string(statistics.nan_cells)) +
            line("cells_cnt", std::to_string(statistics.values));
    double computed[statistics_field_count];
    computed_statistics(statistics, double_precision, computed);
    text += line("cells_min", value_text(statistics, computed[least_field], report.precision)) +
            line("cells_max", value_text(statistics, computed[greatest_field], report.precision)) +
            line("cells_sum", exact_number_text(computed[sum_field], double_precision)) +
            line("cells_average", value_text(statistics, computed[average_field], double_precision));
    return text + line("statistics", statistics_text(report));
}

std::string report_count_fault(const stack_report& report, const std::string& input_name) {
    std::uint64_t cells = 0;
    std::string fault = header_count_fault(report.header, report.precision, input_name, cells);
    if (!fault.empty()) return fault;
    return cell_count_fault(report.header, report.precision, input_name, cells, report.cells, report.trailing_bytes);
}
