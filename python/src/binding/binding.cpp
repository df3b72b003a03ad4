#include "binding.hpp"

namespace quillfern::python {
namespace {

PythonTypes loaded_types;

// A new reference kept for the life of the process: the classes outlive
// every call, and dropping them at exit would run after the interpreter.
py::handle keep(const py::module_& module, const char* name) { return py::object(module.attr(name)).release(); }

}  // namespace

const PythonTypes& python_types() { return loaded_types; }

void load_python_types() {
  const py::module_ types = py::module_::import("quillfern._types");
  loaded_types = PythonTypes{keep(types, "_error"),         keep(types, "Refused"),
                             keep(types, "DataLoss"),       keep(types, "Ciphered"),
                             keep(types, "CipheredText"),   keep(types, "Message"),
                             keep(types, "Reading")};
}

void Call::take_kind(TextKind seen, const char* name) {
  if (!kind) {
    kind = seen;
    kind_from = name;
  } else if (*kind != seen) {
    throw py::type_error(std::string(name) + " is " + to_string(seen) + " but " + kind_from + " is " +
                         to_string(*kind) + ": give every text as bytes or every text as str");
  }
}

TextArgument Argument<std::string_view>::take(py::handle object, const char* name, Call& call) {
  call.take_kind(kind_of(object, name), name);
  TextArgument text(object, *call.kind, call.encoding);
  call.text_size += text.view().size();
  return text;
}

py::object to_python_result(std::string& text, const Call& call) {
  py::object result = to_python(text, call.result_kind(), call.encoding);
  wipe(text);
  return result;
}

py::object to_python_result(TextBoxOutcome& outcome, const Call& call) {
  py::object text = outcome.text ? to_python_result(*outcome.text, call) : py::none();
  return py::make_tuple(text, to_python_result(outcome.key_text, call));
}

py::object to_python_result(Ciphered& ciphered, const Call& call) {
  const PythonTypes& types = python_types();
  const py::handle type = call.result_kind() == TextKind::str ? types.ciphered_str : types.ciphered_bytes;
  py::tuple zeros(ciphered.zeros.size());
  for (std::size_t i = 0; i < ciphered.zeros.size(); ++i) zeros[i] = py::int_(ciphered.zeros[i]);
  return type(to_python_result(ciphered.text, call), zeros);
}

py::object to_python_result(std::uint32_t state, const Call&) { return py::int_(state); }

void raise_data_loss(const std::string& message, std::size_t position, py::object result) {
  const py::object error = python_types().data_loss(message, position, result);
  PyErr_SetObject(python_types().data_loss.ptr(), error.ptr());
  throw py::error_already_set();
}

std::string text_signature(const char* name, bool method, const std::vector<const char*>& names,
                           const std::vector<const char*>& defaults, const std::vector<bool>& keyword_only,
                           bool with_encoding, const char* doc) {
  std::string text = std::string(name) + "(";
  std::string separator;
  if (method) {
    text += "self";
    separator = ", ";
  }
  bool marked = false;
  for (std::size_t i = 0; i < names.size(); ++i) {
    text += separator;
    separator = ", ";
    if (keyword_only[i] && !marked) {
      text += "*, ";
      marked = true;
    }
    text += names[i];
    if (defaults[i] != nullptr) text += std::string("=") + defaults[i];
  }
  if (with_encoding) {
    text += separator + (marked ? "" : "*, ") + "encoding='cp1252'";
  }
  return text + ")\n--\n\n" + doc;
}

void check_against_row(py::module_& module, const char* name, const Operation& row,
                       const std::vector<Stands>& parameters) {
  std::vector<Stands> read;
  for (const Parameter& p : row.params()) {
    if (p.direction == Direction::out) continue;
    read.push_back(p.file                            ? Stands::file
                   : p.type == ValueType::byte       ? Stands::byte
                   : p.type == ValueType::text       ? Stands::text
                                                     : Stands::extra);
  }
  std::vector<Stands> taken;
  std::size_t i = 0;
  while (i < parameters.size() && parameters[i] != Stands::extra) taken.push_back(parameters[i++]);
  bool extras_last = true;
  for (; i < parameters.size(); ++i) extras_last = extras_last && parameters[i] == Stands::extra;
  if (taken != read || !extras_last) {
    throw std::logic_error(std::string("quillfern.") + name + " does not take the parameters of " +
                           std::string(row.name) + " in its order");
  }
  if (!py::hasattr(module, "_functions")) module.attr("_functions") = py::dict();
  py::dict functions = module.attr("_functions");
  const py::str key(std::string(row.name));
  if (functions.contains(key)) {
    throw std::logic_error(std::string("two module functions for ") + std::string(row.name));
  }
  functions[key] = py::str(name);
}

}  // namespace quillfern::python
