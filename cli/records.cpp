#include "cli/records.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <optional>
#include <stdexcept>

#include "cli/explain.hpp"
#include "cli/messages.hpp"
#include "cli/terminal_guard.hpp"
#include "quillfern/control/encryption.hpp"
#include "quillfern/core/codepage.hpp"
#include "quillfern/platform/host.hpp"
#include "quillfern/platform/secure_memory.hpp"

namespace quillfern::cli {
namespace {

enum class Format { raw, hex, base64 };

Format parse_format(const ParsedArgs& args, std::string_view option) {
  const auto value = args.value(option);
  if (!value || *value == "raw") return Format::raw;
  if (*value == "hex") return Format::hex;
  if (*value == "base64") return Format::base64;
  throw UsageError("--" + std::string(option) + " takes raw, hex or base64, not '" + *value + "'");
}

// A record that cannot be read or whose result cannot be stored: its error
// names the column of the stored record where it could.
class RecordError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

int hex_value(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string column_of(std::size_t index) { return "column " + std::to_string(index + 1); }

// Strict hexadecimal: pairs of digits of either case, nothing else.
void decode_hex(std::string_view stored, std::string& codes) {
  if (stored.size() % 2 != 0) {
    throw RecordError("hex record has an odd number of digits (" + std::to_string(stored.size()) + ")");
  }
  codes.resize(stored.size() / 2);
  for (std::size_t i = 0; i < stored.size(); i += 2) {
    const int high = hex_value(stored[i]);
    const int low = hex_value(stored[i + 1]);
    if (high < 0 || low < 0) {
      const std::size_t at = high < 0 ? i : i + 1;
      throw RecordError("hex record has '" + std::string(1, stored[at]) + "' at " + column_of(at) +
                        ", not a hexadecimal digit");
    }
    codes[i / 2] = static_cast<char>(high * 16 + low);
  }
}

void encode_hex(std::string_view codes, std::string& out) {
  static constexpr char digits[] = "0123456789abcdef";
  for (const char c : codes) {
    const auto code = static_cast<unsigned char>(c);
    out += digits[code >> 4];
    out += digits[code & 15];
  }
}

constexpr std::string_view base64_alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64_value(char c) noexcept {
  const std::size_t at = base64_alphabet.find(c);
  return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

// The standard alphabet with padding: groups of four characters, '=' only
// at the end of the last group, and no bits set beyond the last code.
void decode_base64(std::string_view stored, std::string& codes) {
  if (stored.size() % 4 != 0) {
    throw RecordError("base64 record has " + std::to_string(stored.size()) +
                      " characters, not a multiple of 4");
  }
  codes.clear();
  codes.reserve(stored.size() / 4 * 3);
  for (std::size_t i = 0; i < stored.size(); i += 4) {
    const bool last = i + 4 == stored.size();
    std::size_t padding = 0;
    if (last) padding = stored[i + 3] != '=' ? 0 : stored[i + 2] != '=' ? 1 : 2;
    std::uint32_t group = 0;
    for (std::size_t j = 0; j < 4; ++j) {
      const int value = j >= 4 - padding ? 0 : base64_value(stored[i + j]);
      if (value < 0) {
        throw RecordError("base64 record has '" + std::string(1, stored[i + j]) + "' at " +
                          column_of(i + j) + ", not in the base64 alphabet");
      }
      group = group << 6 | static_cast<std::uint32_t>(value);
    }
    if ((padding == 1 && (group & 0xff) != 0) || (padding == 2 && (group & 0xffff) != 0)) {
      throw RecordError("base64 record has bits set beyond its last code at " + column_of(i + 3 - padding));
    }
    codes += static_cast<char>(group >> 16);
    if (padding < 2) codes += static_cast<char>(group >> 8 & 0xff);
    if (padding < 1) codes += static_cast<char>(group & 0xff);
  }
}

void encode_base64(std::string_view codes, std::string& out) {
  std::size_t i = 0;
  for (; i + 3 <= codes.size(); i += 3) {
    const std::uint32_t group = static_cast<std::uint32_t>(static_cast<unsigned char>(codes[i])) << 16 |
                                static_cast<std::uint32_t>(static_cast<unsigned char>(codes[i + 1])) << 8 |
                                static_cast<unsigned char>(codes[i + 2]);
    for (int shift = 18; shift >= 0; shift -= 6) out += base64_alphabet[group >> shift & 63];
  }
  const std::size_t left = codes.size() - i;
  if (left == 0) return;
  std::uint32_t group = static_cast<std::uint32_t>(static_cast<unsigned char>(codes[i])) << 16;
  if (left == 2) group |= static_cast<std::uint32_t>(static_cast<unsigned char>(codes[i + 1])) << 8;
  out += base64_alphabet[group >> 18 & 63];
  out += base64_alphabet[group >> 12 & 63];
  out += left == 2 ? base64_alphabet[group >> 6 & 63] : '=';
  out += '=';
}

// How records are stored in hex and base64, by Format.
struct Codec {
  void (*decode)(std::string_view stored, std::string& codes);
  void (*encode)(std::string_view codes, std::string& out);
};

const Codec& codec_of(Format format) {
  static constexpr Codec hex{decode_hex, encode_hex};
  static constexpr Codec base64{decode_base64, encode_base64};
  return format == Format::hex ? hex : base64;
}

// The records of the input, one after another, each of any length; memory
// holds one piece of input and the record being read.
class RecordReader {
 public:
  RecordReader(const std::string& path, char end) : input_(path), end_(end), buffer_(piece) {}

  // The next record, without its ending (and, for lines, without the
  // carriage return of a CRLF ending); false once the input is exhausted.
  bool next(std::string& record) {
    record.clear();
    bool any = false;
    for (;;) {
      if (at_ == filled_) {
        if (ended_) break;
        filled_ = input_.read(buffer_.data(), buffer_.size());
        at_ = 0;
        if (filled_ == 0) {
          ended_ = true;
          break;
        }
      }
      any = true;
      const char* begin = buffer_.data() + at_;
      const auto* found = static_cast<const char*>(std::memchr(begin, end_, filled_ - at_));
      if (found == nullptr) {
        record.append(begin, filled_ - at_);
        at_ = filled_;
        continue;
      }
      record.append(begin, static_cast<std::size_t>(found - begin));
      at_ += static_cast<std::size_t>(found - begin) + 1;
      if (end_ == '\n' && !record.empty() && record.back() == '\r') record.pop_back();
      return true;
    }
    return any;  // a last record without its ending
  }

 private:
  static constexpr std::size_t piece = std::size_t{64} << 10;
  InputFile input_;
  char end_;
  std::vector<char> buffer_;
  std::size_t at_ = 0;
  std::size_t filled_ = 0;
  bool ended_ = false;
};

// The message box of record mode: every box goes on to the command's
// notices. An OK-only box is a notice (FastBlowFish's zero results); any
// other box is the control's answer in place of a result, a refusal, and
// the last one is kept so that it can be named.
class RecordBox final : public platform::MessageBox {
 public:
  explicit RecordBox(NoticeBox& notices) : notices_(notices) {}
  [[nodiscard]] std::size_t refusals() const noexcept { return refusals_; }
  [[nodiscard]] const platform::Message& last() const noexcept { return last_; }

 protected:
  int present(const platform::Message& message) override {
    if (message.style != platform::style_ok_only) {
      ++refusals_;
      last_ = message;
    }
    return notices_.show(message.text, message.style, message.title);
  }

 private:
  NoticeBox& notices_;
  std::size_t refusals_ = 0;
  platform::Message last_;
};

// Where each argument of the operation comes from. The row's published
// parameter names say which text is the password and which the seed.
enum class Source { record, number, password, seed, result };

struct Binding {
  std::array<Source, max_parameters> sources{};
  std::size_t record_at = 0;
  std::optional<std::size_t> result_at;  // an out parameter; none: the call's result
};

std::optional<Binding> bind(const Operation& operation) {
  Binding binding;
  std::size_t records = 0;
  std::size_t i = 0;
  for (const Parameter& parameter : operation.params()) {
    Source source = Source::record;
    if (parameter.file) return std::nullopt;
    if (parameter.type == ValueType::byte && parameter.direction == Direction::in) {
      source = Source::number;
    } else if (parameter.type != ValueType::text) {
      return std::nullopt;
    } else if (parameter.name == "Password") {
      source = Source::password;
    } else if (parameter.name == "SeedPassword") {
      source = Source::seed;
    } else if (parameter.direction == Direction::out) {
      source = Source::result;
      if (!binding.result_at) binding.result_at = i;
    } else if (parameter.direction == Direction::in) {
      binding.record_at = i;
      ++records;
    } else {
      return std::nullopt;
    }
    binding.sources[i++] = source;
  }
  if (records != 1) return std::nullopt;
  if (!binding.result_at && operation.result != ValueType::text && operation.result != ValueType::variant) {
    return std::nullopt;
  }
  return binding;
}

// How long a whole result is, for the operations whose control drops codes
// it cannot represent; none for the others. A shorter result lost codes.
std::optional<std::size_t> whole_size(const Operation& operation, std::size_t record, std::size_t password) {
  if (&operation == &operation_of<&Encryption::EnCipherText>()) return record + password;
  if (&operation == &operation_of<&Encryption::DeCipherText>()) {
    return record >= password ? record - password : 0;
  }
  if (&operation == &operation_of<&Encryption::TextBoxCrypt>() ||
      &operation == &operation_of<&Encryption::TextBoxDeCrypt>()) {
    return record;
  }
  return std::nullopt;
}

std::string describe(const Error& error) {
  std::string message = std::to_string(error.code()) + ": " + std::string(error.description());
  if (!error.detail().empty()) message += " (" + error.detail() + ")";
  return message;
}

// The text of a variant result: Empty is no text.
std::string text_of(Variant&& value) {
  if (auto* text = std::get_if<std::string>(&value)) return std::move(*text);
  return {};
}

}  // namespace

bool takes_records(const Command& command) {
  if (command.record_report) return true;
  return command.operation != nullptr && (command.uses & uses_text_io) && bind(*command.operation).has_value();
}

std::vector<Option> record_options(const Command& command) {
  // A report (identify's) is text of its own: it has no stored form.
  const bool report = static_cast<bool>(command.record_report);
  std::vector<Option> options = {
      {"lines", '\0', "",
       report ? "one record per input line" : "one record per input line; one result line per record"},
      {"null", 'z', "", report ? "records end with NUL" : "records end with NUL, and so do the results"},
      {"in-format", '\0', "FMT", "how records are stored: raw (default), hex or base64"},
  };
  if (!report) options.push_back({"out-format", '\0', "FMT", "how results are stored: raw (default), hex or base64"});
  options.push_back({"keep-going", '\0', "",
                     report ? "report a record that cannot be read and go on to the next"
                            : "a failing record gives an empty result; go on to the next"});
  return options;
}

bool wants_records(const ParsedArgs& args) {
  if (args.has("lines") || args.has("null")) return true;
  for (const char* name : {"in-format", "out-format", "keep-going"}) {
    if (args.has(name)) throw UsageError("--" + std::string(name) + " works on records: give --lines or -z");
  }
  return false;
}

namespace {

// What became of one record: a failing status and why, or exit_ok and the
// result in the loop's `result`.
struct Outcome {
  int status = exit_ok;
  std::string why;
};

using RecordWork = std::function<Outcome(const RecordAt& at, const std::string& record, std::string& result)>;

// Reads every record of the input, decodes it, hands it to `work` and
// writes what comes back in input order. A stored result is encoded by
// --out-format and ended like its record; a report is written as it is.
int each_record(Context& context, bool stored, const RecordWork& work) {
  const ParsedArgs& args = context.args;
  if (args.has("lines") && args.has("null")) throw UsageError("--lines and -z cannot be given together");
  const Format in = parse_format(args, "in-format");
  const Format out = parse_format(args, "out-format");
  const bool by_line = args.has("lines");
  const char end = by_line ? '\n' : '\0';
  const std::string_view unit = by_line ? "line" : "record";
  const bool keep_going = args.has("keep-going");

  RecordReader reader(context.input_path(), end);
  const std::string output_path = args.value("output").value_or("");
  OutputFile output(output_path, args.has("force"));
  std::string stored_record;
  std::string record;
  std::string result;
  std::string written;
  int worst = exit_ok;
  for (std::uint64_t n = 1; reader.next(stored_record); ++n) {
    Outcome outcome;
    result.clear();
    try {
      if (in != Format::raw) {
        codec_of(in).decode(stored_record, record);
      } else if (context.encoding == CodePage::none) {
        record.swap(stored_record);
      } else {
        record = from_utf8(stored_record, context.encoding);
      }
      outcome = work(RecordAt{n, unit}, record, result);
    } catch (const EncodingError& e) {
      outcome = {exit_error, e.what()};
    } catch (const RecordError& e) {
      outcome = {exit_error, e.what()};
    }
    if (outcome.status == exit_ok && stored && out == Format::raw) {
      refuse_raw_to_terminal(result, output_path, args.has("force"), true);
    }
    if (outcome.status == exit_ok) {
      const std::size_t before = written.size();
      if (stored && out != Format::raw) {
        codec_of(out).encode(result, written);
      } else if (!stored || context.encoding == CodePage::none) {
        written += result;
      } else {
        written += to_utf8(result, context.encoding);
      }
      if (stored && out == Format::raw &&
          (std::string_view(written).substr(before).find(end) != std::string_view::npos ||
           (by_line && written.size() > before && written.back() == '\r'))) {
        written.resize(before);
        outcome.status = exit_error;
        outcome.why = by_line
                          ? "the result holds a line break, which a line cannot store; use --out-format hex or base64"
                          : "the result holds a NUL, which a record cannot store; use --out-format hex or base64";
      }
    }
    if (outcome.status != exit_ok) {
      print_error(std::string(unit) + " " + std::to_string(n) + ": " + outcome.why);
      if (!keep_going) {
        // Standard output keeps the results before the failing record; a
        // file named by -o is left as it was.
        if (output_path.empty() || output_path == "-") output.write(written);
        return outcome.status;
      }
      worst = std::max(worst, outcome.status);
    }
    if (stored) written += end;
    if (written.size() >= (std::size_t{64} << 10)) {
      output.write(written);
      written.clear();
    }
  }
  if (!written.empty()) output.write(written);
  output.commit();
  return worst;
}

// Record mode for a command that carries out an operation of the control.
int run_operation_records(Context& context) {
  const ParsedArgs& args = context.args;
  if (args.has("key-number")) throw UsageError("--key-number does not take records; give the password");
  const Operation& operation = *context.command.operation;
  const Binding binding = *bind(operation);
  const bool allow_loss = args.has("allow-loss");

  CodePage page = CodePage::cp1252;
  if (auto name = args.value("codepage")) {
    auto parsed = parse_code_page(*name);
    if (!parsed) throw UsageError("--codepage takes cp1252, latin1 or none, not '" + *name + "'");
    page = *parsed;
  }

  // The same arguments for every record; the record and the results change.
  std::array<Variant, max_parameters> fixed{};
  std::uint8_t number = 0;
  std::string password;
  const platform::WipeOnExit wipe_password(password);
  std::string seed;
  const platform::WipeOnExit wipe_seed(seed);
  const std::span<const Parameter> parameters = operation.params();
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    switch (binding.sources[i]) {
      case Source::number: {
        const auto value = args.value("number");
        if (!value) throw UsageError("--number N is required");
        number = parse_number("number", *value);
        fixed[i] = number;
        break;
      }
      case Source::password:
        password = context.password();
        break;
      case Source::seed:
        seed = context.seed(32767);
        break;
      default:
        break;
    }
  }

  RecordBox box(context.notices);
  platform::Host host(box, page);
  Encryption control(host);
  std::array<Variant, max_parameters> call{};
  const std::span<Variant> call_args = std::span<Variant>(call).first(parameters.size());
  return each_record(context, true, [&](const RecordAt&, const std::string& record, std::string& result) -> Outcome {
    try {
      for (std::size_t i = 0; i < parameters.size(); ++i) {
        switch (binding.sources[i]) {
          case Source::record: call[i] = record; break;
          case Source::number: call[i] = fixed[i]; break;
          case Source::password: call[i] = password; break;
          case Source::seed: call[i] = seed; break;
          case Source::result: call[i] = Empty{}; break;
        }
      }
      const std::size_t refusals = box.refusals();
      Variant returned = operation.invoke(control, call_args);
      result = binding.result_at ? text_of(std::move(call[*binding.result_at])) : text_of(std::move(returned));
      if (box.refusals() != refusals) {
        std::string why = "refused: " + box.last().title + ": " + box.last().text;
        if (context.encoding != CodePage::none) why = to_utf8(why, context.encoding);
        return {exit_refused, std::move(why)};
      }
      if (const auto whole = whole_size(operation, record.size(), password.size());
          whole && result.size() < *whole && !allow_loss) {
        return {exit_loss, "the result would lose " + std::to_string(*whole - result.size()) + " of " +
                               std::to_string(*whole) + " characters; --allow-loss writes the shorter result"};
      }
      return {};
    } catch (const Error& e) {
      return {exit_error, describe(explained({operation, record, number, seed.size()}, e))};
    }
  });
}

}  // namespace

int run_records(Context& context) {
  const Command& command = context.command;
  if (!command.record_report) return run_operation_records(context);
  return each_record(context, false, [&](const RecordAt& at, const std::string& record, std::string& result) {
    result = command.record_report(context, at, record);
    return Outcome{};
  });
}

}  // namespace quillfern::cli
