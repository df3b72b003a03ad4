// The pair rule of hex_tables.hpp and the digit lookup, written once for
// every vector width. Each kernel source instantiates them for its own
// width with QUILLFERN_HEX_VECTOR_RULE: a function template cannot carry
// the target attribute its intrinsics need, so a macro stamps out the
// functions, each marked with the level's target. Internal: not installed.
#pragma once

#include "quillfern/transforms/hex_tables.hpp"

#if QUILLFERN_X86_KERNELS

// Defines, in the enclosing (anonymous) namespace, for vectors of type V
// whose intrinsics are named P_op_epi8 and P_and_S (P is _mm, _mm256 or
// _mm512; S is si128, si256 or si512), with TARGET the level's attribute
// and BROADCAST the level's function from a 128-bit table to a V:
//   PairTables          the six decoding tables, as vectors of width V;
//   pair_tables()       the six tables, broadcast;
//   read_pairs(ch, t)   the codes of the pairs in ch, in 16-bit lanes.
#define QUILLFERN_HEX_VECTOR_RULE(TARGET, V, P, S, broadcast)                                                 \
  struct PairTables {                                                                                         \
    V class_high, class_low, kind_of_class, letter_bias, first_weight,                                        \
        second_weight;                                                                                        \
  };                                                                                                          \
  TARGET inline PairTables pair_tables() noexcept {                                                           \
    return {broadcast(load_table(class_high)),                                                                \
            broadcast(load_table(class_low)),                                                                 \
            broadcast(load_table(kind_of_class)),                                                             \
            broadcast(load_table(letter_bias)),                                                               \
            broadcast(load_table(first_weight)),                                                              \
            broadcast(load_table(second_weight))};                                                            \
  }                                                                                                           \
  TARGET inline V read_pairs(V ch, const PairTables &t) noexcept {                                            \
    const V nibble = P##_set1_epi8(0x0F);                                                                     \
    const V high = P##_and_##S(P##_srli_epi16(ch, 4), nibble);                                                \
    const V low = P##_and_##S(ch, nibble);                                                                    \
    const V cls = P##_and_##S(P##_shuffle_epi8(t.class_high, high),                                           \
                              P##_shuffle_epi8(t.class_low, low));                                            \
    const V kind = P##_shuffle_epi8(t.kind_of_class, cls);                                                    \
    const V value = P##_add_epi8(low, P##_shuffle_epi8(t.letter_bias, high));                                 \
    const V index = P##_maddubs_epi16(kind, P##_set1_epi16(0x0401));                                          \
    const V weight = P##_or_##S(                                                                              \
        P##_shuffle_epi8(t.first_weight, index),                                                              \
        P##_slli_epi16(P##_shuffle_epi8(t.second_weight, index), 8));                                         \
    return P##_maddubs_epi16(value, weight);                                                                  \
  }

// Adds digits_of(codes, table): half a vector of codes to a vector of digits,
// through 16-bit lanes (high nibble first), for the widths above 128 bits.
#define QUILLFERN_HEX_VECTOR_DIGITS(TARGET, V, HALF, P, S)                                                    \
  TARGET inline V digits_of(HALF codes, V table) noexcept {                                                   \
    const V wide = P##_cvtepu8_epi16(codes);                                                                  \
    const V index =                                                                                           \
        P##_or_##S(P##_srli_epi16(wide, 4),                                                                   \
                   P##_slli_epi16(P##_and_##S(wide, P##_set1_epi16(15)), 8));                                 \
    return P##_shuffle_epi8(table, index);                                                                    \
  }

#endif
