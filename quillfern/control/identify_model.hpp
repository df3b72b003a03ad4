// The model of English text that ranks identify's readings: the bytes of
// quillfern/control/identify_model.txt, which scripts/make_text_model.py
// writes and the build embeds. The file holds one table a line, its name,
// a blank and its characters (lines starting with '#' are comments); costs
// are quarter bits stored as the characters '!' (0) to '~' (93). Symbols
// are the letters a to z (0 to 25), the apostrophe (26) and the word
// boundary (27), written as the characters "abcdefghijklmnopqrstuvwxyz'$".
//
// The tables:
// - code_classes: two characters per code 0..255: 'l' lower-case letter,
//   'u' upper-case, 'a' accented lower-case, 'U' accented upper-case (each
//   followed by its symbol), or 'k' followed by its kind ('!' + kind);
// - trigram_costs: 28^3 costs: symbol c after a, b, at (a * 28 + b) * 28 + c;
// - backoff_costs: 28^3 costs of leaving the seen context a, b, c for its
//   trigram; '!' for a context never seen;
// - seen_4grams: for each of the 28^3 contexts in order, the (symbol, cost)
//   pairs of the 4-grams seen, then a blank;
// - trigram_costs_back, backoff_costs_back, seen_4grams_back: the same
//   three for the letters read from right to left;
// - kind_costs: for the kinds of codes that are not letters (blank, line
//   break, digit, each punctuation character, symbol, control), the cost of
//   a kind after each kind, one row per kind and a last row for after a
//   letter;
// - letter_after_kind, kind_after_kind: the cost of a letter, and of another
//   code, after each kind.
#pragma once

#include <cstddef>

namespace quillfern::detail::text_model {

extern const unsigned char data[];
extern const std::size_t data_size;

}  // namespace quillfern::detail::text_model
