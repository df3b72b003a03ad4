#include "vectors.hpp"

#include <cctype>
#include <fstream>
#include <stdexcept>

#include "quillfern/core/ascii.hpp"

namespace quillfern::test {
namespace {

std::map<std::string, VectorRunner>& runners() {
  static std::map<std::string, VectorRunner> table;
  return table;
}

std::string trim(const std::string& s) {
  std::size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  std::size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

}  // namespace

const std::string& VectorCase::at(const std::string& key) const {
  auto it = values.find(key);
  if (it == values.end()) throw std::runtime_error(file + ":" + std::to_string(line) + ": no " + key);
  return it->second;
}

bool VectorCase::is_empty_variant(const std::string& key) const {
  auto it = raw.find(key);
  return it != raw.end() && it->second == "Empty";
}

long VectorCase::number(const std::string& key) const { return std::stol(at(key)); }

bool register_vector_runner(const std::string& section, VectorRunner runner) {
  runners()[section] = std::move(runner);
  return true;
}

const VectorRunner* find_vector_runner(const std::string& section) {
  auto it = runners().find(section);
  return it == runners().end() ? nullptr : &it->second;
}

std::string decode_value(const std::string& text) {
  if (text.empty()) return {};
  if (text.front() == '"') {
    if (text.size() < 2 || text.back() != '"') throw std::runtime_error("unterminated text: " + text);
    std::string out;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
      if (text[i] != '\\') {
        out += text[i];
        continue;
      }
      char e = text.at(++i);
      if (e == 'n') out += '\n';
      else if (e == 't') out += '\t';
      else if (e == 'r') out += '\r';
      else if (e == 'x') {
        int h = ascii::hex_digit_value(text.at(i + 1)), l = ascii::hex_digit_value(text.at(i + 2));
        if (h < 0 || l < 0) throw std::runtime_error("bad escape in " + text);
        out += static_cast<char>(h * 16 + l);
        i += 2;
      } else out += e;
    }
    return out;
  }
  std::string out;
  int high = -1;
  for (char c : text) {
    if (std::isspace(static_cast<unsigned char>(c))) continue;
    int d = ascii::hex_digit_value(c);
    if (d < 0) return text;  // a plain word or number
    if (high < 0) {
      high = d;
    } else {
      out += static_cast<char>(high * 16 + d);
      high = -1;
    }
  }
  if (high >= 0) return text;  // an odd number of digits: a number, not codes
  return out;
}

std::vector<VectorCase> load_vectors(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::vector<VectorCase> cases;
  std::string section;
  VectorCase current;
  auto flush = [&] {
    if (!current.values.empty()) cases.push_back(std::move(current));
    current = VectorCase{};
  };
  std::string raw;
  int line_number = 0;
  while (std::getline(in, raw)) {
    ++line_number;
    std::string line = trim(raw);
    if (line.empty()) {
      flush();
      continue;
    }
    if (line.front() == '#') continue;
    if (line.front() == '[' && line.back() == ']') {
      flush();
      section = line.substr(1, line.size() - 2);
      continue;
    }
    std::size_t eq = line.find('=');
    if (eq == std::string::npos) throw std::runtime_error(path + ":" + std::to_string(line_number) + ": expected Key = value");
    if (current.values.empty()) {
      current.file = path;
      current.line = line_number;
      current.section = section;
    }
    std::string key = trim(line.substr(0, eq));
    std::string value = trim(line.substr(eq + 1));
    // Numbers and words stay as written; texts and hex are decoded.
    current.values[key] = (key == "Error" || key == "Number") ? value : decode_value(value);
    current.raw[key] = value;
  }
  flush();
  return cases;
}

}  // namespace quillfern::test
