// Known-answer vectors in plain-text files under tests/data, read by one
// generic test. A file holds sections, each naming the operation its cases
// run through, and cases made of `Key = value` lines separated by blank
// lines:
//
//   # where these vectors come from
//   [EncryptPassword]
//   Number = 5
//   In = "Secret1"        (a quoted text with \xHH escapes, or)
//   In = 536563726574     (bare hexadecimal codes)
//   Out = ...
//   Error = 6             (instead of Out, for a case that must fail)
//
// Each operation registers a runner with QF_VECTOR_RUNNER; a section
// without a runner fails the test.
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

  [[nodiscard]] bool has(const std::string& key) const { return values.count(key) != 0; }
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
