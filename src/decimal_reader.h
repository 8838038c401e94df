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

#endif
