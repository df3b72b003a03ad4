// Where the command line takes passwords and seeds from. A password comes
// from exactly one of --password-file F (its first line, without the line
// ending), --password-fd N (likewise, reading nothing past the line ending),
// --password-env VAR, --password-hex HEX (exact codes), or else from a
// prompt on the terminal with echo off. Seeds come from --seed-file F
// (exact bytes), --seed-hex HEX or --seed-env VAR.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "cli/options.hpp"
#include "quillfern/core/codepage.hpp"

namespace quillfern::cli {

// The longest password the tool takes, in bytes as given (before any
// --encoding conversion): 1 MiB. A longer one is a usage error, found after
// reading one byte past the limit.
inline constexpr std::size_t password_max_bytes = std::size_t{1} << 20;

// The option rows of the two groups, for the command table.
[[nodiscard]] std::vector<Option> password_options();
[[nodiscard]] std::vector<Option> seed_options();

// The codes of the password. Texts from files, descriptors, the
// environment and the prompt are converted from UTF-8 when `encoding` is
// not none; --password-hex gives exact codes. Throws UsageError when no
// source is given and there is no terminal to ask, or when two are given.
// With `confirm` the prompt asks twice and refuses two different answers
// (a password that enciphers is typed blind, and a typo would lock the
// data away).
[[nodiscard]] std::string read_password(const ParsedArgs& args, CodePage encoding, bool confirm = false);

// The first `most` codes of the seed (a seed is never read further than an
// operation can use); --seed-env is converted like a password, a seed file
// is taken byte for byte. Throws UsageError when none is given.
[[nodiscard]] std::string read_seed(const ParsedArgs& args, CodePage encoding,
                                    std::size_t most = static_cast<std::size_t>(-1));

// Exact codes from hexadecimal digits (two per code, blanks allowed between
// pairs). Throws UsageError naming the option on anything else.
[[nodiscard]] std::string parse_hex_option(std::string_view option, std::string_view hex);

}  // namespace quillfern::cli
