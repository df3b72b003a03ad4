// The input text of a command as codes, read in pieces: raw bytes, or UTF-8
// converted through a code page (--encoding). Reading in pieces keeps the
// memory bounded for commands that stream, and lets the length-limited
// commands stop as soon as the length decides their result.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "cli/io.hpp"
#include "quillfern/core/codepage.hpp"

namespace quillfern::cli {

class TextReader {
 public:
  static constexpr std::size_t no_limit = Utf8Decoder::no_limit;

  // FILE, or standard input for "" and "-"; `encoding` none reads bytes as
  // codes.
  TextReader(const std::string& path, CodePage encoding);

  // Appends up to `most` codes of the text to `codes`, fewer only at its
  // end; returns how many it appended, 0 once the text is exhausted. Throws
  // IoError for a failed read and for text the code page cannot take
  // (naming its byte offset in the input).
  std::size_t read(std::string& codes, std::size_t most);

 private:
  InputFile input_;
  std::optional<Utf8Decoder> decoder_;
  std::string bytes_;        // read from the input, decoded up to `decoded_`
  std::size_t decoded_ = 0;
  bool ended_ = false;
};

// The first `most` codes of the text (all of it when it is shorter).
[[nodiscard]] std::string read_text(const std::string& path, CodePage encoding,
                                    std::size_t most = TextReader::no_limit);

}  // namespace quillfern::cli
