// What is this stored text, and which key made it? identify tries every
// operation of the control whose output can be undone (the hexadecimal
// form, the password cipher, the shift cipher, the text-box cipher and the
// cipher text that carries its password), every key number that can have
// made the text, and ranks the texts they restore by how much they read
// like English. The ranking is a heuristic: a small model of English text
// (letters by fours, read both ways, the kinds of other codes in turn)
// prices every restored text in bits, and fewer bits rank first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillfern {

// The operation that would have made a text, and is undone to read it.
enum class ReadingKind {
  hex,          // convert; DeConvert restores it
  password,     // EncryptPassword under key number `key`; DecryptPassword
  shift,        // EasyCryptEnCode; EasyCryptDeCode
  text_box,     // TextBoxCrypt under key number `key`; TextBoxDeCrypt
  cipher_text,  // EnCipherText under `password`; DeCipherText
};

// The control's operation that makes a reading's text, and the one that
// restores it ("convert", "DeConvert").
[[nodiscard]] std::string_view made_by(ReadingKind kind) noexcept;
[[nodiscard]] std::string_view restored_by(ReadingKind kind) noexcept;

struct Reading {
  ReadingKind kind = ReadingKind::hex;
  std::uint64_t key = 0;   // the Number (password) or key number (text box)
  std::string password;    // cipher_text: the password read from its block
  std::string text;        // the restored text's first codes (see IdentifyOptions::kept)
  std::size_t length = 0;  // the restored text's whole length
  double bits = 0;         // the ranking score: fewer bits rank first
  double bits_per_code = 0;  // the model's bits per code of the restored text
  bool plausible = false;
};

struct IdentifyOptions {
  // Text-box key numbers 0 to max_key are tried; the default covers every
  // password of up to 255 characters (255 * 255 / 60).
  std::uint64_t max_key = 1083;
  // Password lengths 1 to max_password are tried for a cipher text that
  // carries its password.
  std::size_t max_password = 255;
  // Keep the readings that are not plausible too.
  bool all = false;
  // How many codes of each restored text to keep in Reading::text.
  std::size_t kept = 256;
};

// A restored text is plausible when it is not empty, every code is a text
// code (printable ASCII, tab, line feed, carriage return, or a letter of
// Windows-1252), letters and digits make at least half of it, and the
// model needs at most plausible_bits_per_code bits per code for it, and
// plausible_extra_bits more for where it starts and ends (which weigh on
// short texts).
inline constexpr double plausible_bits_per_code = 12.0;
inline constexpr double plausible_extra_bits = 12.0;

// The model prices at most this many codes of a restored text and scales
// the price to the whole length, so that long texts stay fast.
inline constexpr std::size_t priced_codes = 65536;

// The bits that pick a reading's key, added to its score. The password
// cipher: one of the 11 Numbers that accept text. The text box: a key
// number is a password's code sum divided by 60, so the usual passwords
// (up to about 24 characters) give key numbers 0 to 40; those share three
// quarters of the chances, the key numbers above them the last quarter.
inline constexpr double password_key_bits = 3.4594316186372973;  // log2(11)
inline constexpr std::uint64_t usual_text_box_keys = 40;
[[nodiscard]] double text_box_key_bits(std::uint64_t key) noexcept;

// Every reading of `text`, best first: the plausible ones, or all of them
// with options.all. Readings are those of the operations listed with
// ReadingKind whose restoring operation succeeds on the whole text without
// losing a code: a hexadecimal text is one of an even number of digits
// 0-9 and A-F (as convert writes them); the password cipher takes at most
// 254 codes, and only Numbers 0 to 10 accept any text; the shift cipher
// takes at most 32766 codes. Linear in the text's length, plus the
// key numbers and password lengths tried. Never throws except for
// allocation.
[[nodiscard]] std::vector<Reading> identify(std::string_view text, const IdentifyOptions& options = {});

// The model's price of a text in bits, over its whole length; the empty
// text costs nothing. Never throws except for allocation (the model's
// tables are unpacked on first use).
[[nodiscard]] double text_bits(std::string_view text);

}  // namespace quillfern
