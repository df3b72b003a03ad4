#include "quillfern/core/error.hpp"

namespace quillfern {

std::string_view describe(ErrorNumber number) noexcept {
  switch (number) {
    case ErrorNumber::invalid_call: return "Invalid procedure call or argument";
    case ErrorNumber::overflow: return "Overflow";
    case ErrorNumber::type_mismatch: return "Type mismatch";
    case ErrorNumber::bad_file_name: return "Bad file name or number";
    case ErrorNumber::file_not_found: return "File not found";
    case ErrorNumber::device_io: return "Device I/O error";
    case ErrorNumber::disk_full: return "Disk full";
    case ErrorNumber::permission_denied: return "Permission denied";
    case ErrorNumber::path_file_access: return "Path/File access error";
    case ErrorNumber::path_not_found: return "Path not found";
    case ErrorNumber::no_such_member: return "Object doesn't support this property or method";
    case ErrorNumber::not_supported: return "Object doesn't support this action";
    case ErrorNumber::wrong_arguments:
      return "Wrong number of arguments or invalid property assignment";
  }
  return "Application-defined or object-defined error";
}

namespace {

std::string message(ErrorNumber number, std::string_view detail) {
  std::string text(describe(number));
  if (!detail.empty()) {
    text += ": ";
    text += detail;
  }
  return text;
}

}  // namespace

Error::Error(ErrorNumber number) : Error(number, {}) {}

Error::Error(ErrorNumber number, std::string_view detail)
    : std::runtime_error(message(number, detail)), number_(number), detail_(detail) {}

}  // namespace quillfern
