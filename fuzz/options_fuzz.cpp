// The command-line option parser: any argument vector either parses or is
// a usage error, and parsing is deterministic. Arguments are split at
// zero bytes; the command is chosen by the first byte.
#include <vector>

#include "cli/command.hpp"
#include "fuzz_support.hpp"

using namespace quillfern;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const auto table = cli::commands();
  const cli::Command& command = table[input.byte() % table.size()];
  std::vector<std::string> args;
  std::string rest = input.rest();
  std::size_t start = 0;
  while (start <= rest.size() && args.size() < 64) {
    std::size_t end = rest.find('\0', start);
    if (end == std::string::npos) end = rest.size();
    args.push_back(rest.substr(start, end - start));
    start = end + 1;
  }
  std::vector<cli::Option> options = command.options;
  options.push_back({"output", 'o', "FILE", ""});
  options.push_back({"allow-loss", '\0', "", ""});
  options.push_back({"help", 'h', "", ""});
  try {
    cli::ParsedArgs first = cli::parse_options(args, options);
    cli::ParsedArgs second = cli::parse_options(args, options);
    QF_FUZZ_CHECK(first.positionals() == second.positionals());
    QF_FUZZ_CHECK(first.positionals().size() <= args.size());
    for (const auto& option : options) QF_FUZZ_CHECK(first.values(option.name) == second.values(option.name));
  } catch (const cli::UsageError& e) {
    QF_FUZZ_CHECK(std::string_view(e.what()).size() > 0);
  }
  return 0;
}
