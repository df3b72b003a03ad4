// Holds quillfern.h to the table of operations: writes the prototype of
// every row as the C interface's naming rules make it, and compares them,
// in order, with the operations the header declares.
// usage: capi_header_check PATH/quillfern.h
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "quillfern/control/interface.hpp"

namespace {

using quillfern::Direction;
using quillfern::InvokeKind;
using quillfern::Operation;
using quillfern::ValueType;

std::string prototype(const Operation& op) {
  std::string name(op.name);
  if (op.kind == InvokeKind::property_get) name = "get_" + name;
  if (op.kind == InvokeKind::property_put) name = "put_" + name;
  std::string line = "QUILLFERN_API int QUILLFERN_CALL quillfern_" + name + "(quillfern_context *context";
  auto written = [&](const std::string& n) {
    line += ", char *" + n + ", size_t " + n + "_capacity, size_t *" + n + "_length";
  };
  for (const quillfern::Parameter& p : op.params()) {
    const std::string n(p.name);
    if (p.direction == Direction::out) {
      written(n);
      continue;
    }
    switch (p.type) {
      case ValueType::byte: line += ", unsigned char " + n; break;
      case ValueType::boolean: line += ", int " + n; break;
      case ValueType::text:
        if (p.file) {
          line += ", const quillfern_path_char *" + n;
        } else {
          line += ", const char *" + n + ", size_t " + n + "_length";
        }
        break;
      default: line += ", ?"; break;
    }
    if (p.direction == Direction::in_out) written(n + "_out");
  }
  if (op.result == ValueType::boolean) line += ", int *Result";
  if (op.result == ValueType::text || op.result == ValueType::variant) written("Result");
  // The one operation that draws from the generator takes its state.
  if (op.name == "EncodeDecodeFile") line += ", uint32_t *state";
  return line + ");";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: capi_header_check quillfern.h\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  std::vector<std::string> declared;
  bool in_operations = false;
  for (std::string line; std::getline(in, line);) {
    if (line.find("---- the operations") != std::string::npos) in_operations = true;
    if (in_operations && line.rfind("QUILLFERN_API ", 0) == 0) declared.push_back(line);
  }
  std::vector<std::string> expected;
  for (const Operation& op : quillfern::interface_table()) expected.push_back(prototype(op));
  int wrong = 0;
  for (std::size_t i = 0; i < std::max(declared.size(), expected.size()); ++i) {
    const std::string have = i < declared.size() ? declared[i] : "(none)";
    const std::string want = i < expected.size() ? expected[i] : "(none)";
    if (have != want) {
      std::cerr << "operation " << i + 1 << ":\n  header: " << have << "\n  table:  " << want << "\n";
      ++wrong;
    }
  }
  std::cout << "capi header: " << expected.size() << " operations of the table, " << declared.size()
            << " declared, " << wrong << " differ\n";
  return wrong == 0 ? 0 : 1;
}
