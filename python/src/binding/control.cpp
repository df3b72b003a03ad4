// quillfern.Encryption: the control with its published method names. Each
// method returns its outputs instead of writing by-reference parameters,
// and raises Error where the control fails; the keyed text ciphers answer
// exactly as the control does, with its message boxes, which go to a
// callable given at construction or into the `messages` list.
#include <mutex>

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

template <typename F>
std::string output_of(F operation) {
  std::string out;
  operation(out);
  return out;
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

  using Text = const std::string&;
  def_method<Control>(cls, "About", "Show the About window. Raises Error 445: this host has no window system.",
                      [](Encryption& c) { c.About(); });
  def_method<Control>(cls, "EncryptPassword", {"Number", "DecryptedPassword"},
                      "The scrambled text (OutPut), as encrypt_password() gives it.",
                      [](Encryption& c, std::uint8_t Number, Text DecryptedPassword) {
                        return output_of([&](std::string& out) { c.EncryptPassword(Number, DecryptedPassword, out); });
                      });
  def_method<Control>(cls, "DecryptPassword", {"Number", "EncryptedPassword"},
                      "The restored text (OutPut), as decrypt_password() gives it.",
                      [](Encryption& c, std::uint8_t Number, Text EncryptedPassword) {
                        return output_of([&](std::string& out) { c.DecryptPassword(Number, EncryptedPassword, out); });
                      });
  def_method<Control>(cls, "convert", {"InPutString"}, "The hexadecimal form (OutPut), as the function convert() gives it.",
                      [](Encryption& c, Text InPutString) {
                        return output_of([&](std::string& out) { c.convert(InPutString, out); });
                      });
  def_method<Control>(cls, "DeConvert", {"InPutString"}, "The text of a hexadecimal form (OutPut), as deconvert() gives it.",
                      [](Encryption& c, Text InPutString) {
                        return output_of([&](std::string& out) { c.DeConvert(InPutString, out); });
                      });
  def_method<Control>(cls, "EasyCryptEnCode", {"InPutString"},
                      "Every code raised by one (OutPut), as easy_crypt_encode() gives it.",
                      [](Encryption& c, Text InPutString) {
                        return output_of([&](std::string& out) { c.EasyCryptEnCode(InPutString, out); });
                      });
  def_method<Control>(cls, "EasyCryptDeCode", {"InPutString"},
                      "Every code lowered by one (OutPut), as easy_crypt_decode() gives it.",
                      [](Encryption& c, Text InPutString) {
                        return output_of([&](std::string& out) { c.EasyCryptDeCode(InPutString, out); });
                      });
  def_method<Control>(cls, "EncodeDecodeFile", {"InputFile", "OutputFile", "Password"},
                      "Encode or decode InputFile into OutputFile, as encode_decode_file() does, drawing from "
                      "the control's own generator, which goes on from call to call (and is left as it was "
                      "when the call fails).",
                      [](Encryption& c, const FileName& InputFile, const FileName& OutputFile, Text Password) {
                        c.EncodeDecodeFile(InputFile.value, OutputFile.value, Password);
                      });
  def_method<Control>(cls, "PowerEncryption", {"InPutString"},
                      "The one-way scrambled text, as power_encryption() gives it in the host's code page.",
                      [](Encryption& c, Text InPutString) { return c.PowerEncryption(InPutString); });
  def_method<Control>(cls, "FastBlowFish", {"InPutString", "Password"},
                      "The enciphered or deciphered text (OutPut), as fast_blow_fish() gives it; shows "
                      "\"ERROR Zero!\" for every position whose result is code 0.",
                      [](Encryption& c, Text InPutString, Text Password) {
                        return output_of([&](std::string& out) { c.FastBlowFish(InPutString, out, Password); });
                      });
  def_method<Control>(cls, "SeedEncryption", {"InPutString", "SeedPassword"},
                      "The text exclusive-ored with the seed, as seed_encryption() gives it.",
                      [](Encryption& c, Text InPutString, Text SeedPassword) {
                        return c.SeedEncryption(InPutString, SeedPassword);
                      });
  def_method<Control>(cls, "TextBoxCrypt", {"InPutText", "Password"},
                      "(result, Password) as text_box_crypt() gives them: result is None for the empty "
                      "variant, Password the key number's digits. Dropped codes are lost without a word.",
                      [](Encryption& c, Text InPutText, Text Password) {
                        WipedString password(Password);
                        std::optional<std::string> result = c.TextBoxCrypt(InPutText, password.value);
                        return TextBoxOutcome{std::move(result), password.value};
                      });
  def_method<Control>(cls, "TextBoxDeCrypt", {"InPutText", "Password"},
                      "(result, Password) as text_box_decrypt() gives them; dropped codes are lost without a "
                      "word.",
                      [](Encryption& c, Text InPutText, Text Password) {
                        WipedString password(Password);
                        std::optional<std::string> result = c.TextBoxDeCrypt(InPutText, password.value);
                        return TextBoxOutcome{std::move(result), password.value};
                      });
  def_method<Control>(cls, "DeCipherText", {"CipherString", "Password"},
                      "The text of a cipher text. An empty password shows \"Please put in a password\" and "
                      "gives the empty text; a cipher text that does not decipher to the password followed "
                      "by the text shows \"Access Denied\" and comes back unchanged.",
                      [](Encryption& c, Text CipherString, Text Password) {
                        return c.DeCipherText(CipherString, Password);
                      });
  def_method<Control>(cls, "EnCipherText", {"CipherInString", "Password"},
                      "The cipher text, as encipher_text() gives it, ending before the first sum above 255. "
                      "An empty password shows \"Please put in a password\" and gives the empty text.",
                      [](Encryption& c, Text CipherInString, Text Password) {
                        return c.EnCipherText(CipherInString, Password);
                      });
  def_method<Control>(cls, "WipeFileClean", {"FileName"}, "Overwrite and delete the file, as wipe_file_clean() does.",
                      [](Encryption& c, const FileName& file) { c.WipeFileClean(file.value); });
}

}  // namespace quillfern::python
