// The identify command: the readings of a stored text, best first, each
// with the command that restores it.
#include <charconv>
#include <cstdio>

#include "cli/command.hpp"
#include "quillfern/control/identify.hpp"
#include "quillfern/core/codepage.hpp"

namespace quillfern::cli {
namespace {

// Codes of a preview shown in the plain report.
constexpr std::size_t preview_codes = 60;

std::uint64_t count_option(const Context& context, std::string_view name, std::uint64_t fallback,
                           std::uint64_t most) {
  const auto value = context.args.value(name);
  if (!value) return fallback;
  std::uint64_t number = 0;
  const auto [end, ec] = std::from_chars(value->data(), value->data() + value->size(), number);
  if (value->empty() || ec != std::errc{} || end != value->data() + value->size() || number > most) {
    throw UsageError("--" + std::string(name) + " takes a number from 0 to " + std::to_string(most) + ", not '" +
                     *value + "'");
  }
  return number;
}

// A file name as a shell word.
std::string shell_word(const std::string& name) {
  const bool plain = !name.empty() && name.find_first_not_of(
                                          "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_./+=:,@%-") ==
                                          std::string::npos;
  const std::string word = name.starts_with('-') && name != "-" ? "./" + name : name;
  if (plain) return word;
  std::string quoted = "'";
  for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string hex_of(std::string_view codes) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : codes) {
    const auto code = static_cast<unsigned char>(c);
    out += digits[code >> 4];
    out += digits[code & 15];
  }
  return out;
}

// A code as text: itself when printable ASCII, its code page character in
// UTF-8 under --encoding, otherwise an escape.
std::string shown(unsigned char code, CodePage encoding, bool json) {
  switch (code) {
    case '"': return "\\\"";
    case '\\': return "\\\\";
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '\t': return "\\t";
    default: break;
  }
  if (code >= 32 && code < 127) return std::string(1, static_cast<char>(code));
  char escape[8];
  // Under --encoding, a code that is a printable character of the code page.
  if (code >= 0x80 && encoding != CodePage::none && to_unicode(encoding, code) >= 0xA0) {
    return to_utf8(std::string_view(reinterpret_cast<const char*>(&code), 1), encoding);
  }
  if (json) {
    std::snprintf(escape, sizeof escape, "\\u%04X", code);
  } else {
    std::snprintf(escape, sizeof escape, "\\x%02X", code);
  }
  return escape;
}

std::string quoted(std::string_view codes, CodePage encoding, bool json, std::size_t limit, std::size_t length) {
  std::string out = "\"";
  for (const char c : codes.substr(0, limit)) out += shown(static_cast<unsigned char>(c), encoding, json);
  out += '"';
  if (!json && length > std::min(limit, codes.size())) out += "...";
  return out;
}

// The command that restores a reading from the same input (in record
// mode, from the record alone on standard input).
std::string restore_command(const Reading& r, const Context& context, bool record) {
  std::string command = "quillfern ";
  switch (r.kind) {
    case ReadingKind::hex: command += "deconvert"; break;
    case ReadingKind::password: command += "decrypt-password --number " + std::to_string(r.key); break;
    case ReadingKind::shift: command += "easy-decode"; break;
    case ReadingKind::text_box: command += "textbox-decrypt --key-number " + std::to_string(r.key); break;
    case ReadingKind::cipher_text: command += "decipher --password-hex " + hex_of(r.password); break;
  }
  if (context.encoding != CodePage::none) command += " --encoding " + std::string(to_string(context.encoding));
  const auto& positionals = context.args.positionals();
  if (!record && !positionals.empty()) command += " " + shell_word(positionals.front());
  return command;
}

std::string fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string what(const Reading& r, const Context& context, bool json) {
  switch (r.kind) {
    case ReadingKind::password: return "Number " + std::to_string(r.key);
    case ReadingKind::text_box: return "key number " + std::to_string(r.key);
    case ReadingKind::cipher_text:
      return "password " + quoted(r.password, context.encoding, json, SIZE_MAX, r.password.size());
    default: return {};
  }
}

std::string plain_report(const std::vector<Reading>& readings, const Context& context, bool record) {
  std::string out;
  std::size_t rank = 0;
  for (const Reading& r : readings) {
    out += std::to_string(++rank) + ". " + std::string(made_by(r.kind));
    const std::string key = what(r, context, false);
    if (!key.empty()) out += ", " + key;
    out += ": " + quoted(r.text, context.encoding, false, preview_codes, r.length) + " (" +
           std::to_string(r.length) + (r.length == 1 ? " code)" : " codes)");
    if (!r.plausible) out += " [implausible]";
    out += "\n   score " + fixed(r.bits, 1) + " bits (" + fixed(r.bits_per_code, 2) + " per code), restored by " +
           std::string(restored_by(r.kind)) + ":\n   " + restore_command(r, context, record) + "\n";
  }
  return out;
}

// The readings as JSON: one object over several lines, or in record mode
// one line per record that names it first ({"line": 3, ...}).
std::string json_report(const std::vector<Reading>& readings, const Context& context, std::size_t length,
                        const RecordAt* at) {
  const std::string_view first_break = at != nullptr ? "" : "\n  ";
  const std::string_view next_break = at != nullptr ? ", " : ",\n  ";
  std::string out = "{";
  if (at != nullptr) out += "\"" + std::string(at->unit) + "\": " + std::to_string(at->n) + ", ";
  out += "\"length\": " + std::to_string(length) + ", \"readings\": [";
  bool first = true;
  for (const Reading& r : readings) {
    out += first ? first_break : next_break;
    first = false;
    out += "{\"made_by\": \"" + std::string(made_by(r.kind)) + "\", \"restored_by\": \"" +
           std::string(restored_by(r.kind)) + "\", ";
    out += "\"key\": ";
    out += r.kind == ReadingKind::password || r.kind == ReadingKind::text_box ? std::to_string(r.key) : "null";
    out += ", \"password\": ";
    out += r.kind == ReadingKind::cipher_text ? quoted(r.password, context.encoding, true, SIZE_MAX, r.password.size())
                                              : "null";
    out += ", \"password_hex\": ";
    out += r.kind == ReadingKind::cipher_text ? "\"" + hex_of(r.password) + "\"" : "null";
    out += ", \"text\": " + quoted(r.text, context.encoding, true, SIZE_MAX, r.length);
    out += ", \"length\": " + std::to_string(r.length);
    out += ", \"truncated\": " + std::string(r.text.size() < r.length ? "true" : "false");
    out += ", \"bits\": " + fixed(r.bits, 2) + ", \"bits_per_code\": " + fixed(r.bits_per_code, 3);
    out += ", \"plausible\": " + std::string(r.plausible ? "true" : "false");
    out += ", \"command\": \"";
    for (const char c : restore_command(r, context, at != nullptr)) {
      out += shown(static_cast<unsigned char>(c), CodePage::none, true);
    }
    out += "\"}";
  }
  out += first || at != nullptr ? "]}\n" : "\n]}\n";
  return out;
}

IdentifyOptions identify_options(const Context& context) {
  IdentifyOptions options;
  options.max_key = count_option(context, "max-key", options.max_key, std::uint64_t{1} << 53);
  options.max_password = count_option(context, "max-password", options.max_password, SIZE_MAX >> 1);
  options.all = context.args.has("all");
  return options;
}

std::string_view no_reading(const IdentifyOptions& options) {
  return options.all ? "no reading restores this text" : "no plausible reading; --all shows the implausible ones too";
}

// Record mode: the readings of one record, under a line that names it.
std::string record_report(const Context& context, const RecordAt& at, std::string_view record) {
  const IdentifyOptions options = identify_options(context);
  const std::vector<Reading> readings = identify(record, options);
  if (context.args.has("json")) return json_report(readings, context, record.size(), &at);
  std::string out = std::string(at.unit) + " " + std::to_string(at.n) + ": ";
  if (readings.empty()) return out + std::string(no_reading(options)) + "\n";
  out += std::to_string(readings.size()) + (readings.size() == 1 ? " reading\n" : " readings\n");
  return out + plain_report(readings, context, true);
}

int identify_command(Context& context) {
  const IdentifyOptions options = identify_options(context);
  const bool json = context.args.has("json");
  const std::string text = context.read_text();
  const std::vector<Reading> readings = identify(text, options);
  const std::string report =
      json ? json_report(readings, context, text.size(), nullptr) : plain_report(readings, context, false);
  write_all(context.args.value("output").value_or(""), report);
  if (readings.empty() && !json) print_hint(no_reading(options));
  return exit_ok;
}

}  // namespace

std::vector<Command> identify_commands() {
  return {Command{
      "identify", nullptr, "[FILE]",
      "guess which operation and key made a stored text, best reading first",
      "Tries every reading that restores the whole text: a hexadecimal text of convert (an "
      "even number of digits 0-9 and A-F), a scrambled password (every Number whose "
      "DecryptPassword succeeds; only 0 to 10 can), a shifted text (EasyCryptDeCode), a "
      "text-box cipher text (every key number up to --max-key under which nothing would be "
      "dropped; textbox-decrypt --key-number K restores it without the password) and a "
      "cipher text that carries its password (the password read from the password block, "
      "for every length up to --max-password). Each reading comes with the command that "
      "restores it. The ranking is a heuristic: a small model of English text prices each "
      "restored text in bits (letters by fours, read both ways, case, accents, and the "
      "kind of each other code after the one before it), over its first 65536 codes and "
      "scaled to its length, and adds the bits that pick a key: 3.46 for a Number, less "
      "when several Numbers restore the same text; 5.77 for a key number up to 40 (the "
      "passwords of up to about 24 characters), 12.03 above; fewer bits rank first. A reading is plausible when it is not empty, every code is "
      "printable ASCII, a tab, a line break or a letter of Windows-1252, letters and "
      "digits make at least half of it, and it costs at most 12 bits per code and 12 bits "
      "more (for where it starts and ends); only plausible readings are shown unless --all "
      "is given. On texts made from dictionary words the model never saw, the right reading "
      "comes first for 99.9 percent or more of two-word texts and for 96.4 to 99.9 percent "
      "of single words, depending on the operation; a wrong key often gives another word-like "
      "text. With --lines or -z every record gets its readings, under a line 'line N: K "
      "readings' (or one JSON object per line, naming the line first, with --json); the "
      "commands then restore the record given alone on standard input. "
      "A password read from a cipher text is printed, in the command that restores it too. "
      "--json prints the readings for scripts, each text as its first 256 codes "
      "(characters U+0000 to U+00FF, or the --encoding code page's).",
      uses_text_io,
      {{"all", 'a', "", "show the implausible readings too"},
       {"json", '\0', "", "print the readings as JSON"},
       {"max-key", '\0', "N", "try text-box key numbers 0 to N (default 1083: passwords up to 255 codes)"},
       {"max-password", '\0', "N", "try carried passwords of 1 to N codes (default 255)"}},
      identify_command,
      record_report}};
}

}  // namespace quillfern::cli
