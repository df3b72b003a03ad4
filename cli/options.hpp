// The command line's option parser: GNU-style long options (--name VALUE,
// --name=VALUE), short options (-o VALUE, -oVALUE), "--" to end options,
// and "-" as an ordinary argument naming standard input or output.
#pragma once

#include <map>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quillfern::cli {

struct Option {
  std::string_view name;         // long name, without the dashes
  char short_name = '\0';        // '\0' when there is none
  std::string_view value_name;   // empty for a flag
  std::string_view help;
  bool repeatable = false;

  [[nodiscard]] bool takes_value() const noexcept { return !value_name.empty(); }
};

// A command line that does not follow the command's options.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ParsedArgs {
 public:
  [[nodiscard]] bool has(std::string_view name) const;
  // The value of an option given once (the last one when repeatable).
  [[nodiscard]] std::optional<std::string> value(std::string_view name) const;
  [[nodiscard]] const std::vector<std::string>& values(std::string_view name) const;
  [[nodiscard]] const std::vector<std::string>& positionals() const noexcept { return positionals_; }

  void add(std::string_view name, std::string value);
  void add_positional(std::string value) { positionals_.push_back(std::move(value)); }

 private:
  std::map<std::string, std::vector<std::string>, std::less<>> options_;
  std::vector<std::string> positionals_;
};

// Parses `args` (the arguments after the command name) against `options`.
// Throws UsageError for an unknown option, a missing or unexpected value,
// or a non-repeatable option given twice.
[[nodiscard]] ParsedArgs parse_options(std::span<const std::string> args,
                                       std::span<const Option> options);

}  // namespace quillfern::cli
