// Input and output for the commands that stream: codes read in pieces and
// written in pieces, in memory bounded by a constant whatever the size of
// the text. What must be held back (an input whose length the cipher needs
// before its first code, a result whose verdict is known only at its end)
// goes to a spool: memory up to a threshold, then a temporary file that has
// no name (unlinked as soon as it is made), so that no path, not even a
// signal, can leave it behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "cli/io.hpp"
#include "cli/text_input.hpp"
#include "quillfern/core/codepage.hpp"
#include "quillfern/platform/file_system.hpp"

namespace quillfern::cli {

// The size of the pieces the streamed commands read and write.
inline constexpr std::size_t stream_piece = std::size_t{1} << 20;
// How much a spool keeps in memory before it moves to a file.
inline constexpr std::size_t spool_in_memory = std::size_t{8} << 20;

// Bytes held back: written once, then read back once from the start. The
// file is made in $TMPDIR, or /tmp. Failures throw IoError.
class Spool {
 public:
  Spool() = default;
  ~Spool();
  Spool(const Spool&) = delete;
  Spool& operator=(const Spool&) = delete;

  void write(const char* data, std::size_t size);
  [[nodiscard]] std::uint64_t size() const noexcept { return size_; }
  // Reads from the start; fewer than `size` only at the end.
  std::size_t read(char* data, std::size_t size);

 private:
  void move_to_file();

  std::string memory_;
  int fd_ = -1;
  std::string folder_;
  std::uint64_t size_ = 0;
  std::uint64_t read_ = 0;
  bool reading_ = false;
};

// A streamed command's text as codes: FILE or standard input (through
// InputFile, so that a file's failures read as the file operations' do),
// converted from UTF-8 with an encoding. A regular file read as bytes
// tells its length up front; any other input does when `need_length` is
// set, by spooling it first. A regular file that shrinks or grows while it
// is read is an IoError, found at the latest when its last code is read.
class CodeSource {
 public:
  CodeSource(const std::string& path, CodePage encoding, bool need_length);
  ~CodeSource();
  CodeSource(const CodeSource&) = delete;
  CodeSource& operator=(const CodeSource&) = delete;

  [[nodiscard]] std::optional<std::uint64_t> length() const noexcept { return length_; }
  // True when the codes come straight from a regular file, which may still
  // change before its last code is read; false once spooled.
  [[nodiscard]] bool live() const noexcept { return regular_; }
  // Up to `size` codes into `data`; fewer only at the end, 0 after it.
  std::size_t read(char* data, std::size_t size);

 private:
  std::size_t read_regular(char* data, std::size_t size);
  std::size_t read_decoded(char* data, std::size_t size);
  std::size_t read_unspooled(char* data, std::size_t size);

  std::string name_;
  std::optional<InputFile> file_;     // bytes as codes
  bool regular_ = false;              // read up to length_, then checked
  std::optional<TextReader> reader_;  // decoded codes
  std::string decoded_;
  std::size_t decoded_at_ = 0;
  std::optional<Spool> spool_;
  std::optional<std::uint64_t> length_;
  std::uint64_t done_ = 0;
};

// A streamed command's result: -o FILE through platform::ReplacingFile (a
// temporary file beside it, renamed over it by commit()), or standard
// output, converted to UTF-8 with an encoding. With `hold`, nothing
// reaches standard output or a file written in place (a pipe, a device,
// /dev/stdout) before commit(): the result is spooled until then. A sink
// destroyed without commit() leaves no trace: no temporary, no output file.
// The file is opened at the first write or at commit().
class CodeSink {
 public:
  CodeSink(std::string path, bool force, CodePage encoding, bool hold);
  CodeSink(const CodeSink&) = delete;
  CodeSink& operator=(const CodeSink&) = delete;

  void write(const char* codes, std::size_t size);
  void commit();

 private:
  void open();
  void put(const char* data, std::size_t size);
  void deliver(const char* data, std::size_t size);

  std::string path_;
  bool force_;
  CodePage encoding_;
  bool hold_;
  bool opened_ = false;
  std::optional<platform::ReplacingFile> file_;  // none: standard output
  std::optional<Spool> held_;
  std::string converted_;
};

}  // namespace quillfern::cli
