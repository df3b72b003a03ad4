// The one error type of the library: a platform error number with its
// standard description, as the control reports it to its host.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillfern {

// The platform's error numbers that the library raises.
enum class ErrorNumber : std::int32_t {
  invalid_call = 5,          // Invalid procedure call or argument
  overflow = 6,              // Overflow
  type_mismatch = 13,        // Type mismatch
  bad_file_name = 52,        // Bad file name or number
  file_not_found = 53,       // File not found
  device_io = 57,            // Device I/O error
  disk_full = 61,            // Disk full
  permission_denied = 70,    // Permission denied
  path_file_access = 75,     // Path/File access error
  path_not_found = 76,       // Path not found
  no_such_member = 438,      // Object doesn't support this property or method
  not_supported = 445,       // Object doesn't support this action
  wrong_arguments = 450,     // Wrong number of arguments or invalid property assignment
};

// The platform's standard description of an error number; "Application-defined
// or object-defined error" for numbers the library does not know.
[[nodiscard]] std::string_view describe(ErrorNumber number) noexcept;

// Raised by every operation of the library that fails in the raising style.
// what() is the standard description, or "description: detail" when the
// raiser added a detail (a file name, the operation that is not available).
class Error : public std::runtime_error {
 public:
  explicit Error(ErrorNumber number);
  Error(ErrorNumber number, std::string_view detail);

  [[nodiscard]] ErrorNumber number() const noexcept { return number_; }
  [[nodiscard]] std::int32_t code() const noexcept { return static_cast<std::int32_t>(number_); }
  [[nodiscard]] std::string_view description() const noexcept { return describe(number_); }
  [[nodiscard]] const std::string& detail() const noexcept { return detail_; }

 private:
  ErrorNumber number_;
  std::string detail_;
};

}  // namespace quillfern
