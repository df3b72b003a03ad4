// The module's functions: one row per operation of the library, each the
// row of the table of operations it stands for, a Python name, the names of
// its parameters, its docstring and the library function (or a short
// adapter over it). Each is checked against its row when the module is
// imported: it takes what the row reads, in the row's order. The keyed text ciphers never
// refuse or lose codes silently here: where the control would show a box
// they raise Refused, and where its result would be cut or drop codes
// they raise DataLoss unless allow_loss=True.
#include <span>

#include "binding.hpp"
#include "module.hpp"

namespace quillfern::python {
namespace {

int code_at(std::string_view text, std::size_t position) {
  return static_cast<unsigned char>(text[position - 1]);
}

Ciphered fast_blow_fish(std::string_view text, std::string_view password) {
  Ciphered out;
  out.text = ciphers::fast_blow_fish(text, password, [&](std::size_t at) { out.zeros.push_back(at); });
  return out;
}

template <bool crypt>
TextBoxOutcome text_box(std::string_view text, std::string_view password, AllowLoss allow) {
  const std::uint64_t key = ciphers::text_box_key(password);
  ciphers::TextBoxResult result = crypt ? ciphers::text_box_crypt(text, key) : ciphers::text_box_decrypt(text, key);
  TextBoxOutcome outcome{std::move(result.text), ciphers::text_box_key_text(key)};
  if (result.dropped > 0 && !allow.value) {
    throw Loss<TextBoxOutcome>{
        std::string(crypt ? "text_box_crypt" : "text_box_decrypt") + " would drop " +
            std::to_string(result.dropped) + " of " + std::to_string(text.size()) +
            " characters, the first at position " + std::to_string(result.first_dropped) + " (code " +
            std::to_string(code_at(text, result.first_dropped)) + "): under key number " + outcome.key_text +
            " their codes would leave 0..255",
        result.first_dropped, std::move(outcome)};
  }
  return outcome;
}

std::string encipher_text(std::string_view text, std::string_view password, AllowLoss allow) {
  ciphers::EnCipherResult result = ciphers::encipher_text(text, password);
  if (result.verdict == ciphers::CipherVerdict::no_password) throw Refusal{"Please put in a password"};
  if (result.cut_at != 0 && !allow.value) {
    // The message names positions, never a code of the password.
    const std::size_t at = result.cut_at;
    std::string why = "encipher_text would cut the cipher text at position " + std::to_string(at) + " of " +
                      std::to_string(password.size() + text.size()) + ": ";
    if (at <= password.size()) {
      why += "password character " + std::to_string(at) + " has a code above 127, so none of the text would be kept";
    } else {
      const std::size_t i = at - password.size();
      why += "text character " + std::to_string(i) + " has code " + std::to_string(code_at(text, i)) +
             ", and with the password code aligned with it the sum exceeds 255";
    }
    throw Loss<std::string>{why, at, std::move(result.text)};
  }
  return std::move(result.text);
}

std::string decipher_text(std::string_view cipher, std::string_view password, AllowLoss allow) {
  ciphers::DeCipherResult result = ciphers::decipher_text(cipher, password);
  if (result.verdict == ciphers::CipherVerdict::no_password) throw Refusal{"Please put in a password"};
  if (result.verdict == ciphers::CipherVerdict::access_denied) throw Refusal{"Access Denied"};
  if (result.stopped_at != 0 && !allow.value) {
    const std::size_t at = result.stopped_at;
    throw Loss<std::string>{"decipher_text stopped at cipher position " + std::to_string(at) + " of " +
                                std::to_string(cipher.size()) + ": its code " + std::to_string(code_at(cipher, at)) +
                                " is below the password code aligned with it, so the cipher text is damaged",
                            at, std::move(result.text)};
  }
  return std::move(result.text);
}

std::uint32_t encode_decode_file(const FileName& input, const FileName& output, std::string_view password,
                                 GeneratorState state) {
  files::BasicRandom random(state.value);
  files::encode_decode_file(input.value, output.value, password, random);
  return random.state();
}

void wipe_file_clean(const FileName& file) { files::wipe_file_clean(file.value); }

py::tuple key_tables() {
  py::tuple tables(ciphers::key_table_count);
  for (int n = 1; n <= ciphers::key_table_count; ++n) {
    const std::span<const std::uint8_t> table = ciphers::key_table(n);
    tables[static_cast<std::size_t>(n - 1)] =
        py::bytes(reinterpret_cast<const char*>(table.data()), table.size());
  }
  return tables;
}

// The row of the table of operations that a module function stands for.
template <auto Method>
const Operation* row() {
  return &operation_of<Method>();
}

}  // namespace

void define_functions(py::module_& m) {
  // ---- character transforms ------------------------------------------------
  def_function(m, row<&Encryption::EncryptPassword>(), "encrypt_password", {"number", "text"}, R"(Scramble a short text under the one-byte key `number` (0..255).

Odd positions move up by the key and even positions down, then every code
is exclusive-ored with 10 - number. At most 254 characters.

Raises Error 5 at the first character whose code leaves 0..255 (every
non-empty text when number is 11 or more), and Error 6 after the 255th
character of a longer text.)",
               &transforms::encrypt_password);
  def_function(m, row<&Encryption::DecryptPassword>(), "decrypt_password", {"number", "text"}, R"(Restore a text scrambled by encrypt_password with the same number.

Same limits and errors as encrypt_password: at most 254 characters (Error
6 after the 255th), Error 5 when a code leaves 0..255.)",
               &transforms::decrypt_password);
  def_function(m, row<&Encryption::convert>(), "convert", {"text"}, R"(The hexadecimal form of `text`: two upper-case digits per code, no separators.

Any length; never fails. deconvert() reads it back.)",
               &transforms::convert);
  def_function(m, row<&Encryption::DeConvert>(), "deconvert", {"hex"}, R"(The text whose hexadecimal form `hex` is.

Every pair of characters at positions 1-2, 3-4, ... (and a lone last
character) gives one code, read as the control's "&H" number reader reads
it: digits 0-9, A-F and a-f up to the first other character, no digit at
all giving 0 ("ZZ" gives 0, "4Z" gives 4); blanks, tabs and line feeds
inside a pair are skipped. Any length; never fails.)",
               &transforms::deconvert);
  def_function(m, row<&Encryption::EasyCryptEnCode>(), "easy_crypt_encode", {"text"}, R"(`text` with every code raised by one, without wrapping around.

At most 32766 characters. Raises Error 6 for a longer text, Error 5 at the
first character of code 255.)",
               &transforms::easy_crypt_encode);
  def_function(m, row<&Encryption::EasyCryptDeCode>(), "easy_crypt_decode", {"text"}, R"(`text` with every code lowered by one, without wrapping around.

At most 32766 characters. Raises Error 6 for a longer text, Error 5 at the
first character of code 0.)",
               &transforms::easy_crypt_decode);
  def_function(m, row<&Encryption::SeedEncryption>(), "seed_encryption", {"text", "seed"}, R"(`text` with each code exclusive-ored with the code of `seed` at the same position.

Its own inverse: applying it twice with one seed gives the text back. The
seed must be at least as long as the text (Error 5 otherwise; its codes
past the text's length are not read). At most 32766 characters (Error 6).)",
               &transforms::seed_encryption);
  def_function(m, row<&Encryption::PowerEncryption>(), "power_encryption", {"text", "code_page"}, R"(The one-way scrambled form of `text` (there is no inverse).

The text is upper-cased first, one code to one, as the host's code page
`code_page` does: 'cp1252' (the default), 'latin1', or 'none' (a to z
only). At most 255 characters: 256 to 32767 raise Error 5, longer texts
Error 6. Different texts can give the same result.)",
               &transforms::power_encryption);

  // ---- keyed text ciphers --------------------------------------------------
  def_function(m, row<&Encryption::FastBlowFish>(), "fast_blow_fish", {"text", "password"}, R"(Encipher or decipher `text` with FastBlowFish (the same operation both ways).

The result has the text's length; applying it again with the same password
gives the text back. No length limit; never fails. Where the control shows
"ERROR Zero!" (every processed position whose result is code 0, the space
fill of the last block of 128 included) the result carries the position:
it is a Ciphered (bytes) or CipheredText (str) whose `zeros` attribute is
the tuple of those 1-based positions, in order.)",
               &fast_blow_fish);
  def_function(m, row<&Encryption::TextBoxCrypt>(), "text_box_crypt", {"text", "password", "allow_loss"}, R"(Scramble `text` under the key number of `password`; returns (result, key_text).

The key number is the password's code sum divided by 60; key_text is its
decimal text, which the control leaves in its Password argument. Every
code moves by an amount made of the key number, a fixed offset and a phase
that cycles through six. A code that would leave 0..255 is dropped by the
control: that raises DataLoss unless allow_loss=True. result is None when
no character was produced (the control's empty variant: an empty text, or
every code dropped).)",
               &text_box<true>);
  def_function(m, row<&Encryption::TextBoxDeCrypt>(), "text_box_decrypt", {"text", "password", "allow_loss"}, R"(Undo text_box_crypt; returns (result, key_text).

Give the same password as to text_box_crypt. Codes that would leave
0..255 raise DataLoss unless allow_loss=True; result is None when no
character was produced.)",
               &text_box<false>);
  def_function(m, row<&Encryption::EnCipherText>(), "encipher_text", {"text", "password", "allow_loss"}, R"(The cipher text of `text` that carries `password`.

The password followed by the text, each code raised by the password code
aligned with it (the password repeating). An empty password raises Refused
("Please put in a password"). A sum above 255 cuts the control's cipher
text (any password code of 128 or more does so in the password block):
that raises DataLoss unless allow_loss=True. Texts and passwords of codes
0..127 are never cut. No length limit.)",
               &encipher_text);
  def_function(m, row<&Encryption::DeCipherText>(), "decipher_text", {"cipher", "password", "allow_loss"}, R"(The text of a cipher text made by encipher_text under the same password.

A cipher text that does not decipher to the password followed by the text
raises Refused ("Access Denied"), as does an empty password ("Please put in
a password"). A damaged cipher text that stops deciphering early raises
DataLoss unless allow_loss=True. No length limit.)",
               &decipher_text);

  // ---- file operations ----------------------------------------------------
  def_function(m, row<&Encryption::EncodeDecodeFile>(), "encode_decode_file", {"input_path", "output_path", "password", "state"},
               R"(Write `output_path` as the bytes of `input_path` under `password`; returns the generator state after the call.

Encoding and decoding are one operation: every byte is exclusive-ored with a
key byte of the runtime's random-number generator, seeded from the password.
`state` is the generator state to start from: None gives the state of a new
process (0x50000), as every run of the old control's host began; pass the
returned state on to continue as a host that kept its process running.

The output is written to a new file beside it and renamed over it only when
it is complete, so it is either complete (exactly the input's length) or as
it was; it may be the input itself. Raises Error 53 for a missing input
(nothing is created), Error 5 for an empty password with a non-empty input,
and the file errors 52, 57, 61, 70, 75, 76 (FileError, an OSError).)",
               &encode_decode_file);
  def_function(m, row<&Encryption::WipeFileClean>(), "wipe_file_clean", {"path"}, R"(Overwrite the file at `path` with "X", then with spaces, and delete it.

Each pass runs from its first byte to the next whole 4096-byte block past its
end and is flushed to the device. Read-only files are wiped too. Raises Error
53 for a missing file, Error 75 for anything but a regular file (left alone),
and the file errors (FileError, an OSError).)",
               &wipe_file_clean);

  m.def("tables", &key_tables, R"(tables()
--

The eight FastBlowFish key tables, as a tuple of bytes (508, 512, 508, 502,
253, 252, 254 and 253 codes).)");
}

}  // namespace quillfern::python
