// Known-answer vectors in plain-text files under tests/data, read by one
// generic test (vectors_test.cpp). A file holds sections, each naming the
// operation its cases run through, and cases made of `Key = value` lines
// separated by blank lines. A section named after an operation of the
// table of operations is keyed by that operation's published parameter
// names:
//
//   # where these vectors come from
//   [EncryptPassword]
//   Number = 5
//   DecryptedPassword = "Secret1"    (a quoted text with \xHH escapes, or)
//   DecryptedPassword = 536563726574 (bare hexadecimal codes)
//   OutPut = ...                     (an out parameter after the call)
//   Error = 6                        (instead of the outputs, for a case that must fail)
//
// `Result = ...` is the operation's result (`Result = Empty` for the empty
// variant), `NAME after = ...` an in-out parameter after the call, and for
// a parameter that names a file, `NAME = ...` is the file's content before
// the call and `NAME after = ...` its content after it. Other keys belong
// to the host (CodePage, the generator's State before and End after) or to
// the checks of the operation's family (Zeros, Box, Dropped, ...).
//
// The generic test runs every case of an operation through invoke() and
// through the quillfern tool; a family registers the checks of its plain
// functions for a section with QF_VECTOR_RUNNER. A section with neither an
// operation nor a runner fails the test.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace quillfern::test {

struct VectorCase {
  std::string file;
  int line = 0;
  std::string section;
  std::map<std::string, std::string> values;  // already decoded to codes
  std::map<std::string, std::string> raw;     // as written

  [[nodiscard]] bool has(const std::string& key) const { return values.count(key) != 0; }
  // True for `KEY = Empty`: the empty variant, not a text.
  [[nodiscard]] bool is_empty_variant(const std::string& key) const;
  [[nodiscard]] const std::string& at(const std::string& key) const;
  [[nodiscard]] long number(const std::string& key) const;
};

using VectorRunner = std::function<void(const VectorCase&)>;

// Registers the runner of a section; returns true so it can initialise a
// static.
bool register_vector_runner(const std::string& section, VectorRunner runner);
[[nodiscard]] const VectorRunner* find_vector_runner(const std::string& section);

// Every case of one file.
[[nodiscard]] std::vector<VectorCase> load_vectors(const std::string& path);

// Decodes a value: "quoted text" with \xHH, \n, \t, \\ and \" escapes, or
// bare hexadecimal digits (blanks ignored), or an empty value.
[[nodiscard]] std::string decode_value(const std::string& text);

}  // namespace quillfern::test

#define QF_VECTOR_CONCAT_(a, b) a##b
#define QF_VECTOR_CONCAT(a, b) QF_VECTOR_CONCAT_(a, b)
#define QF_VECTOR_RUNNER(section, ...)                                             \
  static const bool QF_VECTOR_CONCAT(qf_vector_runner_, __LINE__) [[maybe_unused]] = \
      ::quillfern::test::register_vector_runner(section, __VA_ARGS__)
