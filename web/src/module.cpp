// The web page's way into the library, for JavaScript through embind: one
// Encryption control whose operations are called by published name over
// the table of operations, with no code of its own per operation.
//
// Texts cross as Uint8Array, one element per code 0..255 (never as
// JavaScript strings, which would turn codes 128..255 into UTF-8). A text
// that names a file is given as the file's content before the call (or
// null for no file) and comes back as its content after it: the files live
// in the module's memory only, under a folder that each call empties.
// Message boxes are collected during a call and handed back with its
// result, for the page to show before it shows the result.
#include <emscripten/bind.h>
#include <emscripten/val.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "quillfern/control/identify.hpp"
#include "quillfern/control/interface.hpp"
#include "quillfern/core/codepage.hpp"
#include "quillfern/core/error.hpp"
#include "quillfern/version.hpp"

namespace quillfern::web {
namespace {

using emscripten::val;

// The error of an allocation that failed, in the platform's numbering.
constexpr int out_of_memory = 7;

// The folder of the files of one call.
const std::filesystem::path file_folder = "/quillfern-files";

// ---- bytes between JavaScript and the library ------------------------------

// The codes of a Uint8Array (or of any array-like of numbers).
std::string bytes_of(const val& array) {
  const auto size = array["length"].as<std::size_t>();
  std::string bytes(size, '\0');
  if (size != 0) {
    // One copy into the module's memory, made by the array's own set().
    val view(emscripten::typed_memory_view(size, reinterpret_cast<unsigned char*>(bytes.data())));
    view.call<void>("set", array);
  }
  return bytes;
}

// A new Uint8Array holding `bytes`.
val array_of(std::string_view bytes) {
  return val::global("Uint8Array")
      .new_(emscripten::typed_memory_view(bytes.size(), reinterpret_cast<const unsigned char*>(bytes.data())));
}

val error_of(int number, std::string_view description, std::string_view detail) {
  val error = val::object();
  error.set("number", number);
  error.set("description", std::string(description));
  error.set("detail", std::string(detail));
  return error;
}

CodePage code_page_named(const std::string& name) {
  const std::optional<CodePage> page = parse_code_page(name);
  if (!page) throw Error(ErrorNumber::invalid_call, "no code page " + name);
  return *page;
}

std::string_view to_string(InvokeKind kind) noexcept {
  switch (kind) {
    case InvokeKind::method: return "method";
    case InvokeKind::property_get: return "property_get";
    case InvokeKind::property_put: return "property_put";
  }
  return "?";
}

// ---- the files of a call ---------------------------------------------------

void clear_files() {
  std::error_code ignored;
  std::filesystem::remove_all(file_folder, ignored);
}

void write_file(const std::filesystem::path& path, const std::string& content) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw Error(ErrorNumber::path_file_access, path.string());
  const bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
  if (std::fclose(file) != 0 || !written) throw Error(ErrorNumber::device_io, path.string());
}

// The content of a file, or null when there is none.
val read_file(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return val::null();
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) return val::null();
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return val::null();
  std::string content(static_cast<std::size_t>(size), '\0');
  const std::size_t read = std::fread(content.data(), 1, content.size(), file);
  std::fclose(file);
  content.resize(read);
  return array_of(content);
}

// ---- values of the table ---------------------------------------------------

// The variant of a JavaScript argument for a parameter: a Uint8Array is a
// text, a number or a string a number as the host reads it, a Boolean a
// Boolean; null and undefined the empty variant.
Variant variant_of(const val& value) {
  const std::string type = value.typeOf().as<std::string>();
  if (type == "number") return value.as<double>();
  if (type == "boolean") return Bool{value.as<bool>()};
  if (type == "string") return value.as<std::string>();
  if (value.isNull() || value.isUndefined()) return Empty{};
  return bytes_of(value);
}

val value_of(const Variant& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return array_of(*text);
  if (const auto* flag = std::get_if<Bool>(&value)) return val(flag->value);
  if (std::holds_alternative<Empty>(value)) return val::null();
  return std::visit(
      [](const auto& number) -> val {
        using T = std::decay_t<decltype(number)>;
        if constexpr (std::is_arithmetic_v<T>) {
          return val(static_cast<double>(number));
        } else {
          return val::null();
        }
      },
      value);
}

val parameter_of(const Parameter& parameter) {
  val out = val::object();
  out.set("name", std::string(parameter.name));
  out.set("type", std::string(to_string(parameter.type)));
  out.set("direction", std::string(to_string(parameter.direction)));
  out.set("written", parameter.written());
  out.set("file", parameter.file);
  return out;
}

// A box of a call, and how many times the call showed it.
struct HeldMessage {
  platform::Message message;
  std::size_t count = 0;
};

// Keeps the boxes of one call, each distinct box once with its count, in
// the order they first came: FastBlowFish shows "ERROR Zero!" for every
// zero result, thousands of times on a long text, and the page shows a
// box once with its count.
class HeldMessageBox final : public platform::MessageBox {
 public:
  std::vector<HeldMessage> held;

 protected:
  int present(const platform::Message& message) override {
    for (HeldMessage& known : held) {
      if (known.message == message) {
        ++known.count;
        return platform::answer_ok;
      }
    }
    held.push_back({message, 1});
    return platform::answer_ok;
  }
};

}  // namespace

// The table of operations: one object per row, {name, dispid, kind,
// parameters: [{name, type, direction, written, file}], result}, types and
// directions as the interface listing names them.
val operations() {
  val rows = val::array();
  for (const Operation& op : interface_table()) {
    val row = val::object();
    row.set("order", op.order);
    row.set("name", std::string(op.name));
    row.set("dispid", op.dispid);
    row.set("kind", std::string(to_string(op.kind)));
    val parameters = val::array();
    for (const Parameter& p : op.params()) parameters.call<void>("push", parameter_of(p));
    row.set("parameters", parameters);
    row.set("result", std::string(to_string(op.result)));
    rows.call<void>("push", row);
  }
  return rows;
}

class Control {
 public:
  explicit Control(const std::string& code_page) : host_(box_, code_page_named(code_page)), control_(host_) {
    // The module's process starts with a umask of 0777, which would leave
    // every new file unreadable: the usual one, as a shell sets it.
    ::umask(022);
  }

  // Calls the method `name` with one argument per parameter, in published
  // order (the entry of an out parameter is not read). Gives {error,
  // result, outputs, files, messages}: error null or {number,
  // description, detail}; outputs the written parameters by name; files
  // the content after the call of each parameter that names a file (null
  // for none); messages the boxes shown, {text, style, title, count}, each
  // distinct box once with the number of times it was shown. On error
  // neither result nor outputs are given.
  val invoke(const std::string& name, const val& args) {
    val answer = val::object();
    box_.held.clear();
    const Operation* op = find_operation(name);
    if (op == nullptr || op->kind != InvokeKind::method) {
      answer.set("error", error_of(static_cast<int>(ErrorNumber::no_such_member),
                                   describe(ErrorNumber::no_such_member), name));
      return answer;
    }
    WipedVariants values;
    try {
      clear_files();
      std::filesystem::create_directories(file_folder);
      const auto given = args["length"].as<std::size_t>();
      for (std::size_t i = 0; i < given; ++i) {
        const val arg = args[i];
        if (i < op->parameter_count && op->parameters[i].file) {
          const std::filesystem::path path = file_folder / std::string(op->parameters[i].name);
          if (!arg.isNull() && !arg.isUndefined()) write_file(path, bytes_of(arg));
          values.values.emplace_back(path.string());
        } else if (i < op->parameter_count && op->parameters[i].direction == Direction::out) {
          values.values.emplace_back(Empty{});
        } else {
          values.values.push_back(variant_of(arg));
        }
      }
      const Variant result = op->invoke(control_, values.values);
      answer.set("error", val::null());
      answer.set("result", value_of(result));
      val outputs = val::object();
      val files = val::object();
      for (std::size_t i = 0; i < op->parameter_count; ++i) {
        const Parameter& p = op->parameters[i];
        if (p.file) files.set(std::string(p.name), read_file(file_folder / std::string(p.name)));
        if (p.written()) outputs.set(std::string(p.name), value_of(values.values[i]));
      }
      answer.set("outputs", outputs);
      answer.set("files", files);
    } catch (const Error& e) {
      answer.set("error", error_of(e.code(), e.description(), e.detail()));
    } catch (const std::bad_alloc&) {
      answer.set("error", error_of(out_of_memory, "Out of memory", ""));
    }
    clear_files();
    val messages = val::array();
    for (const HeldMessage& held : box_.held) {
      val message = val::object();
      message.set("text", array_of(held.message.text));
      message.set("style", held.message.style);
      message.set("title", array_of(held.message.title));
      message.set("count", static_cast<double>(held.count));
      messages.call<void>("push", message);
    }
    box_.held.clear();
    answer.set("messages", messages);
    return answer;
  }

  // The state of the control's random-number generator, which
  // EncodeDecodeFile advances from call to call (0..0xFFFFFF).
  [[nodiscard]] std::uint32_t generator_state() { return host_.runtime().random().state(); }
  void set_generator_state(std::uint32_t state) { host_.runtime().random().set_state(state); }

  // The host's code page ("cp1252", "latin1" or "none"), through which
  // PowerEncryption upper-cases.
  [[nodiscard]] std::string code_page() const { return std::string(quillfern::to_string(host_.code_page())); }
  void set_code_page(const std::string& name) { host_.set_code_page(code_page_named(name)); }

 private:
  HeldMessageBox box_;
  platform::Host host_;
  Encryption control_;
};

// Every reading of `text`, best first (the plausible ones, or all with
// `all`): {madeBy, restoredBy, key, password, text, length, bits,
// bitsPerCode, plausible}.
val identify_text(const val& text, bool all) {
  IdentifyOptions options;
  options.all = all;
  const std::vector<Reading> readings = identify(bytes_of(text), options);
  val out = val::array();
  for (const Reading& r : readings) {
    val reading = val::object();
    reading.set("madeBy", std::string(made_by(r.kind)));
    reading.set("restoredBy", std::string(restored_by(r.kind)));
    reading.set("key", static_cast<double>(r.key));
    reading.set("password", array_of(r.password));
    reading.set("text", array_of(r.text));
    reading.set("length", static_cast<double>(r.length));
    reading.set("bits", r.bits);
    reading.set("bitsPerCode", r.bits_per_code);
    reading.set("plausible", r.plausible);
    out.call<void>("push", reading);
  }
  return out;
}

// Codes to UTF-8 bytes through a code page, and back: {bytes} or {error,
// offset} (the byte offset in the UTF-8 input of a character the code page
// lacks).
val codes_to_utf8(const val& codes, const std::string& page) {
  return array_of(to_utf8(bytes_of(codes), code_page_named(page)));
}

val utf8_to_codes(const val& utf8, const std::string& page) {
  val out = val::object();
  try {
    out.set("bytes", array_of(from_utf8(bytes_of(utf8), code_page_named(page))));
  } catch (const EncodingError& e) {
    out.set("error", std::string(e.what()));
    out.set("offset", static_cast<double>(e.offset()));
  }
  return out;
}

std::string version() { return version_string; }

EMSCRIPTEN_BINDINGS(quillfern) {
  emscripten::function("operations", &operations);
  emscripten::function("identify", &identify_text);
  emscripten::function("codesToUtf8", &codes_to_utf8);
  emscripten::function("utf8ToCodes", &utf8_to_codes);
  emscripten::function("version", &version);
  emscripten::class_<Control>("Control")
      .constructor<std::string>()
      .function("invoke", &Control::invoke)
      .function("generatorState", &Control::generator_state)
      .function("setGeneratorState", &Control::set_generator_state)
      .function("codePage", &Control::code_page)
      .function("setCodePage", &Control::set_code_page);
}

}  // namespace quillfern::web
