// quillfern.Encryption: the control with its published method names. Each
// method returns its outputs instead of writing by-reference parameters,
// and raises Error where the control fails; the keyed text ciphers answer
// exactly as the control does, with its message boxes, which go to a
// callable given at construction or into the `messages` list.
#include <mutex>
#include <string>
#include <variant>
#include <vector>

#include "binding.hpp"
#include "module.hpp"

namespace quillfern::python {
namespace {

// The host's message box: each message goes to the callable as a
// quillfern.Message(text, style, title). What the callable raises is kept
// and raised once the operation is done (the control itself carries on
// past a failing box); after it, the callable is not called again within
// that operation.
class PythonMessageBox final : public platform::MessageBox {
 public:
  PythonMessageBox(py::object callable, Encoding encoding) : callable_(std::move(callable)), encoding_(encoding) {}

  [[nodiscard]] const py::object& callable() const noexcept { return callable_; }
  void clear() noexcept { callable_ = py::object(); }

  // Raises what the callable raised during the operation.
  void finish() {
    if (failure_) {
      py::error_already_set failure = std::move(*failure_);
      failure_.reset();
      throw failure;
    }
  }
  void forget() noexcept { failure_.reset(); }

 protected:
  int present(const platform::Message& message) override {
    const py::gil_scoped_acquire held;
    if (failure_ || !callable_) return platform::answer_ok;
    try {
      callable_(python_types().message(to_python(message.text, TextKind::str, encoding_), message.style,
                                       to_python(message.title, TextKind::str, encoding_)));
    } catch (py::error_already_set& e) {
      failure_ = std::move(e);
    }
    return platform::answer_ok;
  }

 private:
  py::object callable_;
  Encoding encoding_;
  std::optional<py::error_already_set> failure_;
};

class Control {
 public:
  Control(py::object message_box, CodePage page, std::uint32_t state)
      : messages_(py::list()),
        box_(message_box.is_none() ? messages_.attr("append") : std::move(message_box),
             Encoding{page == CodePage::none ? CodePage::latin1 : page}),
        host_(box_, page),
        control_(host_) {
    host_.runtime().random().set_state(state);
  }

  [[nodiscard]] Encryption& control() noexcept { return control_; }
  [[nodiscard]] Encoding encoding() const noexcept {
    return Encoding{host_.code_page() == CodePage::none ? CodePage::latin1 : host_.code_page()};
  }
  [[nodiscard]] CodePage code_page() const noexcept { return host_.code_page(); }
  [[nodiscard]] const py::list& messages() const noexcept { return messages_; }

  void finish_call() { box_.finish(); }

  // Holds the object's lock for one call. Calls on one object take turns
  // (they share its generator and its box); a call that must wait does so
  // without the GIL, so that the holder can still take it for a box. The
  // lock is recursive: a box callable may call the same object again.
  class CallGuard {
   public:
    explicit CallGuard(Control& self) : self_(self), lock_(self.mutex_, std::try_to_lock) {
      if (!lock_.owns_lock()) {
        const py::gil_scoped_release released;
        lock_.lock();
      }
    }
    CallGuard(const CallGuard&) = delete;
    CallGuard& operator=(const CallGuard&) = delete;
    ~CallGuard() { self_.box_.forget(); }

   private:
    Control& self_;
    std::unique_lock<std::recursive_mutex> lock_;
  };

  // For the garbage collector: the callable and the list may refer back
  // to this object.
  int traverse(visitproc visit, void* arg) {
    Py_VISIT(box_.callable().ptr());
    Py_VISIT(messages_.ptr());
    return 0;
  }
  void clear() {
    box_.clear();
    messages_ = py::list();
  }

 private:
  py::list messages_;
  PythonMessageBox box_;
  platform::Host host_;
  Encryption control_;
  std::recursive_mutex mutex_;
};

// ---- the methods, written from the rows of the table of operations --------
//
// A method takes the parameters the operation reads (in and in-out), by
// their published names, positionally or as keywords, and returns what it
// gives: its result, then every parameter it writes (out and in-out), in
// published order; one value alone, several as a tuple. The control's
// empty variant is None. Texts are bytes-like or str, all of one kind, and
// come back in that kind.

// What the docstring of a method says beyond its signature; a row without
// an entry gets a docstring made from its parameters.
struct MethodText {
  std::string_view name;
  const char* text;
};
constexpr MethodText method_texts[] = {
    {"About", "Show the About window. Raises Error 445: this host has no window system."},
    {"EncryptPassword", "The scrambled text (OutPut), as encrypt_password() gives it."},
    {"DecryptPassword", "The restored text (OutPut), as decrypt_password() gives it."},
    {"convert", "The hexadecimal form (OutPut), as the function convert() gives it."},
    {"DeConvert", "The text of a hexadecimal form (OutPut), as deconvert() gives it."},
    {"EasyCryptEnCode", "Every code raised by one (OutPut), as easy_crypt_encode() gives it."},
    {"EasyCryptDeCode", "Every code lowered by one (OutPut), as easy_crypt_decode() gives it."},
    {"EncodeDecodeFile",
     "Encode or decode InputFile into OutputFile, as encode_decode_file() does, drawing from the control's own "
     "generator, which goes on from call to call (and is left as it was when the call fails)."},
    {"PowerEncryption", "The one-way scrambled text, as power_encryption() gives it in the host's code page."},
    {"FastBlowFish",
     "The enciphered or deciphered text (OutPut), as fast_blow_fish() gives it; shows \"ERROR Zero!\" for every "
     "position whose result is code 0."},
    {"SeedEncryption", "The text exclusive-ored with the seed, as seed_encryption() gives it."},
    {"TextBoxCrypt",
     "(result, Password) as text_box_crypt() gives them: result is None for the empty variant, Password the key "
     "number's digits. Dropped codes are lost without a word."},
    {"TextBoxDeCrypt",
     "(result, Password) as text_box_decrypt() gives them; dropped codes are lost without a word."},
    {"DeCipherText",
     "The text of a cipher text. An empty password shows \"Please put in a password\" and gives the empty text; a "
     "cipher text that does not decipher to the password followed by the text shows \"Access Denied\" and comes "
     "back unchanged."},
    {"EnCipherText",
     "The cipher text, as encipher_text() gives it, ending before the first sum above 255. An empty password shows "
     "\"Please put in a password\" and gives the empty text."},
    {"WipeFileClean", "Overwrite and delete the file, as wipe_file_clean() does."},
};

bool read_by_method(const Parameter& p) noexcept { return p.direction != Direction::out; }

// The docstring of a row's method: its text signature, then its text.
std::string method_doc(const Operation& op) {
  std::string text = std::string(op.name) + "(self";
  for (const Parameter& p : op.params()) {
    if (read_by_method(p)) text += ", " + std::string(p.name);
  }
  text += ")\n--\n\n";
  for (const MethodText& known : method_texts) {
    if (known.name == op.name) return text + known.text;
  }
  // A row without its own text: what it takes and gives.
  std::vector<std::string> gives;
  if (op.result != ValueType::none) gives.emplace_back("its result");
  for (const Parameter& p : op.params()) {
    if (p.written()) gives.emplace_back(p.name);
  }
  text += "The control's " + std::string(op.name) + ".";
  if (!gives.empty()) {
    text += " Returns ";
    for (std::size_t i = 0; i < gives.size(); ++i) text += (i == 0 ? "" : i + 1 == gives.size() ? " and " : ", ") + gives[i];
    text += gives.size() > 1 ? ", as a tuple." : ".";
  }
  return text;
}

// The Python arguments of a call by parameter: positional ones first, then
// keywords by published name, as Python itself binds them.
std::vector<py::handle> bind_arguments(const Operation& op, const py::args& args, const py::kwargs& kwargs) {
  std::vector<py::handle> bound(op.parameter_count);
  std::vector<bool> given(op.parameter_count, false);
  std::size_t read = 0;
  std::size_t next = 0;
  for (std::size_t i = 0; i < op.parameter_count; ++i) {
    if (!read_by_method(op.parameters[i])) continue;
    ++read;
    if (next < args.size()) {
      bound[i] = args[next++];
      given[i] = true;
    }
  }
  const std::string called = std::string(op.name) + "()";
  if (args.size() > read) {
    throw py::type_error(called + " takes " + std::to_string(read) + " positional argument" + (read == 1 ? "" : "s") +
                         " but " + std::to_string(args.size()) + " were given");
  }
  for (const auto& [key, value] : kwargs) {
    const std::string name = py::str(key);
    std::size_t i = 0;
    while (i < op.parameter_count && (op.parameters[i].name != name || !read_by_method(op.parameters[i]))) ++i;
    if (i == op.parameter_count) throw py::type_error(called + " got an unexpected keyword argument '" + name + "'");
    if (given[i]) throw py::type_error(called + " got multiple values for argument '" + name + "'");
    bound[i] = value;
    given[i] = true;
  }
  for (std::size_t i = 0; i < op.parameter_count; ++i) {
    if (read_by_method(op.parameters[i]) && !given[i]) {
      throw py::type_error(called + " missing required argument '" + std::string(op.parameters[i].name) + "'");
    }
  }
  return bound;
}

py::object to_python_value(Variant& value, const Call& call) {
  if (std::holds_alternative<Empty>(value)) return py::none();
  if (const auto* b = std::get_if<Bool>(&value)) return py::bool_(b->value);
  return to_python_result(std::get<std::string>(value), call);
}

// One call of a row's method on `self`.
py::object call_row(const Operation& op, Control& self, const py::args& args, const py::kwargs& kwargs) {
  const std::vector<py::handle> bound = bind_arguments(op, args, kwargs);
  Call call(self.encoding());
  WipedVariants values;
  values.values.reserve(op.parameter_count);
  {
    // Every argument is converted before the call: the variants hold
    // copies of the texts, which are wiped when the call is done.
    for (std::size_t i = 0; i < op.parameter_count; ++i) {
      const Parameter& p = op.parameters[i];
      const std::string name(p.name);
      if (p.direction == Direction::out) {
        values.values.emplace_back(Empty{});
      } else if (p.file) {
        values.values.emplace_back(to_file_name(bound[i], name.c_str()));
        call.file_work = true;
      } else if (p.type == ValueType::byte) {
        values.values.emplace_back(to_number(bound[i], name.c_str()));
      } else if (p.type == ValueType::boolean) {
        values.values.emplace_back(Bool{py::cast<bool>(bound[i])});
      } else {
        // The published names are literals, as Call keeps the one that set the kind.
        const TextArgument text = Argument<std::string_view>::take(bound[i], p.name.data(), call);
        values.values.emplace_back(std::string(text.view()));
      }
    }
  }
  Variant result;
  {
    const Control::CallGuard guard(self);
    if (call.file_work || call.text_size >= unlocked_text_size) {
      const py::gil_scoped_release released;
      result = op.invoke(self.control(), values.values);
    } else {
      result = op.invoke(self.control(), values.values);
    }
    self.finish_call();
  }
  std::vector<py::object> outputs;
  if (op.result != ValueType::none) outputs.push_back(to_python_value(result, call));
  for (std::size_t i = 0; i < op.parameter_count; ++i) {
    if (op.parameters[i].written()) outputs.push_back(to_python_value(values.values[i], call));
  }
  if (outputs.empty()) return py::none();
  if (outputs.size() == 1) return outputs.front();
  py::tuple tuple(outputs.size());
  for (std::size_t i = 0; i < outputs.size(); ++i) tuple[i] = outputs[i];
  return tuple;
}

void define_row(py::class_<Control>& cls, const Operation& op) {
  const std::string doc = method_doc(op);
  const std::string name(op.name);
  cls.def(
      name.c_str(),
      [&op](Control& self, const py::args& args, const py::kwargs& kwargs) { return call_row(op, self, args, kwargs); },
      doc.c_str());
}

// The object behind a Python instance, or none while it is not built yet.
Control* control_of(PyObject* self) {
  const py::detail::value_and_holder v_h = reinterpret_cast<py::detail::instance*>(self)->get_value_and_holder();
  return v_h.holder_constructed() ? v_h.value_ptr<Control>() : nullptr;
}

// The slots the garbage collector needs on the class.
void setup_type(PyHeapTypeObject* heap_type) {
  auto* type = &heap_type->ht_type;
  type->tp_flags |= Py_TPFLAGS_HAVE_GC;
  type->tp_traverse = [](PyObject* self, visitproc visit, void* arg) {
    Py_VISIT(Py_TYPE(self));
    Control* control = control_of(self);
    return control != nullptr ? control->traverse(visit, arg) : 0;
  };
  type->tp_clear = [](PyObject* self) {
    if (Control* control = control_of(self)) control->clear();
    return 0;
  };
}

}  // namespace

void define_control(py::module_& m) {
  py::class_<Control> cls(m, "Encryption", py::custom_type_setup(setup_type), R"(The Encryption control, with its published method names.

Methods take the inputs of the control's by-reference parameters in their
published order and return the outputs (TextBoxCrypt and TextBoxDeCrypt
return (result, Password) with Password holding the key number's digits).
They raise Error where the control fails. The keyed text ciphers answer as
the control does: FastBlowFish shows "ERROR Zero!", EnCipherText and
DeCipherText show "Please put in a password" or "Access Denied" (and then
return the empty text or the cipher text unchanged), cut and dropped codes
are lost without a word.

message_box: a callable that receives each message box as a
quillfern.Message(text, style, title); by default they are collected in
the `messages` list. code_page: the host's code page, through which str
texts are converted and PowerEncryption upper-cases ('cp1252', 'latin1' or
'none'). state: the starting state of the control's own random-number
generator (None: a new process's), which EncodeDecodeFile advances from
call to call.)");
  cls.def(py::init([](py::object message_box, py::handle code_page, py::handle state) {
            if (!message_box.is_none() && !PyCallable_Check(message_box.ptr())) {
              throw py::type_error("message_box must be callable or None");
            }
            return std::make_unique<Control>(std::move(message_box), parse_code_page_argument(code_page, "code_page"),
                                             to_generator_state(state, "state"));
          }),
          py::arg("message_box") = py::none(), py::kw_only(), py::arg_v("code_page", "cp1252"),
          py::arg("state") = py::none(),
          "__init__(self, message_box=None, *, code_page='cp1252', state=None)\n--\n\n"
          "A new control, enabled, with its generator at `state`.");

  cls.def_property(
      "Enabled",
      [](Control& self) {
        const Control::CallGuard guard(self);
        return self.control().Enabled();
      },
      [](Control& self, bool value) {
        const Control::CallGuard guard(self);
        self.control().Enabled(value);
      },
      "The control's one property, true for a new control. No method consults it.");
  cls.def_property(
      "generator_state",
      [](Control& self) {
        const Control::CallGuard guard(self);
        return self.control().host().runtime().random().state();
      },
      [](Control& self, py::handle state) {
        const std::uint32_t value = to_generator_state(state, "generator_state");
        const Control::CallGuard guard(self);
        self.control().host().runtime().random().set_state(value);
      },
      "The state of the control's random-number generator (0..0xFFFFFF); None sets a new process's.");
  cls.def_property_readonly(
      "messages", [](const Control& self) { return self.messages(); },
      "The message boxes shown, as Message(text, style, title), when no message_box callable was given.");
  cls.def_property_readonly(
      "code_page", [](const Control& self) { return std::string(to_string(self.code_page())); },
      "The host's code page: 'cp1252', 'latin1' or 'none'.");

  // The table itself, which quillfern.operations shows: one tuple per row,
  // (name, dispid, kind, parameters, result), a parameter being
  // (name, type, direction, file), types and directions as the interface
  // listing names them.
  m.def(
      "_operations",
      [] {
        py::list rows;
        for (const Operation& op : interface_table()) {
          py::list parameters;
          for (const Parameter& p : op.params()) {
            parameters.append(py::make_tuple(std::string(p.name), std::string(to_string(p.type)),
                                             std::string(to_string(p.direction)), p.file));
          }
          const char* kind = op.kind == InvokeKind::method         ? "method"
                             : op.kind == InvokeKind::property_get ? "property_get"
                                                                   : "property_put";
          rows.append(py::make_tuple(std::string(op.name), op.dispid, kind, py::tuple(parameters),
                                     std::string(to_string(op.result))));
        }
        return py::tuple(rows);
      },
      "_operations()\n--\n\nThe rows of the table of operations, as tuples.");

  // Every method of the table of operations, written from its row.
  for (const Operation& op : interface_table()) {
    if (op.kind == InvokeKind::method) define_row(cls, op);
  }
}

}  // namespace quillfern::python
