// Checks the number text against the C library, byte for byte, never
// against std::to_chars, which makes the texts the fast path leaves:
// - the default, format_number, against snprintf("%g"), on single-precision
//   bit patterns widened to double (every one with --float-stride 1, NaNs
//   aside), then on seeded doubles of the classes where six-digit rounding
//   is hardest. It counts what the fast path decides in each class, and
//   fails where it decides less of the values it exists for than today.
// - --digits N, for every N from 1 to 17, against snprintf("%.Ng").
// - --exact: the text must read back (strtof, strtod) to the stored bits,
//   be written in "%g"'s notation, have no text of one digit fewer that
//   reads back (neither of the two nearest, rounded down and up), and be the
//   text of its length closest to the value (printf's rounding, a tie to
//   even) unless that one does not read back and it is the nearest on the
//   other side; a negative value's text is its magnitude's with a '-'. On the
//   same bit patterns (--digits on every 64th of them), then on seeded
//   doubles of the classes where that is hard (--digits on every 16th);
//   and it must be std::to_chars's text, which it was before the converter
//   had a shortest-digits algorithm of its own.
// - the reader of --to-single and --to-double, the general one and the
//   one-pass reader of cell lines (each text also as a line, ended by LF
//   or CR LF, which it must read to the same bits or leave): every --exact
//   and --digits 9 text of the bit patterns, and every --exact and
//   --digits 17 text of the seeded hard doubles, reads back to the same
//   bits; on every six-digit text of both, on seeded decimal texts (1 to 40
//   digits, exponents across both ranges and past them), on midpoints
//   between two floats or two doubles (cut to 9 to 40 digits; in full; just
//   below and just above), and on 2^53 + 1 and 2^24 + 1 at each power of
//   ten, it gives strtof's and strtod's bits, or says too large where they
//   give infinity.
// --reader-only: only the reader's checks, on the bit patterns and the texts.
// Splits the work over the machine's cores.
//   number_text_proof [--to-chars-only | --reader-only] [--float-stride N] [--doubles N] [--hard-doubles N]
//                     [--decimal-texts N] [--midpoints N] [--seed S]
#include "byte_order.h"
#include "decimal_lines.h"
#include "decimal_reader.h"
#include "decimal_scaling.h"
#include "number_text.h"

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using ull = unsigned long long;
constexpr int class_count = 7, single_class = 6;
const char* const class_names[class_count] = {"exact ties", "near decimal ties", "carries and notation switches",
                                              "random bit patterns", "measurements", "moderate doubles", "singles"};
// The least share of each class the fast path must decide: today's figures
// (2026-12-07, in CTest's subsets and the whole proof alike), rounded down;
// 32-bit x86, which scales in extended precision, decides half as many near ties.
// Exact ties are never its to decide.
const double least_fast_share[class_count] = {0, 0.007, 0.055, 0.06, 0.90, 0.999, 0.57};
std::atomic<std::uint64_t> differences{0}, checked[class_count], decided[class_count];
// --to-chars-only: every value checked only against std::to_chars, whose texts an earlier whole proof held to
// the C library on every single-precision bit pattern: a quick whole check of the shortest text.
bool to_chars_only = false, reader_only = false;

void check(double value, int value_class) {
    char ours[32], fast[32], theirs[32];
    *format_number(ours, value) = '\0';
    char* fast_end = fast_number_text(fast, value);
    checked[value_class]++;
    if (fast_end != nullptr) {
        decided[value_class]++;
        *fast_end = '\0';
        if (std::strcmp(fast, ours) != 0) std::strcpy(ours, fast);  // reported below as a difference
    }
    std::snprintf(theirs, sizeof theirs, "%g", value);
    if (std::strcmp(ours, theirs) == 0) return;
    if (differences++ < 20) std::printf("DIFFERENT %a: ours %s, C library %s\n", value, ours, theirs);
}

template <typename Real> Real read_back(const std::string& text) {
    if constexpr (sizeof(Real) == sizeof(float)) return std::strtof(text.c_str(), nullptr);
    else return std::strtod(text.c_str(), nullptr);
}
// Asked only of finite values other than zero, for which equal is the same bits.
template <typename Real> bool reads_back(const std::string& text, Real value) { return read_back<Real>(text) == value; }

// A decimal: its significant digits as a whole number and the power of ten of the last one.
struct decimal { ull digits; int exponent; };

decimal without_trailing_zeros(decimal number) {
    for (; number.digits != 0 && number.digits % 10 == 0; number.digits /= 10) ++number.exponent;
    return number;
}

// value correctly rounded to count significant digits, by printf.
decimal rounded(double value, int count) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*e", count - 1, value);
    std::string mantissa(text, std::strchr(text, 'e'));
    mantissa.erase(std::remove(mantissa.begin(), mantissa.end(), '.'), mantissa.end());
    return {std::strtoull(mantissa.c_str(), nullptr, 10), std::atoi(std::strchr(text, 'e') + 1) - count + 1};
}

// The count-digit decimal next to number, up or down.
decimal next_to(decimal number, int count, bool up) {
    ull lowest = 1;
    for (int i = 1; i < count; ++i) lowest *= 10;
    if (up && number.digits + 1 == lowest * 10) return {lowest, number.exponent + 1};
    if (!up && number.digits == lowest) return {lowest * 10 - 1, number.exponent - 1};
    return {up ? number.digits + 1 : number.digits - 1, number.exponent};
}

std::string text_of(decimal number) { return std::to_string(number.digits) + "e" + std::to_string(number.exponent); }

// The digits of a text such as "0.00125" or "1.5e+06" as a decimal.
decimal parse(const std::string& text) {
    decimal number{0, 0};
    bool after_point = false;
    for (char c : text.substr(0, text.find('e'))) {
        if (c == '.') after_point = true;
        if (c < '0' || c > '9') continue;
        number.digits = number.digits * 10 + static_cast<ull>(c - '0');
        number.exponent -= after_point ? 1 : 0;
    }
    if (text.find('e') != std::string::npos) number.exponent += std::atoi(text.c_str() + text.find('e') + 1);
    return without_trailing_zeros(number);
}

// "%g"'s notation for these digits: fixed for decimal exponents -4 to 5.
std::string notation(decimal number) {
    std::string digits = std::to_string(number.digits);
    int point = number.exponent + static_cast<int>(digits.size()) - 1;
    if (point < -4 || point > 5) {
        char exponent[16];
        std::snprintf(exponent, sizeof exponent, "e%c%02d", point < 0 ? '-' : '+', std::abs(point));
        return digits[0] + (digits.size() > 1 ? "." + digits.substr(1) : "") + exponent;
    }
    if (point < 0) return "0." + std::string(static_cast<std::size_t>(-point - 1), '0') + digits;
    if (number.exponent >= 0) return digits + std::string(static_cast<std::size_t>(number.exponent), '0');
    return digits.insert(static_cast<std::size_t>(point + 1), ".");
}

template <typename Real> std::string exact_text(Real value) {
    char text[number_text_room];
    if constexpr (sizeof(Real) == sizeof(float)) return {text, shortest_single_text(text, value)};
    else return {text, shortest_double_text(text, value)};
}

// What is wrong with the --exact text of value against the C library, or "".
template <typename Real> std::string exact_fault(Real value) {
    std::string ours = exact_text(value);
    if (std::signbit(value)) {  // the magnitude's text with a '-', the magnitude checked in its own turn (a float's)
        if (ours != "-" + exact_text(-value)) return "not the magnitude's text with a '-'";
        return sizeof value == sizeof(float) ? "" : exact_fault(-value);
    }
    if (value == 0 || std::isinf(value)) return ours == (value == 0 ? "0" : "inf") ? "" : "wrong text";
    if (!reads_back(ours, value)) return "does not read back";
    decimal digits = parse(ours);
    int count = static_cast<int>(std::to_string(digits.digits).size());
    if (ours != notation(digits)) return "not in %g's notation";
    if (count > 1) {
        decimal fewer = rounded(static_cast<double>(value), count - 1);
        decimal other = next_to(fewer, count - 1, read_back<Real>(text_of(fewer)) < value);
        if (reads_back(text_of(fewer), value) || reads_back(text_of(other), value))
            return "a text of fewer digits reads back";
    }
    decimal closest = rounded(static_cast<double>(value), count);
    if (without_trailing_zeros(closest).digits == digits.digits) return "";
    if (reads_back(text_of(closest), value)) return "a closer text reads back";
    decimal other = without_trailing_zeros(next_to(closest, count, read_back<Real>(text_of(closest)) < value));
    return other.digits == digits.digits && other.exponent == digits.exponent ? "" : "not the nearest that reads back";
}

// The text std::to_chars gives, which --exact wrote before the converter had its own.
template <typename Real> std::string library_fault(Real value) {
    char library[number_text_room];
    char* end = std::to_chars(library, library + sizeof library, value, std::chars_format::general).ptr;
    return exact_text(value) == std::string(library, end) ? "" : "not std::to_chars's text";
}

// --digits where asked: on a share of the seeded doubles and of the single-precision bit patterns.
template <typename Real> void check_exact(Real value, bool with_digits) {
    std::string fault = to_chars_only ? "" : exact_fault(value);
    if (fault.empty()) fault = library_fault(value);
    for (int digits = least_given_digits; with_digits && digits <= most_given_digits && fault.empty(); ++digits) {
        char ours[number_text_room], theirs[64];
        *given_digits_text(ours, static_cast<double>(value), digits) = '\0';
        std::snprintf(theirs, sizeof theirs, "%.*g", digits, static_cast<double>(value));
        if (std::strcmp(ours, theirs) != 0)
            fault = "--digits " + std::to_string(digits) + " differs: " + ours + ", " + theirs;
    }
    if (!fault.empty() && differences++ < 20)
        std::printf("%a: %s: %s\n", static_cast<double>(value), exact_text(value).c_str(), fault.c_str());
}

template <typename Real> bool same_bits(Real first, Real second) {
    return std::memcmp(&first, &second, sizeof first) == 0;
}

template <typename Real> decimal_result read_text(const std::string& text, Real& value) {
    if constexpr (sizeof(Real) == sizeof(float)) return read_single(text.data(), text.data() + text.size(), value);
    else return read_double(text.data(), text.data() + text.size(), value);
}

// Texts as cell lines, of singles and of the hard doubles (their --exact, --digits and six-digit texts) and of any
// decimal, and how many of each the one-pass reader took: it must take at least these shares, below today's in
// CTest's subsets and the whole proof alike (it leaves doubles below 10^-292, among them two of the hard doubles'
// seven classes in part or whole, and texts of more than 19 digits), or it has stopped taking lines the general
// reader then reads, slower.
enum text_kind { stored_single, stored_double, any_decimal };
const char* const text_kind_names[] = {"texts of singles", "texts of hard doubles", "other decimal texts"};
const double least_line_share[] = {0.9, 0.6, 0.2};
std::atomic<std::uint64_t> lines_checked[3], lines_taken[3];

// The text as a cell line (LF, or CR LF for every other length) through the one-pass reader: true where it
// took the line and gave these bits, or left it to the general reader (as it must an infinite value).
template <typename Real> bool line_agrees(const std::string& text, Real expected, text_kind kind) {
    std::string line = text + (text.size() % 2 ? "\r\n" : "\n") + std::string(8, '\0');
    unsigned char out[sizeof(Real)];
    unsigned char* end = out;
    const char* next = sizeof(Real) == 4 ? read_single_lines(line.data(), end, out + sizeof out)
                                         : read_double_lines(line.data(), end, out + sizeof out);
    lines_checked[kind]++;
    if (next == line.data() && end == out) return true;
    lines_taken[kind]++;
    using Bits = std::conditional_t<sizeof(Real) == 4, std::uint32_t, std::uint64_t>;
    Bits bits;  // as the file holds them: little-endian
    std::memcpy(&bits, &expected, sizeof bits);
    bits = file_byte_order(bits);
    return !std::isinf(expected) && next == line.data() + line.size() - 8 && end == out + sizeof out &&
           std::memcmp(out, &bits, sizeof out) == 0;
}

// What is wrong with the reader on text against the C library, or "".
template <typename Real> std::string reader_fault(const std::string& text, text_kind kind) {
    Real ours = 0, theirs = read_back<Real>(text);
    decimal_result result = read_text(text, ours);
    if (!line_agrees(text, theirs, kind)) return "not the C library's bits as a cell line";
    if (std::isinf(theirs) && std::isdigit(static_cast<unsigned char>(text.back())))
        return result == too_large ? "" : "not too large";
    return result == decimal_read && same_bits(ours, theirs) ? "" : "not the C library's bits";
}

template <typename Real> void report_reader(const std::string& text, text_kind kind = any_decimal) {
    std::string fault = reader_fault<Real>(text, kind);
    if (!fault.empty() && differences++ < 20)
        std::printf("reading \"%s\" as %s: %s\n", text.c_str(), sizeof(Real) == 4 ? "single" : "double", fault.c_str());
}

// The --exact and the --digits 9 or 17 texts of value read back to its bits.
template <typename Real> void check_reads_back(Real value) {
    char digits[number_text_room];
    std::string texts[] = {exact_text(value), {digits, given_digits_text(digits, value, sizeof(Real) == 4 ? 9 : 17)}};
    for (const std::string& text : texts) {
        Real back = 0;
        const bool agrees = read_text(text, back) == decimal_read && same_bits(back, value) &&
                            line_agrees(text, value, sizeof(Real) == 4 ? stored_single : stored_double);
        if (!agrees && differences++ < 20)
            std::printf("%a: \"%s\" does not read back\n", static_cast<double>(value), text.c_str());
    }
}

std::uint64_t next_random(std::uint64_t& state) {  // splitmix64
    std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
}

long long pick(std::uint64_t& state, long long low, long long high) {
    return low + static_cast<long long>(next_random(state) % static_cast<std::uint64_t>(high - low + 1));
}

// The double nearest digits x 10^exponent.
double nearest(long long digits, long long exponent) {
    char text[64];
    std::snprintf(text, sizeof text, "%llde%lld", digits, exponent);
    return std::strtod(text, nullptr);
}

double step_away(double value, long long steps) {
    for (; steps > 0; --steps) value = std::nextafter(value, HUGE_VAL);
    for (; steps < 0; ++steps) value = std::nextafter(value, -HUGE_VAL);
    return value;
}

// x.5 in the seventh significant digit, exactly: dyadic below 10^5 (the odd
// seven digits a multiple of 5^(5 - E)), integers up to 2^53 above.
double exact_tie(std::uint64_t& state) {
    long long exponent = pick(state, -4, 18);
    long long odd = 2 * pick(state, 100000, 999999) + 1;
    if (exponent < 5) {
        long long unit = 1;
        for (long long i = exponent; i < 5; ++i) unit *= 5;
        odd = (odd / unit | 1) * unit;
        if (odd > 1999999) odd -= 2 * unit;
        if (odd < 200001) odd += 2 * unit;
        return static_cast<double>(odd) / (2 * std::pow(10.0, static_cast<double>(5 - exponent)));
    }
    long long five_power = 1;
    for (long long i = 5; i < exponent; ++i) five_power *= 5;
    return std::ldexp(static_cast<double>(odd * five_power), static_cast<int>(exponent - 6));
}

double double_of_bits(std::uint64_t bits) {
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

double double_of_class(std::uint64_t& state, std::uint64_t index) {
    double sign = next_random(state) & 1 ? -1.0 : 1.0;
    switch (index % 6) {
    case 0: return sign * exact_tie(state);
    case 1:  // doubles nearest a decimal tie, and their neighbours, at every exponent
        return sign * step_away(nearest(pick(state, 100000, 999999) * 10 + 5, pick(state, -330, 302)),
                                pick(state, -2, 2));
    case 2:  // the carry at 999999.5 and the notation switches at 1e-4 and 1e6, and neighbours
        return sign * step_away(next_random(state) & 1 ? nearest(9999995, pick(state, -330, 302))
                                                       : nearest(1, pick(state, -324, 308)),
                                pick(state, -3, 3));
    case 3: return double_of_bits(next_random(state));  // random bit patterns
    case 4:  // measurements: a few decimals
        return static_cast<double>(pick(state, -10000000, 10000000)) /
               std::pow(10.0, static_cast<double>(pick(state, 0, 7)));
    default:  // model output: arbitrary doubles of moderate size
        return sign * std::ldexp(static_cast<double>(next_random(state) >> 11), static_cast<int>(pick(state, -90, 20)));
    }
}

// One double of the hard classes, by index: powers of two and their
// neighbours (the gap below is half the gap above), subnormals, the largest
// finite and the smallest normal, ties between two shortest texts (k
// fractional bits where the gap is 2^-(k+2)), values needing 16 or 17
// digits, short decimals and their neighbours, measurements.
double hard_double(std::uint64_t& state, std::uint64_t index) {
    std::uint64_t random = next_random(state), sign = (random & 1) << 63;
    double signed_one = sign ? -1.0 : 1.0;
    switch (index % 7) {
    case 0: return step_away(std::ldexp(signed_one, static_cast<int>((random >> 8) % 2098) - 1074),
                             static_cast<long long>(random >> 1 & 7) - 4);  // 4 below to 3 above
    case 1: return double_of_bits(sign | (random >> 12));
    case 2: return double_of_bits(sign | (random & 64 ? 0x7FEFFFFFFFFFFFFFu - (random >> 54)
                                                      : 0x0010000000000000u + (random >> 54) - 512));
    case 3: return signed_one * std::ldexp(static_cast<double>(std::uint64_t{1} << 50 | random >> 14 | 1),
                                           -3 - static_cast<int>((random >> 1) % 10));
    case 4: return double_of_bits(sign | ((random >> 12) + ((1 + (random >> 1) % 2045) << 52)));
    case 5:  // short decimals and their neighbours: the shortest at an end of the interval, or a tie
        return signed_one * step_away(nearest(pick(state, 1, 99999), pick(state, -320, 300)), pick(state, -2, 2));
    default: return double_of_class(state, 4);  // measurements
    }
}

// A decimal text of 1 to 40 random digits, a point somewhere or none, an
// exponent across both precisions' ranges and past them.
std::string random_decimal(std::uint64_t& state) {
    std::string text = next_random(state) & 1 ? "-" : "";
    long long count = pick(state, 1, 40), point = pick(state, 0, count + 4);
    for (long long i = 0; i < count; ++i) {
        if (i == point) text += '.';
        text += static_cast<char>('0' + next_random(state) % 10);
    }
    return text + (next_random(state) & 1 ? "e" : "E") + std::to_string(pick(state, -370, 330));
}

// The midpoint between a random finite value and the next one up, exactly,
// cut to 9 to 40 significant digits (just below the midpoint, or at it), or
// in full: at it, just below (its last digit, a 5, made 49999) or just
// above (a 1 after it). A double's midpoint needs a long double of more
// than 53 bits.
template <typename Real> std::string midpoint_text(std::uint64_t& state) {
    using Wider = std::conditional_t<sizeof(Real) == 4, double, long double>;
    std::uint64_t bits = next_random(state) & (sizeof(Real) == 4 ? 0x7F7FFFFFu : 0x7FEFFFFFFFFFFFFFu);
    Real value;
    std::memcpy(&value, &bits, sizeof value);
    Wider middle = static_cast<Wider>(value) + (static_cast<Wider>(std::nextafter(value, Real(INFINITY))) - value) / 2;
    const std::uint64_t way = next_random(state) % 8;
    int digits = way < 3 ? 800 : static_cast<int>(pick(state, 9, 40));
    char text[1200];
    std::snprintf(text, sizeof text, "%.*Le", digits - 1, static_cast<long double>(middle));
    std::string exact = text;
    std::size_t e = exact.find('e'), last = exact.find_last_not_of('0', e - 1);
    if (way == 1 && exact[last] == '5') return exact.substr(0, last) + "49999" + exact.substr(e);
    if (way == 2) return exact.substr(0, e) + "1" + exact.substr(e);
    return exact;
}

template <typename Work>
void on_every_core(Work work) {
    unsigned cores = std::thread::hardware_concurrency();
    if (cores == 0) cores = 1;
    std::vector<std::thread> threads;
    for (unsigned core = 0; core < cores; ++core) threads.emplace_back(work, core, cores);
    for (std::thread& thread : threads) thread.join();
}

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    std::uint64_t float_stride = 1021, double_count = 1000000, hard_count = 20000, text_count = 1000000;
    std::uint64_t midpoint_count = ~std::uint64_t{0};  // as many as the decimal texts unless told
    std::uint64_t seed = 20261207;
    if (argc > 1 && (std::string(argv[1]) == "--to-chars-only" || std::string(argv[1]) == "--reader-only")) {
        (std::string(argv[1]) == "--reader-only" ? reader_only : to_chars_only) = true;
        --argc;
        ++argv;
    }
    for (int i = 1; i + 1 < argc; i += 2) {
        std::uint64_t value = std::strtoull(argv[i + 1], nullptr, 10);
        std::string option = argv[i];
        if (option == "--float-stride" && value > 0) float_stride = value;
        else if (option == "--doubles") double_count = value;
        else if (option == "--hard-doubles") hard_count = value;
        else if (option == "--decimal-texts") text_count = value;
        else if (option == "--midpoints") midpoint_count = value;
        else if (option == "--seed") seed = value;
        else return std::fprintf(stderr, "usage: %s [--float-stride N] [--doubles N] [--hard-doubles N] "
                                 "[--decimal-texts N] [--midpoints N] [--seed S]\n", argv[0]), 2;
    }

    auto start = std::chrono::steady_clock::now();
    std::atomic<std::uint64_t> singles{0};
    on_every_core([&](unsigned core, unsigned cores) {
        std::uint64_t checked = 0;
        const std::uint64_t step = std::uint64_t{cores} * float_stride;
        for (std::uint64_t bits = std::uint64_t{core} * float_stride; bits <= 0xFFFFFFFFu; bits += step) {
            auto pattern = static_cast<std::uint32_t>(bits);
            if ((pattern & 0x7F800000u) == 0x7F800000u && (pattern & 0x007FFFFFu) != 0) continue;  // NaN
            float value;
            std::memcpy(&value, &pattern, sizeof value);
            if (!to_chars_only && !reader_only) check(value, single_class);
            if (!reader_only) check_exact(value, !to_chars_only && checked % 64 == 0);
            if (!to_chars_only) {
                check_reads_back(value);
                char six[number_text_room];
                report_reader<float>(std::string(six, format_number(six, value)), stored_single);
            }
            ++checked;
        }
        singles += checked;
    });
    std::printf("single precision: %llu bit patterns (stride %llu), %.1f s\n", static_cast<ull>(singles.load()),
                static_cast<ull>(float_stride), seconds_since(start));

    start = std::chrono::steady_clock::now();
    on_every_core([&](unsigned core, unsigned cores) {
        std::uint64_t state = seed * 1000003u + core;
        for (std::uint64_t index = core; index < double_count && !reader_only; index += cores)
            check(double_of_class(state, index), static_cast<int>(index % 6));
        for (std::uint64_t index = core; index < hard_count; index += cores) {
            double value = hard_double(state, index);
            if (!reader_only) check_exact(value, !to_chars_only && index % 16 == 0);
            if (to_chars_only || !std::isfinite(value)) continue;
            check_reads_back(value);
            char six[number_text_room];
            report_reader<double>(std::string(six, format_number(six, value)), stored_double);
        }
    });
#ifdef __SIZEOF_INT128__
    // The 32-bit processors' product by halves, against the 128-bit product: all ones, then random pairs.
    std::uint64_t state = seed;
    for (int pair = 0; pair < 1000000; ++pair) {
        std::uint64_t a = pair == 0 ? ~std::uint64_t{0} : next_random(state), b = pair == 0 ? a : next_random(state);
        std::uint64_t high, low;
        multiply_by_halves(a, b, high, low);
        __extension__ auto product = static_cast<unsigned __int128>(a) * b;
        if ((high != static_cast<std::uint64_t>(product >> 64) || low != static_cast<std::uint64_t>(product)) &&
            differences++ < 20)
            std::printf("%llx * %llx: not the 128-bit product\n", static_cast<ull>(a), static_cast<ull>(b));
    }
#endif
    // Within 2^-62 of a half between two texts of 13, 2, 10 and 7 digits, not on it (found by lattice reduction);
    // past the table's powers of ten; and infinity. Then the least normal single, a power of two with no nearer
    // value below, which the stride may miss.
    for (double tie : {0x1.8bf7e7fa6f02ap-197, -0x1.cd5bee57763e6p-242, 0x1.fc575867314eep-331, 0x1.7e5902ce0e151p-401,
                       DBL_MAX, -HUGE_VAL})
        if (!reader_only) check_exact(tie, true);
    if (!reader_only) check_exact(FLT_MIN, true);
    std::printf("double precision: %llu seeded values, and %llu for --exact and --digits (seed %llu), %.1f s\n",
                static_cast<ull>(double_count), static_cast<ull>(hard_count), static_cast<ull>(seed),
                seconds_since(start));
    start = std::chrono::steady_clock::now();
    on_every_core([&](unsigned core, unsigned cores) {
        std::uint64_t state = seed * 1000033u + core;
        for (std::uint64_t index = core; index < text_count && !to_chars_only; index += cores) {
            std::string text = random_decimal(state);
            report_reader<float>(text);
            report_reader<double>(text);
            if (index >= midpoint_count) continue;
            report_reader<float>(midpoint_text<float>(state));
            if (LDBL_MANT_DIG > 53) report_reader<double>(midpoint_text<double>(state));
        }
    });
    // Each shape of a number the one-pass reader takes (integers and fractions of 8 digits and more, up to 19
    // digits, more with zeros in front, exponents of many digits), which it must read as the C library does; two it
    // must leave (20 digits, an infinity); and lines that are no number it takes.
    const auto taken = [](const char* text) {
        const std::string line = text + std::string("\n") + std::string(8, '\0');
        unsigned char out[8];
        unsigned char* end = out;
        return read_single_lines(line.data(), end, out + 4) != line.data() ||
               read_double_lines(line.data(), end, out + 8) != line.data();
    };
    const auto expect = [&](const char* text, bool to_take) {
        if (taken(text) != to_take && differences++ < 20)
            std::printf("the one-pass reader %s \"%s\"\n", to_take ? "left" : "took", text);
    };
    for (const char* text : {"12345678", "123456789012", "12345678.5", "12345678.123456789", "1234567890123456789",
                             "000000000000000000001234", "0.1234567890123456789", "0.000000000000000000001234",
                             "1234567.123456789012", ".5", "5.", "-.5", "1.e5", "1e-9999999", "-0.0", "-1e-400",
                             "1e+0000000000000000000001", "12345678901234567890", "1e400"}) {
        if (to_chars_only) break;
        report_reader<float>(text), report_reader<double>(text);
        expect(text, std::strcmp(text, "12345678901234567890") != 0 && std::strcmp(text, "1e400") != 0);
    }
    for (const char* text : {"1.5\rx", "1e", "1e+", ".", ".e5", "-", "+1", "1.5 ", " 1.5", "1..5", "1.5.5", "0x1p3",
                             "inf", "nan", "1e5e5", "--1", "1.5\r\r"})
        expect(text, false);
    // A fast path that takes one digit too many: 2^53 + 1 and 2^24 + 1, and their neighbours, at each power of ten
    // Clinger's case takes; and the most digits a 64-bit word holds.
    for (const char* digits : {"9007199254740993", "9007199254740995", "16777217", "16777219", "18446744073709551615",
                               "9999999999999999999", "900719925474099.3"})
        for (int power = -25; power <= 25 && !to_chars_only; ++power) {
            report_reader<float>(digits + std::string("e") + std::to_string(power));
            report_reader<double>(digits + std::string("e") + std::to_string(power));
        }
    std::printf("reader: %llu random decimal texts and %llu midpoints of each precision (%s), %.1f s\n",
                static_cast<ull>(text_count), static_cast<ull>(std::min(text_count, midpoint_count)),
                LDBL_MANT_DIG > 53 ? "doubles' too" : "no doubles': long double is double here", seconds_since(start));
    bool fast_enough = true;
    for (int kind = stored_single; kind <= any_decimal && !to_chars_only; ++kind) {
        const std::uint64_t lines = lines_checked[kind], taken_lines = lines_taken[kind];
        const bool low = lines != 0 && double(taken_lines) < least_line_share[kind] * double(lines);
        fast_enough = fast_enough && !low;
        std::printf("the one-pass reader took %llu of %llu %s as cell lines%s\n", static_cast<ull>(taken_lines),
                    static_cast<ull>(lines), text_kind_names[kind], low ? ": TOO FEW" : "");
    }
    if (to_chars_only) std::printf("checked against std::to_chars only\n");
    for (int value_class = 0; value_class < class_count && !to_chars_only && !reader_only; ++value_class) {
        double share = checked[value_class] ? double(decided[value_class]) / double(checked[value_class]) : 1.0;
        bool low = share < least_fast_share[value_class];
        fast_enough = fast_enough && !low;
        std::printf("fast path decided %.4f of %s%s\n", share, class_names[value_class], low ? ": TOO FEW" : "");
    }
    std::printf("%llu differences\n", static_cast<ull>(differences.load()));
    return differences == 0 && fast_enough ? 0 : 1;
}
