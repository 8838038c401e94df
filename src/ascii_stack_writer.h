// The ascii stack: twelve labelled header lines, then one line per cell.
#ifndef OSTREL_ASCII_STACK_WRITER_H
#define OSTREL_ASCII_STACK_WRITER_H

#include "number_text.h"
#include "stack_format.h"

#include <cstdint>

enum conversion_result { conversion_complete, conversion_read_failed, conversion_write_failed };

// Starts from the probe that recognition read (the header is in it, whatever
// the precision), reads the input on from there, and hands every line to the
// system as soon as it is complete. A trailing fragment shorter than one
// number is dropped. Every number is written in style (digits for
// given_digits). Buffered, the lines are handed over in blocks instead, each
// before the next read of the input, and never so that an interrupt can
// leave part of a line. Adds the cells it writes to cells_written and, once
// the input has ended, sets the bytes of the trailing fragment.
conversion_result write_text_stack(const unsigned char (&probe)[probe_size], int input, int output,
                                   stack_precision precision, text_style style, int digits, bool buffered,
                                   std::uint64_t& cells_written, std::uint64_t& trailing_bytes);

#endif
