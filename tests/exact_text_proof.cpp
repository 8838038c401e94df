// Checks the --exact and --digits texts against the C library, never against
// std::to_chars, which they are made by. An --exact text must read back
// (strtof, strtod) to the stored bits, be written in "%g"'s notation, have
// no text of one digit fewer that reads back (neither of the two nearest,
// rounded down and up), and be the n-digit text closest to the value (printf
// rounds to the closest, a tie to even) unless that one does not read back
// and it is the nearest on the other side. --digits N must be snprintf's
// "%.Ng". A negative value's text must be its magnitude's with a '-'.
// Single precision: every bit pattern with --float-stride 1, NaNs aside;
// double precision: seeded values of the classes where this is hard.
//   exact_text_proof [--float-stride N] [--doubles N] [--seed S]
#include "number_text.h"

#include <algorithm>
#include <atomic>
#include <cfloat>
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
std::atomic<ull> checked{0}, failures{0};

template <typename Real> Real read_back(const std::string& text);
template <> float read_back(const std::string& text) { return std::strtof(text.c_str(), nullptr); }
template <> double read_back(const std::string& text) { return std::strtod(text.c_str(), nullptr); }
template <typename Real> bool reads_back(const std::string& text, Real value) {
    Real back = read_back<Real>(text);
    return std::memcmp(&back, &value, sizeof value) == 0;
}

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

// The digits of a text such as "-0.00125" or "1.5e+06" as a decimal, and how many there are.
decimal parse(const std::string& text, int& count) {
    decimal number{0, 0};
    bool after_point = false;
    count = 0;
    for (char c : text.substr(0, text.find('e'))) {
        if (c == '.') after_point = true;
        if (c < '0' || c > '9') continue;
        number.digits = number.digits * 10 + static_cast<ull>(c - '0');
        number.exponent -= after_point ? 1 : 0;
        count += number.digits != 0 ? 1 : 0;
    }
    if (text.find('e') != std::string::npos) number.exponent += std::atoi(text.c_str() + text.find('e') + 1);
    number = without_trailing_zeros(number);
    count = static_cast<int>(std::to_string(number.digits).size());
    return number;
}

// "%g"'s notation for these digits: fixed for decimal exponents -4 to 5.
std::string notation(decimal number) {
    std::string digits = std::to_string(number.digits), text;
    int point = number.exponent + static_cast<int>(digits.size()) - 1;
    if (point < -4 || point > 5) {
        char exponent[16];
        std::snprintf(exponent, sizeof exponent, "e%c%02d", point < 0 ? '-' : '+', std::abs(point));
        return text + digits[0] + (digits.size() > 1 ? "." + digits.substr(1) : "") + exponent;
    }
    if (point < 0) return text + "0." + std::string(static_cast<std::size_t>(-point - 1), '0') + digits;
    if (number.exponent >= 0) return text + digits + std::string(static_cast<std::size_t>(number.exponent), '0');
    auto integer_length = static_cast<std::size_t>(point + 1);
    return text + digits.substr(0, integer_length) + "." + digits.substr(integer_length);
}

template <typename Real> std::string exact_text(Real value) {
    char text[number_text_room];
    if constexpr (sizeof(Real) == sizeof(float)) return {text, shortest_single_text(text, value)};
    else return {text, shortest_double_text(text, value)};
}

// What is wrong with the --exact text of value, or "".
template <typename Real> std::string exact_fault(Real value) {
    std::string ours = exact_text(value);
    if (std::signbit(value)) {  // the magnitude's text with a '-', the magnitude checked in its own turn (a float's)
        if (ours != "-" + exact_text(-value)) return "not the magnitude's text with a '-'";
        return sizeof value == sizeof(float) ? "" : exact_fault(-value);
    }
    if (value == 0 || std::isinf(value)) return ours == (value == 0 ? "0" : "inf") ? "" : "wrong text";
    if (!reads_back(ours, value)) return "does not read back";
    int count;
    decimal digits = parse(ours, count);
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

// --digits on every seeded double, and on the single-precision bit patterns that are multiples of 1021.
template <typename Real> void check(Real value, bool with_digits) {
    std::string fault = exact_fault(value);
    for (int digits = least_given_digits; with_digits && digits <= most_given_digits && fault.empty(); ++digits) {
        char ours[number_text_room], theirs[64];
        *given_digits_text(ours, static_cast<double>(value), digits) = '\0';
        std::snprintf(theirs, sizeof theirs, "%.*g", digits, static_cast<double>(value));
        if (std::strcmp(ours, theirs) != 0)
            fault = "--digits " + std::to_string(digits) + " differs: " + ours + ", " + theirs;
    }
    ++checked;
    if (!fault.empty() && failures++ < 20)
        std::printf("%a (%s): %s: %s\n", static_cast<double>(value), sizeof value == 4 ? "single" : "double",
                    exact_text(value).c_str(), fault.c_str());
}

std::uint64_t next_random(std::uint64_t& state) {  // splitmix64
    std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
}

double double_of_bits(std::uint64_t bits) {
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// One double of the hard classes, by index: powers of two and their
// neighbours (the gap below is half the gap above), subnormals, the largest
// finite and the smallest normal, ties between two shortest texts (k
// fractional bits where the gap is 2^-(k+2)), values needing 16 or 17
// digits, measurements.
double hard_double(std::uint64_t& state, std::uint64_t index) {
    std::uint64_t random = next_random(state), sign = (random & 1) << 63;
    int steps = static_cast<int>(random >> 1 & 7) - 4;  // neighbours: 4 below to 3 above
    switch (index % 6) {
    case 0: {
        double power = std::ldexp(1.0, static_cast<int>((random >> 8) % 2098) - 1074);
        for (; steps != 0; steps += steps < 0 ? 1 : -1) power = std::nextafter(power, steps < 0 ? 0.0 : HUGE_VAL);
        return sign ? -power : power;
    }
    case 1: return double_of_bits(sign | (random >> 12));
    case 2: return double_of_bits(sign | (random & 64 ? 0x7FEFFFFFFFFFFFFFu - (random >> 54)
                                                      : 0x0010000000000000u + (random >> 54) - 512));
    case 3: {
        int k = 3 + static_cast<int>((random >> 1) % 10);
        double tie = std::ldexp(static_cast<double>(std::uint64_t{1} << 50 | random >> 14 | 1), -k);
        return sign ? -tie : tie;
    }
    case 4: return double_of_bits(sign | ((random >> 12) + ((1 + (random >> 1) % 2045) << 52)));
    default: return static_cast<double>(static_cast<long long>(random >> 40) - (1ll << 23)) /
                    std::pow(10.0, static_cast<double>(random % 8));
    }
}

template <typename Work> void on_every_core(Work work) {
    unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> threads;
    for (unsigned core = 0; core < cores; ++core) threads.emplace_back(work, core, cores);
    for (std::thread& thread : threads) thread.join();
}

}  // namespace

int main(int argc, char** argv) {
    ull float_stride = 1021, double_count = 200000, seed = 20261208;
    for (int i = 1; i + 1 < argc; i += 2) {
        ull value = std::strtoull(argv[i + 1], nullptr, 10);
        std::string option = argv[i];
        if (option == "--float-stride" && value > 0) float_stride = value;
        else if (option == "--doubles") double_count = value;
        else if (option == "--seed") seed = value;
        else return std::fprintf(stderr, "usage: %s [--float-stride N] [--doubles N] [--seed S]\n", argv[0]), 2;
    }
    on_every_core([&](unsigned core, unsigned cores) {
        for (ull bits = core * float_stride; bits <= 0xFFFFFFFFu; bits += cores * float_stride) {
            float value;
            auto pattern = static_cast<std::uint32_t>(bits);
            std::memcpy(&value, &pattern, sizeof value);
            if (value == value) check(value, bits % 1021 == 0);
        }
        std::uint64_t state = seed * 1000003u + core;
        for (ull index = core; index < double_count; index += cores) check(hard_double(state, index), true);
    });
    std::printf("%llu values checked (floats every %llu, %llu seeded doubles), %llu failures\n", checked.load(),
                float_stride, double_count, failures.load());
    return failures == 0 ? 0 : 1;
}
