// Cell lines read in one pass where they stand: the way back's inner loop.
// Most lines of an ascii stack are a plain decimal number and its line end;
// each is checked and read in one scan, its digits eight at a time, and
// rounded once by the fast ways. Any other line is left to the general
// reader, which gives the same value or the same fault.
#ifndef OSTREL_DECIMAL_LINES_H
#define OSTREL_DECIMAL_LINES_H

// Reads the lines from first on while each is an optional minus, decimal
// digits with an optional point and exponent (at most 19 significant
// digits) and its LF or CR LF, and its value is within the precision's
// range, and while out has room for another number: each number's bytes, as
// the file holds them, at out, which moves past them. Returns where the
// first line not read starts. The text must end in a byte that is no part
// of a number (a NUL), with seven more bytes after it that can be read.
const char* read_single_lines(const char* first, unsigned char*& out, const unsigned char* out_end);
const char* read_double_lines(const char* first, unsigned char*& out, const unsigned char* out_end);

#endif
