// The registration helper of the module functions. A row names a Python
// function, the row of the table of operations it stands for, the names
// of its parameters, its docstring and the C++ callable behind it; the
// parameter types of the callable decide how each Python argument is taken
// (a text as bytes-like or str, a number, a code page, a file name, a
// generator state, the keyword-only allow_loss), and its result type how
// the answer goes back. (The methods of Encryption are written from the
// rows alone, in control.cpp.)
// Every text of one call must be of one kind, and the result has that kind.
// Long texts and all file work run without the GIL.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "texts.hpp"

namespace quillfern::python {

// ---- parameter types beside texts, numbers and code pages -----------------

// `allow_loss=False`, keyword-only: a result that lost codes is returned
// instead of raising DataLoss.
struct AllowLoss {
  bool value = false;
};

// A file name: str, bytes or os.PathLike.
struct FileName {
  std::string value;
};

// `state=None`: the generator state to start from, a new process's by default.
struct GeneratorState {
  std::uint32_t value = files::BasicRandom::start_state;
};

// ---- result types beside texts ---------------------------------------------

// (result, key_text): the text-box ciphers. No text is the control's empty
// variant, which Python sees as None.
struct TextBoxOutcome {
  std::optional<std::string> text;
  std::string key_text;
};

// A text with the positions whose result was code 0 (FastBlowFish).
struct Ciphered {
  std::string text;
  std::vector<std::size_t> zeros;
};

// ---- what a callable raises instead of showing a box or losing codes -----

// The control would refuse through a message box with this text; raised
// in Python as quillfern.Refused.
struct Refusal {
  std::string text;
};

// The result lost codes; raised in Python as quillfern.DataLoss, carrying
// `result`, what allow_loss=True returns.
template <typename R>
struct Loss {
  std::string message;
  std::size_t position = 0;
  R result;
};

// Texts of at least this many codes are worked on without the GIL.
inline constexpr std::size_t unlocked_text_size = 64 * 1024;

// The Python classes of the package (quillfern._types) the binding makes
// instances of. Loaded once when the module is imported.
struct PythonTypes {
  py::handle error_factory;  // _types._error(number, description, detail)
  py::handle refused;
  py::handle data_loss;
  py::handle ciphered_bytes;
  py::handle ciphered_str;
  py::handle message;
  py::handle reading;
};
[[nodiscard]] const PythonTypes& python_types();
void load_python_types();

// What one call gathered from its arguments.
struct Call {
  explicit Call(Encoding text_encoding) noexcept : encoding(text_encoding) {}

  Encoding encoding;
  std::optional<TextKind> kind;     // of its texts, set by the first one
  const char* kind_from = nullptr;  // the parameter that set it
  std::size_t text_size = 0;        // of all its texts
  bool file_work = false;

  [[nodiscard]] TextKind result_kind() const noexcept { return kind.value_or(TextKind::bytes); }
  void take_kind(TextKind seen, const char* name);
};

// ---- how each C++ parameter type is taken from its Python argument ---------

template <typename T>
struct Argument;

template <>
struct Argument<std::string_view> {
  using python_type = py::handle;
  static constexpr const char* default_value = nullptr;
  static constexpr bool keyword_only = false;
  TextArgument text;
  Argument(py::handle object, const char* name, Call& call) : text(take(object, name, call)) {}
  [[nodiscard]] std::string_view get() const noexcept { return text.view(); }
  static TextArgument take(py::handle object, const char* name, Call& call);
};

// A text copied into a std::string, for the control's const std::string&
// parameters; the copy is wiped.
template <>
struct Argument<std::string> : Argument<std::string_view> {
  WipedString copy;
  Argument(py::handle object, const char* name, Call& call)
      : Argument<std::string_view>(object, name, call), copy(std::string(text.view())) {}
  [[nodiscard]] const std::string& get() const noexcept { return copy.value; }
};

// An argument converted from any Python object and kept by value.
template <typename T>
struct ValueArgument {
  using python_type = py::handle;
  static constexpr bool keyword_only = false;
  T value;
  [[nodiscard]] const T& get() const noexcept { return value; }
};

template <>
struct Argument<std::uint8_t> : ValueArgument<std::uint8_t> {
  static constexpr const char* default_value = nullptr;
  Argument(py::handle object, const char* name, Call&) : ValueArgument{to_number(object, name)} {}
};

template <>
struct Argument<CodePage> : ValueArgument<CodePage> {
  static constexpr const char* default_value = "'cp1252'";
  Argument(py::handle object, const char* name, Call&) : ValueArgument{parse_code_page_argument(object, name)} {}
};

template <>
struct Argument<FileName> : ValueArgument<FileName> {
  static constexpr const char* default_value = nullptr;
  Argument(py::handle object, const char* name, Call& call) : ValueArgument{{to_file_name(object, name)}} {
    call.file_work = true;
  }
};

template <>
struct Argument<GeneratorState> : ValueArgument<GeneratorState> {
  static constexpr const char* default_value = "None";
  Argument(py::handle object, const char* name, Call&) : ValueArgument{{to_generator_state(object, name)}} {}
};

template <>
struct Argument<AllowLoss> {
  using python_type = bool;
  static constexpr const char* default_value = "False";
  static constexpr bool keyword_only = true;
  AllowLoss value;
  Argument(bool allow, const char*, Call&) : value{allow} {}
  [[nodiscard]] AllowLoss get() const noexcept { return value; }
};

template <typename T>
using ArgumentOf = Argument<std::remove_cvref_t<T>>;

// ---- results -----------------------------------------------------------------

py::object to_python_result(std::string& text, const Call& call);
py::object to_python_result(TextBoxOutcome& outcome, const Call& call);
py::object to_python_result(Ciphered& ciphered, const Call& call);
py::object to_python_result(std::uint32_t state, const Call& call);

[[noreturn]] void raise_data_loss(const std::string& message, std::size_t position, py::object result);

// ---- signatures of the callables ------------------------------------------------

template <typename F>
struct Signature : Signature<decltype(&F::operator())> {};
template <typename R, typename... A>
struct Signature<R (*)(A...)> {
  using result = R;
  using arguments = std::tuple<A...>;
};
template <typename R, typename... A>
struct Signature<R (*)(A...) noexcept> : Signature<R (*)(A...)> {};
template <typename C, typename R, typename... A>
struct Signature<R (C::*)(A...) const> : Signature<R (*)(A...)> {};

// The text signature CPython shows in help() and inspect.signature():
// "name(a, b, code_page='cp1252', *, allow_loss=False, encoding='cp1252')".
std::string text_signature(const char* name, bool method, const std::vector<const char*>& names,
                           const std::vector<const char*>& defaults, const std::vector<bool>& keyword_only,
                           bool with_encoding, const char* doc);

// ---- one call -----------------------------------------------------------------

template <typename R, typename... A>
struct Invoker {
  // Takes every argument, runs `target` with the C++ values (without the
  // GIL when the texts are long or files are involved) and converts what
  // it returns.
  template <typename Target, typename... P>
  static py::object run(Call& call, const char* const* names, Target& target, P... python_arguments) {
    return run_indexed(call, names, target, std::index_sequence_for<A...>{}, python_arguments...);
  }

 private:
  template <typename Target, std::size_t... I, typename... P>
  static py::object run_indexed(Call& call, const char* const* names, Target& target, std::index_sequence<I...>,
                                P... python_arguments) {
    // Braced initialisation takes the arguments in order, so the first
    // text decides the kind that the others must have.
    std::tuple<ArgumentOf<A>...> arguments{ArgumentOf<A>(python_arguments, names[I], call)...};
    auto work = [&]() -> R {
      return std::apply([&](ArgumentOf<A>&... argument) -> R { return target(argument.get()...); }, arguments);
    };
    const bool unlocked = call.file_work || call.text_size >= unlocked_text_size;
    if constexpr (std::is_void_v<R>) {
      if (unlocked) {
        py::gil_scoped_release released;
        work();
      } else {
        work();
      }
      return py::none();
    } else {
      try {
        R result = unlocked ? run_released(work) : work();
        return to_python_result(result, call);
      } catch (Loss<R>& loss) {
        raise_data_loss(loss.message, loss.position, to_python_result(loss.result, call));
      }
    }
  }

  template <typename Work>
  static R run_released(Work& work) {
    py::gil_scoped_release released;
    return work();
  }
};

// The signature text and the pybind11 annotations of the parameters A.
template <typename Tuple>
struct Parameters;

template <typename... A>
struct Parameters<std::tuple<A...>> {
  static constexpr std::size_t count = sizeof...(A);

  // Keyword-only parameters (allow_loss) may only come last.
  static constexpr bool keyword_only_last() {
    bool seen = false;
    bool ordered = true;
    ((ordered = ordered && (!seen || ArgumentOf<A>::keyword_only), seen = seen || ArgumentOf<A>::keyword_only),
     ...);
    return ordered;
  }

  static std::string signature(const char* name, bool method, const char* const* names, bool with_encoding,
                               const char* doc) {
    return text_signature(name, method, {names, names + count}, {ArgumentOf<A>::default_value...},
                          {ArgumentOf<A>::keyword_only...}, with_encoding, doc);
  }

  // One annotation per parameter, a kw_only marker before the first
  // keyword-only one, then `extra` (the `encoding` of module functions).
  template <typename... Extra>
  static auto annotations(const char* const* names, Extra... extra) {
    return annotations_indexed(names, std::index_sequence_for<A...>{}, extra...);
  }

 private:
  template <typename T>
  static auto annotation(const char* name) {
    using U = std::remove_cvref_t<T>;
    if constexpr (std::is_same_v<U, CodePage>) {
      return py::arg_v(name, "cp1252", "'cp1252'");
    } else if constexpr (std::is_same_v<U, GeneratorState>) {
      return py::arg_v(name, py::none(), "None");
    } else if constexpr (std::is_same_v<U, AllowLoss>) {
      return py::arg_v(name, false, "False");
    } else {
      return py::arg(name);
    }
  }

  template <std::size_t... I, typename... Extra>
  static auto annotations_indexed(const char* const* names, std::index_sequence<I...>, Extra... extra) {
    constexpr bool keyword_only[] = {ArgumentOf<A>::keyword_only..., false};
    constexpr bool any_keyword_only = (ArgumentOf<A>::keyword_only || ...);
    if constexpr (any_keyword_only || sizeof...(Extra) > 0) {
      // kw_only goes before the first keyword-only parameter, or before
      // the extras when there is none.
      constexpr std::size_t first = [&] {
        std::size_t i = 0;
        while (i < sizeof...(A) && !keyword_only[i]) ++i;
        return i;
      }();
      return std::tuple_cat(positional<first>(names, std::index_sequence<I...>{}), std::make_tuple(py::kw_only()),
                            keyword<first>(names, std::index_sequence<I...>{}), std::make_tuple(extra...));
    } else {
      return std::make_tuple(annotation<A>(names[I])...);
    }
  }

  template <std::size_t First, std::size_t... I>
  static auto positional(const char* const* names, std::index_sequence<I...>) {
    return std::tuple_cat(pick<(I < First), A>(names[I])...);
  }
  template <std::size_t First, std::size_t... I>
  static auto keyword(const char* const* names, std::index_sequence<I...>) {
    return std::tuple_cat(pick<(I >= First), A>(names[I])...);
  }
  template <bool keep, typename T>
  static auto pick(const char* name) {
    if constexpr (keep) {
      return std::make_tuple(annotation<T>(name));
    } else {
      return std::tuple<>{};
    }
  }
};

// ---- registration -------------------------------------------------------------

// ---- the rows of the table of operations behind module functions ---------

// How a parameter of a module function stands for a parameter of its row:
// a text, a number or a file name; `extra` for those the row has not (a
// code page, a generator state, allow_loss).
enum class Stands { text, byte, file, extra };

template <typename T>
constexpr Stands stands_for() {
  using U = std::remove_cvref_t<T>;
  if constexpr (std::is_same_v<U, std::string_view> || std::is_same_v<U, std::string>) {
    return Stands::text;
  } else if constexpr (std::is_same_v<U, std::uint8_t>) {
    return Stands::byte;
  } else if constexpr (std::is_same_v<U, FileName>) {
    return Stands::file;
  } else {
    return Stands::extra;
  }
}

// Checks that the function `name` takes, in order, what `row` reads (its
// in and in-out parameters, of the same kinds), then only extras; throws
// std::logic_error, which fails the import, when it does not. Records the
// function as the row's in the module's `_functions` (published name ->
// function name).
void check_against_row(py::module_& module, const char* name, const Operation& row,
                       const std::vector<Stands>& parameters);

// A module function `name(params..., *, encoding='cp1252')` running
// `function` (without `encoding` when it takes no text). `names` has one
// entry per parameter of `function`; `row`, when the function is an
// operation of the table, is its row.
template <typename F, std::size_t N>
void def_function(py::module_& module, const Operation* row, const char* name, const char* const (&names)[N],
                  const char* doc, F function) {
  using Arguments = typename Signature<F>::arguments;
  using P = Parameters<Arguments>;
  static_assert(N == P::count, "one name per parameter");
  static_assert(P::keyword_only_last());
  if (row != nullptr) {
    [&]<typename... A>(std::tuple<A...>*) {
      check_against_row(module, name, *row, {stands_for<A>()...});
    }(static_cast<Arguments*>(nullptr));
  }
  std::array<const char*, N> kept;
  std::copy(std::begin(names), std::end(names), kept.begin());
  const auto define = [&](auto entry, bool with_encoding, auto... extra) {
    const std::string doc_text = P::signature(name, false, names, with_encoding, doc);
    std::apply([&](auto... annotation) { module.def(name, entry, annotation..., doc_text.c_str()); },
               P::annotations(names, extra...));
  };
  [&]<typename... A>(std::tuple<A...>*) {
    using R = typename Signature<F>::result;
    if constexpr ((std::is_same_v<std::remove_cvref_t<A>, std::string_view> || ...)) {
      define(
          [function, kept](typename ArgumentOf<A>::python_type... arguments, py::handle encoding) {
            Call call(Encoding::parse(encoding));
            F target = function;
            return Invoker<R, A...>::run(call, kept.data(), target, arguments...);
          },
          true, py::arg_v("encoding", "cp1252", "'cp1252'"));
    } else {
      define(
          [function, kept](typename ArgumentOf<A>::python_type... arguments) {
            Call call(Encoding{});
            F target = function;
            return Invoker<R, A...>::run(call, kept.data(), target, arguments...);
          },
          false);
    }
  }(static_cast<Arguments*>(nullptr));
}

}  // namespace quillfern::python
