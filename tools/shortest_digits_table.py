#!/usr/bin/env python3
"""Writes src/shortest_digits_table.h: for n from -292 to 324, the 128-bit
overestimate g(n) = floor(10^n * 2^(127 - F(n))) + 1 of 10^n, where
F(n) = floor(n log2 10), so that 2^127 < g(n) < 2^128. Exact, in Python's
integers. CTest runs it with --check against the committed file.
  tools/shortest_digits_table.py [--check FILE]"""
import sys

LOWEST, HIGHEST = -292, 324

def floor_log2_pow10(n):
    """floor(n log2 10), found exactly: the F with 2^F <= 10^n < 2^(F+1)."""
    f = (n * 1741647) >> 19  # the converter's estimate, checked here against the exact value
    exact = (10 ** n).bit_length() - 1 if n >= 0 else -((10 ** -n - 1).bit_length())
    assert f == exact, (n, f, exact)
    return f

def check_estimates():
    """The converter's floor(q log10 2) and floor(log10(3/4 2^q)) for every binary exponent it meets, exactly."""
    for q in range(-1100, 1100):
        for k, numerator, denominator in (((q * 1262611) >> 22, 1, 1), ((q * 1262611 - 524031) >> 22, 3, 4)):
            value = (numerator << max(q, 0), denominator << max(-q, 0))  # 2^q, or 3/4 of it, as a fraction
            low, high = (10 ** k, 1) if k >= 0 else (1, 10 ** -k), (10 ** (k + 1), 1) if k >= -1 else (1, 10 ** (-k - 1))
            assert low[0] * value[1] <= value[0] * low[1] and value[0] * high[1] < high[0] * value[1], (q, k)

def g(n):
    shift = 127 - floor_log2_pow10(n)
    value = (10 ** n << shift if shift >= 0 else 10 ** n >> -shift) if n >= 0 else (1 << shift) // 10 ** -n
    value += 1
    assert 1 << 127 < value < 1 << 128, n
    return value

def table():
    rows = "\n".join(f"    {{0x{g(n) >> 64:016X}, 0x{g(n) & (1 << 64) - 1:016X}}},  // 10^{n}"
                     for n in range(LOWEST, HIGHEST + 1))
    return f"""// Written by tools/shortest_digits_table.py; CTest checks that it still writes this.
// For n from {LOWEST} to {HIGHEST}: floor(10^n * 2^(127 - floor(n log2 10))) + 1, high and low 64 bits.
#ifndef OSTREL_SHORTEST_DIGITS_TABLE_H
#define OSTREL_SHORTEST_DIGITS_TABLE_H

#include <cstdint>

constexpr int lowest_power_of_ten = {LOWEST};
constexpr std::uint64_t powers_of_ten[{HIGHEST - LOWEST + 1}][2] = {{
{rows}
}};

#endif
"""

if __name__ == "__main__":
    check_estimates()
    if len(sys.argv) == 3 and sys.argv[1] == "--check":
        same = open(sys.argv[2]).read() == table()
        print("the table is what the generator writes" if same else f"{sys.argv[2]} differs from the generator's table")
        sys.exit(0 if same else 1)
    sys.stdout.write(table())
