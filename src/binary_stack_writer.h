// Back to binary: an ascii stack, as any of the text styles writes it, read
// line by line and written as the binary stack of the precision asked for.
#ifndef OSTREL_BINARY_STACK_WRITER_H
#define OSTREL_BINARY_STACK_WRITER_H

#include "cell_statistics.h"
#include "stack_format.h"

#include <cstdint>
#include <string>
#include <string_view>

enum text_stack_result { text_stack_read, text_stack_fault, text_stack_read_failed, text_stack_write_failed };

// Starts a conversion: reads the twelve header lines (each its label, a TAB
// and a number, which spaces and TABs may surround) from the start of the input and checks them: the labels in order, every number
// fit for the precision, and a nodata_value of -9999, without which the
// result would not be recognised. The numbers go into header as the binary
// stack holds them. A fault is one line about input_name in fault.
// already_read is the input's start where some of it was read before.
text_stack_result read_text_header(int input, stack_precision precision, const std::string& input_name,
                                   unsigned char (&header)[probe_size], std::string& fault,
                                   std::string_view already_read = {});

// Writes header, then reads the input on, one number a line, and writes each
// number, in blocks; cells is the count of them. Line ends are LF or CR LF;
// the last line may lack its end, and empty lines at the very end are
// ignored. Spaces and TABs around a number are read. Stops at the first
// line that is no number of the precision, with a fault about input_name.
// An output of no_file is not written: the cells are only read. Where
// statistics is given, every cell is added to it.
text_stack_result write_binary_stack(int input, int output, stack_precision precision, const std::string& input_name,
                                     const unsigned char (&header)[probe_size], std::uint64_t& cells,
                                     std::string& fault, cell_statistics* statistics = nullptr);

#endif
