// Values crossing between Python and the library. The library works on
// character codes 0..255, one per byte. Python hands in a bytes-like object
// (its bytes are the codes, unchanged) or a str (converted through a
// single-byte code page), and gets back the kind it gave. Numbers, code
// page names, file names and generator states are checked here, at the
// boundary, so that bad input is a TypeError or a ValueError and never
// reaches the library.
#pragma once

#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "quillfern/quillfern.hpp"

namespace quillfern::python {

namespace py = pybind11;

enum class TextKind { bytes, str };

// Clears a buffer that held a text, in a way the compiler keeps.
void wipe(std::string& text) noexcept;

// A std::string that is wiped when it goes: our own copies of texts and
// passwords.
struct WipedString {
  std::string value;
  WipedString() = default;
  explicit WipedString(std::string text) noexcept : value(std::move(text)) {}
  WipedString(WipedString&&) noexcept = default;
  WipedString& operator=(WipedString&&) = delete;
  WipedString(const WipedString&) = delete;
  WipedString& operator=(const WipedString&) = delete;
  ~WipedString() { wipe(value); }
};

// The code page through which str texts become codes and codes become str:
// Windows-1252 or Latin-1 (CodePage::none is not a text encoding).
struct Encoding {
  CodePage page = CodePage::cp1252;

  // From the `encoding=` argument: "cp1252", "latin1" or an alias of them.
  // TypeError for a non-str, ValueError for another name.
  static Encoding parse(py::handle name);
  // The name UnicodeEncodeError carries.
  [[nodiscard]] const char* name() const noexcept;
};

// The code page named by a `code_page=` argument: "cp1252", "latin1",
// "none" or an alias. TypeError / ValueError as above.
CodePage parse_code_page_argument(py::handle name, const char* what);

// bytes for a bytes-like object, str for a str; TypeError naming `what`
// for anything else.
TextKind kind_of(py::handle object, const char* what);
[[nodiscard]] const char* to_string(TextKind kind) noexcept;

// One text argument, held for the length of a call: a view of the bytes
// of a bytes-like object (its buffer stays exported, so a bytearray cannot
// be resized under the library), or the codes converted from a str.
class TextArgument {
 public:
  TextArgument(py::handle object, TextKind kind, Encoding encoding);
  TextArgument(TextArgument&& other) noexcept;
  TextArgument& operator=(TextArgument&&) = delete;
  TextArgument(const TextArgument&) = delete;
  TextArgument& operator=(const TextArgument&) = delete;
  ~TextArgument();

  [[nodiscard]] std::string_view view() const noexcept {
    return converted_ ? std::string_view(codes_.value) : borrowed_;
  }

 private:
  Py_buffer buffer_{};
  bool exported_ = false;
  bool converted_ = false;
  std::string_view borrowed_;
  WipedString codes_;
};

// The codes of a str through `encoding`. UnicodeEncodeError naming the
// position of the first character the code page lacks.
std::string encode_str(py::handle text, Encoding encoding);

// Codes as the kind the caller gave: bytes, or str through `encoding`.
py::object to_python(std::string_view codes, TextKind kind, Encoding encoding);

// A `number` argument: an int 0..255. TypeError for a non-integer (a bool
// included), ValueError outside the range.
std::uint8_t to_number(py::handle object, const char* what);

// A file name: a str, bytes or os.PathLike, as the system's bytes.
// TypeError for anything else, ValueError for an embedded null character.
std::string to_file_name(py::handle object, const char* what);

// A generator state: None (the state of a new process) or an int
// 0..0xFFFFFF.
std::uint32_t to_generator_state(py::handle object, const char* what);

}  // namespace quillfern::python
