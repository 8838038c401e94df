#include "given_digits.h"

#include "decimal_scaling.h"
#include "shortest_digits_table.h"

#include <cstring>

namespace {

// The table ends at the power of ten that scales the least normal value
// (2^-1022, decimal exponent -308) to 17 digits.
static_assert(lowest_power_of_ten + static_cast<int>(sizeof powers_of_ten / sizeof *powers_of_ten) - 1 == 16 + 308);

// c 2^q times 10^n, c from 2^52 to below 2^53, the result from 1 to below
// 2^60: its integer part and the first 64 bits of its fraction. The table's
// g(n) is 10^n 2^(127 - F), F = floor(n log2 10), too large by less than 1,
// so c 2^q 10^n is (c 2^11) g 2^(q + F - 138): a product below 2^192 whose
// integer part starts at bit 138 - q - F, above 130 for a result below
// 2^60. Its top 128 bits, from c 2^11 times g's halves, leave out the
// lowest 64; with g's excess the error is below 2^64, an eighth of the
// fraction's last bit, so each is within 1 of the exact value's floor.
void scaled_by_power_of_ten(std::uint64_t c, int q, int n, std::uint64_t& integer, std::uint64_t& fraction) {
    const std::uint64_t(&g)[2] = powers_of_ten[n - lowest_power_of_ten];
    const std::uint64_t x = c << 11;
    std::uint64_t high_high, high_low, low_high, low_low;
    multiply(x, g[0], high_high, high_low);
    multiply(x, g[1], low_high, low_low);
    static_cast<void>(low_low);
    const std::uint64_t middle = high_low + low_high;
    const std::uint64_t top = high_high + (middle < high_low ? 1 : 0);
    const int shift = 138 - q - floor_log2_pow10(n) - 128;  // within the top word: 3 to 63
    integer = top >> shift;
    fraction = top << (64 - shift) | middle >> shift;
}

}  // namespace

std::pair<std::uint64_t, int> given_decimal_digits(double value, int count) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const int biased = static_cast<int>(bits >> 52);  // the sign bit is 0
    if (biased == 0 || biased == 0x7FF) return {0, 0};
    const std::uint64_t c = (bits & ((std::uint64_t{1} << 52) - 1)) + (std::uint64_t{1} << 52);  // the hidden bit
    const int q = biased - 1075;
    // The value lies from 2^(q+52) to below 2^(q+53): its decimal exponent
    // is this estimate or one more. Scaled to count digits by the estimate,
    // it is at least 10^(count-1) and below 10^(count+1).
    int exponent = floor_log10_pow2(q + 52) - (count - 1);
    if (-exponent <= lowest_power_of_ten) return {0, 0};  // above about 10^292; the least normal needs 10^324
    std::uint64_t integer, fraction;
    scaled_by_power_of_ten(c, q, -exponent, integer, fraction);
    if (integer >= integer_powers_of_ten[static_cast<std::size_t>(count)]) {  // one digit too many
        ++exponent;
        scaled_by_power_of_ten(c, q, -exponent, integer, fraction);
    }
    // Within 2 of a half the exact value may lie on either side, or on it.
    // On it, 2 c 2^q 10^n, which is c 5^n 2^(q + n + 1), is an odd integer:
    // a tie, which goes to the even digit, as printf's does. So near, that
    // is where its power of two, from c's trailing zeros and q + n + 1, is
    // 2^0: from n = 0 up the rest is odd; below, it is c's odd part over
    // 5^-n, which within 2^-61 of an odd integer is one (c is below 2^53,
    // the result at least 1). Off a tie, this cannot tell the side.
    constexpr std::uint64_t half = std::uint64_t{1} << 63;
    std::uint64_t digits = integer + (fraction >> 63);  // up from a half; a tie is settled below
    if (fraction - (half - 2) <= 4) {
        if (__builtin_ctzll(c) + q - exponent + 1 != 0) return {0, 0};
        digits = integer + (integer & 1);
    }
    if (digits == integer_powers_of_ten[static_cast<std::size_t>(count)]) {  // 99...9.5 and up: one digit more
        digits = integer_powers_of_ten[static_cast<std::size_t>(count - 1)];
        ++exponent;
    }
    return {digits, exponent};
}
