// Decimal text back to a number: what C's strtod reads in the C locale with
// nothing left over, rounded once, straight from the text, to the nearest
// value of the precision asked for, a tie to the even one.
#ifndef OSTREL_DECIMAL_READER_H
#define OSTREL_DECIMAL_READER_H

enum decimal_result { decimal_read, not_a_number, too_large };

// The text in [first, last): an optional sign, decimal digits with an
// optional point and exponent, or inf, infinity, nan in any case. No space,
// no hexadecimal, nothing after the number. Too large is a number beyond the
// precision's largest finite value; a tiny one rounds to a subnormal or to
// zero. A NaN is the quiet NaN with the text's sign: no payload.
decimal_result read_single(const char* first, const char* last, float& value);
decimal_result read_double(const char* first, const char* last, double& value);

// The line at first, in a text that goes on to last, where it is a
// decimal number (no blanks, at most 19 significant digits, within the
// precision's range) and its LF or CR LF: its value, and where the next
// line starts; nullptr for any other line, which read_single or
// read_double then read as they read any text. One pass over the line.
const char* read_single_line(const char* first, const char* last, float& value);
const char* read_double_line(const char* first, const char* last, double& value);

#endif
