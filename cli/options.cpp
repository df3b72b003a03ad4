#include "cli/options.hpp"

#include <algorithm>

#include "cli/suggest.hpp"

namespace quillfern::cli {

bool ParsedArgs::has(std::string_view name) const { return options_.find(name) != options_.end(); }

std::optional<std::string> ParsedArgs::value(std::string_view name) const {
  auto it = options_.find(name);
  if (it == options_.end() || it->second.empty()) return std::nullopt;
  return it->second.back();
}

const std::vector<std::string>& ParsedArgs::values(std::string_view name) const {
  static const std::vector<std::string> none;
  auto it = options_.find(name);
  return it == options_.end() ? none : it->second;
}

void ParsedArgs::add(std::string_view name, std::string value) {
  auto it = options_.find(name);
  if (it == options_.end()) it = options_.emplace(std::string(name), std::vector<std::string>{}).first;
  it->second.push_back(std::move(value));
}

namespace {

const Option* find_long(std::span<const Option> options, std::string_view name) {
  auto it = std::find_if(options.begin(), options.end(), [&](const Option& s) { return s.name == name; });
  return it == options.end() ? nullptr : &*it;
}

const Option* find_short(std::span<const Option> options, char name) {
  auto it = std::find_if(options.begin(), options.end(),
                         [&](const Option& s) { return s.short_name != '\0' && s.short_name == name; });
  return it == options.end() ? nullptr : &*it;
}

void record(ParsedArgs& parsed, const Option& option, std::string value) {
  if (!option.repeatable && parsed.has(option.name)) {
    throw UsageError("option --" + std::string(option.name) + " given more than once");
  }
  parsed.add(option.name, std::move(value));
}

}  // namespace

ParsedArgs parse_options(std::span<const std::string> args, std::span<const Option> options) {
  ParsedArgs parsed;
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      parsed.add_positional(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    if (arg[1] == '-') {
      std::string_view body = std::string_view(arg).substr(2);
      std::size_t equals = body.find('=');
      std::string_view name = body.substr(0, equals);
      const Option* option = find_long(options, name);
      if (option == nullptr) {
        std::vector<std::string> names;
        for (const Option& known : options) names.emplace_back(known.name);
        const auto guess = nearest(name, names);
        throw UsageError("unknown option --" + std::string(name) +
                         (guess ? "; did you mean '--" + *guess + "'?" : std::string()));
      }
      if (!option->takes_value()) {
        if (equals != std::string_view::npos) {
          throw UsageError("option --" + std::string(name) + " takes no value");
        }
        record(parsed, *option, {});
      } else if (equals != std::string_view::npos) {
        record(parsed, *option, std::string(body.substr(equals + 1)));
      } else {
        if (i + 1 >= args.size()) throw UsageError("option --" + std::string(name) + " needs a value");
        record(parsed, *option, args[++i]);
      }
      continue;
    }
    // One or more short options: -q, -o FILE, -oFILE, -qo FILE.
    for (std::size_t k = 1; k < arg.size(); ++k) {
      const Option* option = find_short(options, arg[k]);
      if (option == nullptr) throw UsageError(std::string("unknown option -") + arg[k]);
      if (!option->takes_value()) {
        record(parsed, *option, {});
        continue;
      }
      if (k + 1 < arg.size()) {
        record(parsed, *option, arg.substr(k + 1));
      } else {
        if (i + 1 >= args.size()) throw UsageError(std::string("option -") + arg[k] + " needs a value");
        record(parsed, *option, args[++i]);
      }
      break;
    }
  }
  return parsed;
}

}  // namespace quillfern::cli
