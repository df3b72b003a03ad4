// Record mode: a command that works on one text runs its operation once per
// record of its input (--lines, or -z for NUL-ended records), with the same
// password, seed or key for every record, and writes one result per record
// in input order. Records may be stored raw, in hexadecimal or in base64
// (--in-format, --out-format). It is one mechanism for every command whose
// operation takes one text: the operation's row in the table of operations
// says which parameter takes the record, which the password, the seed or
// the key number, and where the result comes back. A command without an
// operation that takes records (identify) writes a report on each record
// instead (Command::record_report), through the same reading of records.
#pragma once

#include <vector>

#include "cli/command.hpp"

namespace quillfern::cli {

// True when the command's operation can run record by record.
[[nodiscard]] bool takes_records(const Command& command);

// The options of record mode, for the commands that take records.
[[nodiscard]] std::vector<Option> record_options(const Command& command);

// True when the command line asks for record mode (--lines or -z).
[[nodiscard]] bool wants_records(const ParsedArgs& args);

// Runs the command's operation on every record of its input; returns the
// exit status (the worst one met with --keep-going).
[[nodiscard]] int run_records(Context& context);

}  // namespace quillfern::cli
