// Number text: by default a number as printf's "%g" writes it in the C
// locale, at most six significant digits; on request to a given number of
// digits, or in the fewest digits that read back to the stored value.
#ifndef OSTREL_NUMBER_TEXT_H
#define OSTREL_NUMBER_TEXT_H

#include <cstddef>

// How every number of a run is written, chosen once per run.
enum text_style { six_digits, given_digits, shortest_digits };
constexpr int least_given_digits = 1, most_given_digits = 17;

// The room a number's text needs: "-2.2250738585072014e-308" and the bytes
// format_number may write past a text's end.
constexpr std::size_t number_text_room = 32;

// The exact fast path alone: the text and its end as format_number writes
// it, or nullptr for a value whose digits it cannot prove. Lets the proof
// count what it decides.
char* fast_number_text(char* out, double value);

// The standard library's text (std::to_chars), for every value.
char* reference_number_text(char* out, double value);

// printf("%.<digits>g"), digits from 1 to 17: the text and its end.
char* given_digits_text(char* out, double value, int digits);

// The fewest significant digits that read back (strtod, strtof) to exactly
// value; of those, the text closest to it, a tie to the even digit. Fixed
// notation for decimal exponents -4 to 5, as "%g" has it: the text
// std::to_chars writes. Writes past the text's end, within number_text_room.
char* shortest_double_text(char* out, double value);
char* shortest_single_text(char* out, float value);

// The text of value starting at out; returns its end. out needs room for
// number_text_room characters: bytes past the text's end may be overwritten.
// Inline, so that the line loop pays no call for the choice.
inline char* format_number(char* out, double value) {
    char* end = fast_number_text(out, value);
    return end != nullptr ? end : reference_number_text(out, value);
}

#endif
