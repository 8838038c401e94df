// What the shortest digits and the given digits share to scale a binary
// value by a power of ten: logarithm estimates, 64-bit products in full,
// and the powers of ten a 64-bit word holds.
#ifndef OSTREL_DECIMAL_SCALING_H
#define OSTREL_DECIMAL_SCALING_H

#include <array>
#include <cstdint>

// floor(q log10 2), floor(log10(3/4 2^q)) and floor(n log2 10), exact for
// the exponents met here (q from -1100 to 1099, n within the table), as
// tools/shortest_digits_table.py checks.
constexpr int floor_log10_pow2(int q) { return (q * 1262611) >> 22; }
constexpr int floor_log10_three_quarters_pow2(int q) { return (q * 1262611 - 524031) >> 22; }
constexpr int floor_log2_pow10(int n) { return (n * 1741647) >> 19; }

// The high and low halves of a 64-bit product from four 32-bit products,
// for the 32-bit processors; the proof program holds it to the 128-bit
// product everywhere.
inline void multiply_by_halves(std::uint64_t a, std::uint64_t b, std::uint64_t& high, std::uint64_t& low) {
    std::uint64_t a1 = a >> 32, a0 = a & 0xFFFFFFFF, b1 = b >> 32, b0 = b & 0xFFFFFFFF;
    std::uint64_t middle = (a0 * b0 >> 32) + (a1 * b0 & 0xFFFFFFFF) + a0 * b1;
    high = a1 * b1 + (a1 * b0 >> 32) + (middle >> 32);
    low = a * b;
}

// The high and low halves of a 64-bit product.
inline void multiply(std::uint64_t a, std::uint64_t b, std::uint64_t& high, std::uint64_t& low) {
#ifdef __SIZEOF_INT128__
    __extension__ using wide = unsigned __int128;  // a GNU extension, which the 64-bit compilers all have
    wide product = static_cast<wide>(a) * b;
    high = static_cast<std::uint64_t>(product >> 64);
    low = static_cast<std::uint64_t>(product);
#else
    multiply_by_halves(a, b, high, low);
#endif
}

// 10^0 to 10^19, every power of ten a 64-bit word holds.
constexpr std::array<std::uint64_t, 20> make_powers_of_ten() {
    std::array<std::uint64_t, 20> powers{};
    std::uint64_t power = 1;
    for (std::uint64_t& entry : powers) {
        entry = power;
        power *= 10;
    }
    return powers;
}
constexpr std::array<std::uint64_t, 20> integer_powers_of_ten = make_powers_of_ten();

#endif
