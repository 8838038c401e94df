// Number text: a number as printf's "%g" writes it in the C locale, at most
// six significant digits.
#ifndef OSTREL_NUMBER_TEXT_H
#define OSTREL_NUMBER_TEXT_H

// The exact fast path alone: the text and its end as format_number writes
// it, or nullptr for a value whose digits it cannot prove. Lets the proof
// count what it decides.
char* fast_number_text(char* out, double value);

// The standard library's text (std::to_chars), for every value.
char* reference_number_text(char* out, double value);

// The text of value starting at out; returns its end. out needs room for 16
// characters: bytes past the text's end, up to those 16, may be overwritten.
// Inline, so that the line loop pays no call for the choice.
inline char* format_number(char* out, double value) {
    char* end = fast_number_text(out, value);
    return end != nullptr ? end : reference_number_text(out, value);
}

#endif
