// The rnd command: the classic runtime's Rnd and Randomize, driven by a
// little script of calls, so that a port of a program that scrambled its
// data with Rnd can reproduce the numbers exactly.
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "cli/command.hpp"
#include "cli/text_input.hpp"
#include "quillfern/core/basic_random.hpp"
#include "quillfern/core/ascii.hpp"

namespace quillfern::cli {
namespace {

using files::BasicRandom;

// One call of the script.
struct Call {
  enum class Kind {
    rnd,              // Rnd, Rnd(X)
    randomize,        // Randomize X
    randomize_clock,  // Randomize: the timer's single, folded itself
    randomize_timer,  // Randomize Timer: the timer as a double
  };
  Kind kind = Kind::rnd;
  double argument = 1;     // Rnd's argument (1 when none is given)
  std::uint64_t repeat = 1;
  std::string where;       // "line L, column C", for messages
};

// A word of the script with its place.
struct Token {
  std::string text;
  std::size_t line = 1, column = 1;
  [[nodiscard]] std::string where() const {
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
  }
};

bool is_separator(char c) { return c == ';' || c == '\n'; }

// Splits the script into statements of tokens. Blanks separate tokens,
// ';' and line breaks separate statements, '#' comments to the end of the
// line, and '(' and ')' are tokens of their own.
std::vector<std::vector<Token>> tokenize(std::string_view script) {
  std::vector<std::vector<Token>> statements(1);
  std::size_t line = 1, column = 1;
  for (std::size_t i = 0; i < script.size();) {
    const char c = script[i];
    if (c == '#') {
      while (i < script.size() && script[i] != '\n') ++i;
      continue;
    }
    if (is_separator(c)) {
      if (!statements.back().empty()) statements.emplace_back();
      if (c == '\n') {
        ++line;
        column = 1;
      } else {
        ++column;
      }
      ++i;
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
      ++column;
      continue;
    }
    Token token{{}, line, column};
    if (c == '(' || c == ')') {
      token.text = c;
    } else {
      std::size_t end = i;
      while (end < script.size() && std::string_view(" \t\r;\n#()").find(script[end]) == std::string_view::npos) ++end;
      token.text = script.substr(i, end - i);
    }
    i += token.text.size();
    column += token.text.size();
    statements.back().push_back(std::move(token));
  }
  if (statements.back().empty()) statements.pop_back();
  return statements;
}

[[noreturn]] void bad_script(const Token& at, const std::string& message) {
  throw UsageError("script: " + at.where() + ": " + message);
}

// A decimal number: optional sign, digits with an optional point and
// exponent. Infinities and NaN are not numbers here.
std::optional<double> read_number(std::string_view text, bool& out_of_range) {
  out_of_range = false;
  std::string_view digits = text;
  const bool plus = digits.starts_with('+');
  if (plus) digits.remove_prefix(1);
  if (digits.empty() || (plus && digits.front() == '-') ||
      !(ascii::is_digit(digits.front()) || digits.front() == '.' || digits.front() == '-')) {
    return std::nullopt;
  }
  double value = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                         std::chars_format::general);
  if (end != digits.data() + digits.size()) return std::nullopt;
  if (ec == std::errc::result_out_of_range) {
    out_of_range = true;
    return std::nullopt;
  }
  if (ec != std::errc{} || !std::isfinite(value)) return std::nullopt;
  return value;
}

double number_at(const Token& token, std::string_view call) {
  bool out_of_range = false;
  const auto value = read_number(token.text, out_of_range);
  if (out_of_range) bad_script(token, std::string(call) + ": '" + token.text + "' is out of range");
  if (!value) bad_script(token, std::string(call) + ": '" + token.text + "' is not a number");
  return *value;
}

// "xN": the call N times.
std::optional<std::uint64_t> read_repeat(const Token& token) {
  if (token.text.size() < 2 || (token.text[0] != 'x' && token.text[0] != 'X')) return std::nullopt;
  std::uint64_t count = 0;
  const char* first = token.text.data() + 1;
  const char* last = token.text.data() + token.text.size();
  const auto [end, ec] = std::from_chars(first, last, count);
  if (ec == std::errc::result_out_of_range) bad_script(token, "repeat count '" + token.text + "' is too large");
  if (ec != std::errc{} || end != last) return std::nullopt;
  if (count == 0) bad_script(token, "repeat count '" + token.text + "' must be at least 1");
  return count;
}

// The argument of a call, bare or in parentheses; `i` moves past it.
// Returns the token of the argument, or none when the call has none.
const Token* argument_of(const std::vector<Token>& tokens, std::size_t& i) {
  if (i >= tokens.size()) return nullptr;
  if (tokens[i].text != "(") {
    if (read_repeat(tokens[i])) return nullptr;
    return &tokens[i++];
  }
  const Token& open = tokens[i++];
  if (i < tokens.size() && tokens[i].text == ")") {
    ++i;
    return nullptr;
  }
  if (i >= tokens.size()) bad_script(open, "'(' is not closed");
  const Token* argument = &tokens[i++];
  if (i >= tokens.size() || tokens[i].text != ")") bad_script(open, "'(' is not closed");
  ++i;
  return argument;
}

Call parse_call(const std::vector<Token>& tokens) {
  const Token& name = tokens.front();
  Call call;
  call.where = name.where();
  std::size_t i = 1;
  if (ascii::equal_ignoring_case(name.text, "rnd")) {
    call.kind = Call::Kind::rnd;
    if (const Token* argument = argument_of(tokens, i)) {
      const double value = number_at(*argument, "rnd");
      // Rnd takes a single: a number beyond its range would overflow.
      if (std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max())) {
        bad_script(*argument, "rnd: '" + argument->text + "' does not fit in single precision");
      }
      call.argument = value;
    }
    if (i < tokens.size()) {
      if (auto repeat = read_repeat(tokens[i])) {
        call.repeat = *repeat;
        ++i;
      }
    }
  } else if (ascii::equal_ignoring_case(name.text, "randomize")) {
    call.kind = Call::Kind::randomize_clock;
    if (const Token* argument = argument_of(tokens, i)) {
      if (ascii::equal_ignoring_case(argument->text, "timer")) {
        call.kind = Call::Kind::randomize_timer;
      } else {
        call.kind = Call::Kind::randomize;
        call.argument = number_at(*argument, "randomize");
      }
    }
  } else {
    bad_script(name, "unknown call '" + name.text + "' (rnd or randomize)");
  }
  if (i < tokens.size()) bad_script(tokens[i], "unexpected '" + tokens[i].text + "' after " + name.text);
  return call;
}

// What each Rnd prints.
struct Format {
  enum class Kind { single, state, byte, integer } kind = Kind::single;
  std::int64_t limit = 0;  // N of int:N
};

Format parse_format(const Context& context) {
  const auto value = context.args.value("format");
  if (!value || *value == "single") return {};
  if (*value == "state") return {Format::Kind::state};
  if (*value == "byte") return {Format::Kind::byte};
  if (value->starts_with("int:")) {
    std::int64_t limit = 0;
    const char* first = value->data() + 4;
    const char* last = value->data() + value->size();
    const auto [end, ec] = std::from_chars(first, last, limit);
    if (ec == std::errc{} && end == last && limit >= 1 && limit <= std::numeric_limits<std::int32_t>::max()) {
      return {Format::Kind::integer, limit};
    }
  }
  throw UsageError("--format takes state, single, byte or int:N (N from 1 to 2147483647), not '" + *value + "'");
}

std::optional<float> timer_option(const Context& context) {
  const auto value = context.args.value("timer");
  if (!value) return std::nullopt;
  bool out_of_range = false;
  const auto seconds = read_number(*value, out_of_range);
  if (!seconds || *seconds < 0 || *seconds >= 86400) {
    throw UsageError("--timer takes the seconds since midnight, from 0 to below 86400, not '" + *value + "'");
  }
  return static_cast<float>(*seconds);
}

// The shortest decimal text that reads back to the same single.
std::string shortest(float value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string formatted(float value, std::uint32_t state, const Format& format) {
  switch (format.kind) {
    case Format::Kind::single: return shortest(value);
    case Format::Kind::state: return std::to_string(state);
    case Format::Kind::byte: return std::to_string(static_cast<int>(value * 256.0f));
    case Format::Kind::integer: {
      // Int(Rnd * N): an Integer N (up to 32767) gives a Single product,
      // rounded to single precision; a Long N gives a Double product.
      const double product = format.limit <= 32767
                                 ? static_cast<double>(value * static_cast<float>(format.limit))
                                 : static_cast<double>(value) * static_cast<double>(format.limit);
      return std::to_string(static_cast<std::int64_t>(std::floor(product)));
    }
  }
  return {};
}

int rnd_command(Context& context) {
  const Format format = parse_format(context);
  BasicRandom random(generator_state_option(context));
  const std::optional<float> timer = timer_option(context);

  std::string script;
  const auto& words = context.args.positionals();
  if (words.empty()) {
    // A script longer than this is no script of calls anyone typed.
    constexpr std::size_t most = std::size_t{16} << 20;
    script = read_text("", CodePage::none, most + 1);
    if (script.size() > most) throw UsageError("script: longer than 16 MiB");
  } else {
    for (const std::string& word : words) script += (script.empty() ? "" : " ") + word;
  }
  std::vector<Call> calls;
  for (const auto& statement : tokenize(script)) {
    calls.push_back(parse_call(statement));
    const Call& call = calls.back();
    if ((call.kind == Call::Kind::randomize_clock || call.kind == Call::Kind::randomize_timer) && !timer) {
      throw UsageError("script: " + call.where + ": randomize without a number reads the timer: give its value with --timer SECONDS");
    }
  }

  OutputFile out("");
  std::string lines;
  for (const Call& call : calls) {
    switch (call.kind) {
      case Call::Kind::rnd:
        for (std::uint64_t n = 0; n < call.repeat; ++n) {
          const float value = random.rnd(static_cast<float>(call.argument));
          lines += formatted(value, random.state(), format);
          lines += '\n';
          if (lines.size() >= (std::size_t{64} << 10)) {
            out.write(lines);
            lines.clear();
          }
        }
        break;
      case Call::Kind::randomize: random.randomize(call.argument); break;
      case Call::Kind::randomize_clock: random.randomize_timer(*timer); break;
      case Call::Kind::randomize_timer: random.randomize(static_cast<double>(*timer)); break;
    }
  }
  if (context.args.has("print-state")) lines += std::to_string(random.state()) + "\n";
  out.write(lines);
  out.commit();
  return exit_ok;
}

}  // namespace

std::vector<Command> rnd_commands() {
  std::vector<Command> rows;
  rows.push_back(
      {"rnd", nullptr, "[SCRIPT...]",
       "run the classic runtime's Rnd and Randomize, one value per draw",
       "The script is a list of calls separated by ';' or line breaks, from the arguments "
       "(joined by spaces; quote it, or put -- before it, when it holds negative numbers) "
       "or from standard input: 'rnd' draws; 'rnd X' or 'rnd(X)' is Rnd(X), which draws "
       "for X > 0, gives the last value again for X = 0, and for X < 0 sets the state from "
       "the bits of X as a single and draws; 'rnd xN' or 'rnd X xN' repeats the call N "
       "times; 'randomize X' is Randomize X; 'randomize' alone folds the timer's single "
       "and 'randomize timer' the timer as a double, both from --timer. Names are read in "
       "any case, '#' starts a comment. Every run starts at the state of a new process, "
       "0x50000, unless --generator-state says otherwise. The state has 24 bits: a "
       "negative Randomize argument also sets bits above them in the classic runtime, "
       "which no draw ever sees; they are not kept. Every Rnd prints one line: "
       "--format single (the default) the value with the fewest digits that read back to "
       "the same single, state the state after the call, byte floor(value * 256), and "
       "int:N Int(Rnd * N), the product rounded to single precision for N up to 32767 "
       "(an Integer) and taken in double precision above (a Long). A script that does "
       "not parse is a usage error naming its line and column.",
       uses_nothing,
       generator_options(
           {{"format", 'f', "FORMAT", "what each draw prints: single (default), state, byte or int:N"},
            {"timer", '\0', "SECONDS", "the timer's value (seconds since midnight) for randomize without a number"}}),
       rnd_command});
  return rows;
}

}  // namespace quillfern::cli
