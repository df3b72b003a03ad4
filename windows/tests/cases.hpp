// The cases that the Windows client replays against quillfern.dll, with
// the answers of the library built for Linux. A Linux program
// (expected_main.cpp) runs every case through the library's dispatcher and
// writes the case file; the client under Wine reads it and checks the DLL
// through the table of operations and through IDispatch.
//
// One case per line, tokens separated by one space:
//
//   NAME KIND ARGC ARG... FILEC FILE... ERROR RESULT AFTER... MSGC MSG... FILEC FILE...
//
// NAME and KIND (`method`, `get` or `put`) name the row of the table of
// operations the case calls, so that every reader calls it the same way
// without a list of operations of its own; ARG and AFTER are the arguments before and after the call; the files are
// those to create before the call and those expected after it. A value is
// `E` (empty), `S:HEX` (a text of codes), `Y:N` (a byte), `B:1`/`B:0`;
// ERROR is `X:0` or `X:N:HEX-DESCRIPTION`; a message is
// `M:STYLE:HEX-TITLE:HEX-TEXT`; a file is `F:HEX-NAME:HEX-CONTENT`, or
// `F:HEX-NAME:-` for a file that must not exist.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "quillfern/control/interface.hpp"
#include "quillfern/platform/message_box.hpp"
#include "quillfern/core/variant.hpp"

namespace quillfern::wintest {

struct FileState {
  std::string name;                    // codes
  std::optional<std::string> content;  // none: the file does not exist
};

struct Case {
  std::string name;
  InvokeKind kind = InvokeKind::method;
  std::vector<Variant> args;
  std::vector<FileState> files_before;
  std::int32_t error = 0;
  std::string description;
  Variant result;
  std::vector<Variant> after;
  std::vector<platform::Message> messages;
  std::vector<FileState> files_after;
};

[[nodiscard]] std::string format_case(const Case& c);
// Throws std::runtime_error naming what is malformed.
[[nodiscard]] Case parse_case(const std::string& line);

// The row of the table of operations a case calls; throws
// std::runtime_error when the table has none.
[[nodiscard]] const Operation& operation_of(const Case& c);

[[nodiscard]] std::string to_hex(const std::string& codes);
[[nodiscard]] std::string from_hex(const std::string& hex);

}  // namespace quillfern::wintest
