// Nanoseconds per number for format_number, std::to_chars and snprintf("%g"),
// on the benchmark's stack values and on random bit patterns.
#include "number_text.h"

#include <benchmark/benchmark.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr std::size_t value_count = 1 << 16;

// As bench/run.py makes them: a smooth field rounded to 1 to 3 decimals, about 10 % nodata.
std::vector<double> stack_values() {
    std::mt19937_64 random(7);
    std::normal_distribution<double> step(0, 1.5);
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<double> values;
    double level = 400;
    for (std::size_t i = 0; i < value_count; ++i) {
        level += step(random);
        double scale = std::pow(10.0, static_cast<double>(1 + i % 3));
        values.push_back(unit(random) < 0.1 ? -9999.0 : std::round(level * scale) / scale);
    }
    return values;
}

std::vector<double> random_bit_patterns() {
    std::mt19937_64 random(8);
    std::vector<double> values;
    while (values.size() < value_count) {
        std::uint64_t bits = random();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isnan(value)) values.push_back(value);
    }
    return values;
}

const std::vector<double>& values_for(const benchmark::State& state) {
    static const std::vector<double> stack = stack_values(), random = random_bit_patterns();
    return state.range(0) == 0 ? stack : random;
}

template <typename Format>
void run(benchmark::State& state, Format format) {
    const std::vector<double>& values = values_for(state);
    char text[32];
    std::size_t index = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(format(text, values[index]));
        index = (index + 1) % values.size();
    }
    state.SetLabel(state.range(0) == 0 ? "stack values" : "random bits");
}

void format_number_text(benchmark::State& state) { run(state, [](char* text, double value) { return format_number(text, value); }); }
void to_chars_text(benchmark::State& state) {
    run(state, [](char* text, double value) { return std::to_chars(text, text + 32, value, std::chars_format::general, 6).ptr; });
}
void snprintf_text(benchmark::State& state) {
    run(state, [](char* text, double value) { return std::snprintf(text, 32, "%g", value); });
}

}  // namespace

BENCHMARK(format_number_text)->Arg(0)->Arg(1);
BENCHMARK(to_chars_text)->Arg(0)->Arg(1);
BENCHMARK(snprintf_text)->Arg(0)->Arg(1);
BENCHMARK_MAIN();
