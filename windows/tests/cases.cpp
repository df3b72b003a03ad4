#include "windows/tests/cases.hpp"

#include <iomanip>
#include <sstream>
#include <stdexcept>

namespace quillfern::wintest {
namespace {

std::string format_value(const Variant& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return "S:" + to_hex(*text);
  if (const auto* byte = std::get_if<std::uint8_t>(&value)) return "Y:" + std::to_string(*byte);
  if (const auto* boolean = std::get_if<Bool>(&value)) return boolean->value ? "B:1" : "B:0";
  if (std::holds_alternative<Empty>(value)) return "E";
  throw std::runtime_error("case values are texts, bytes, Booleans or empty");
}

Variant parse_value(const std::string& token) {
  if (token == "E") return Empty{};
  if (token.rfind("S:", 0) == 0) return from_hex(token.substr(2));
  if (token.rfind("Y:", 0) == 0) return static_cast<std::uint8_t>(std::stoi(token.substr(2)));
  if (token == "B:1") return Bool{true};
  if (token == "B:0") return Bool{false};
  throw std::runtime_error("bad value " + token);
}

std::string format_file(const FileState& file) {
  return "F:" + to_hex(file.name) + ":" + (file.content ? to_hex(*file.content) : "-");
}

FileState parse_file(const std::string& token) {
  const auto colon = token.find(':', 2);
  if (token.rfind("F:", 0) != 0 || colon == std::string::npos) {
    throw std::runtime_error("bad file " + token);
  }
  FileState file{from_hex(token.substr(2, colon - 2)), std::nullopt};
  const std::string content = token.substr(colon + 1);
  if (content != "-") file.content = from_hex(content);
  return file;
}

std::string_view kind_name(InvokeKind kind) {
  switch (kind) {
    case InvokeKind::property_get: return "get";
    case InvokeKind::property_put: return "put";
    case InvokeKind::method: break;
  }
  return "method";
}

InvokeKind parse_kind(const std::string& token) {
  if (token == "method") return InvokeKind::method;
  if (token == "get") return InvokeKind::property_get;
  if (token == "put") return InvokeKind::property_put;
  throw std::runtime_error("bad kind " + token);
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  if (!text.empty() && text.back() == separator) parts.emplace_back();
  return parts;
}

}  // namespace

const Operation& operation_of(const Case& c) {
  const Operation* named = find_operation(c.name);
  const Operation* row = named == nullptr ? nullptr : find_operation(named->dispid, c.kind);
  if (row == nullptr) throw std::runtime_error("no operation " + c.name + " " + std::string(kind_name(c.kind)));
  return *row;
}

std::string to_hex(const std::string& codes) {
  std::ostringstream hex;
  hex << std::hex << std::uppercase << std::setfill('0');
  for (const char code : codes) hex << std::setw(2) << unsigned{static_cast<unsigned char>(code)};
  return hex.str();
}

std::string from_hex(const std::string& hex) {
  if (hex.size() % 2 != 0) throw std::runtime_error("odd hexadecimal text " + hex);
  std::string codes;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    codes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return codes;
}

std::string format_case(const Case& c) {
  std::string line = c.name + " " + std::string(kind_name(c.kind)) + " " + std::to_string(c.args.size());
  for (const Variant& v : c.args) line += " " + format_value(v);
  line += " " + std::to_string(c.files_before.size());
  for (const FileState& f : c.files_before) line += " " + format_file(f);
  line += c.error == 0 ? " X:0" : " X:" + std::to_string(c.error) + ":" + to_hex(c.description);
  line += " " + format_value(c.result);
  for (const Variant& v : c.after) line += " " + format_value(v);
  line += " " + std::to_string(c.messages.size());
  for (const platform::Message& m : c.messages) {
    line += " M:" + std::to_string(m.style) + ":" + to_hex(m.title) + ":" + to_hex(m.text);
  }
  line += " " + std::to_string(c.files_after.size());
  for (const FileState& f : c.files_after) line += " " + format_file(f);
  return line;
}

Case parse_case(const std::string& line) {
  const std::vector<std::string> t = split(line, ' ');
  std::size_t at = 0;
  auto next = [&]() -> const std::string& {
    if (at >= t.size()) throw std::runtime_error("case line ends early: " + line);
    return t[at++];
  };
  auto count = [&] { return static_cast<std::size_t>(std::stoul(next())); };
  Case c;
  c.name = next();
  c.kind = parse_kind(next());
  const std::size_t argc = count();
  for (std::size_t i = 0; i < argc; ++i) c.args.push_back(parse_value(next()));
  for (std::size_t i = count(); i > 0; --i) c.files_before.push_back(parse_file(next()));
  const std::vector<std::string> error = split(next(), ':');
  if (error.size() < 2 || error[0] != "X") throw std::runtime_error("bad error in " + line);
  c.error = std::stoi(error[1]);
  if (error.size() > 2) c.description = from_hex(error[2]);
  c.result = parse_value(next());
  for (std::size_t i = 0; i < argc; ++i) c.after.push_back(parse_value(next()));
  for (std::size_t i = count(); i > 0; --i) {
    const std::vector<std::string> m = split(next(), ':');
    if (m.size() != 4 || m[0] != "M") throw std::runtime_error("bad message in " + line);
    c.messages.push_back(platform::Message{from_hex(m[3]), std::stoi(m[1]), from_hex(m[2])});
  }
  for (std::size_t i = count(); i > 0; --i) c.files_after.push_back(parse_file(next()));
  if (at != t.size()) throw std::runtime_error("case line too long: " + line);
  return c;
}

}  // namespace quillfern::wintest
