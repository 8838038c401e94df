// Files are little-endian on every processor; a big-endian one swaps the
// bytes of each number it reads or writes.
#ifndef OSTREL_BYTE_ORDER_H
#define OSTREL_BYTE_ORDER_H

constexpr bool host_is_little_endian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;

#endif
