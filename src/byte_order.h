// Files are little-endian on every processor; a big-endian one swaps the
// bytes of each number it reads or writes.
#ifndef OSTREL_BYTE_ORDER_H
#define OSTREL_BYTE_ORDER_H

#include <cstdint>

constexpr bool host_is_little_endian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;

// A number's bits as the file holds them, from the processor's; and back,
// by the same swap.
inline std::uint32_t file_byte_order(std::uint32_t bits) { return host_is_little_endian ? bits : __builtin_bswap32(bits); }
inline std::uint64_t file_byte_order(std::uint64_t bits) { return host_is_little_endian ? bits : __builtin_bswap64(bits); }

#endif
