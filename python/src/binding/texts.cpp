#include "texts.hpp"

#include <array>
#include <cstring>
#include <string.h>  // explicit_bzero
#include <vector>

namespace quillfern::python {
namespace {

// The two directions of one code page for the characters U+0000..U+00FF
// (where str's one-byte storage lives) and for the codes 0..255.
struct CodeTables {
  std::array<std::int16_t, 256> code_of_char{};  // -1: the code page lacks it
  std::array<char16_t, 256> char_of_code{};
  bool identity = true;  // every code is the character of the same value
};

CodeTables make_tables(CodePage page) {
  CodeTables t;
  for (unsigned i = 0; i < 256; ++i) {
    const std::optional<std::uint8_t> code = from_unicode(page, i);
    t.code_of_char[i] = code ? static_cast<std::int16_t>(*code) : std::int16_t{-1};
    t.char_of_code[i] = static_cast<char16_t>(to_unicode(page, static_cast<std::uint8_t>(i)));
    if (t.char_of_code[i] != i || t.code_of_char[i] != static_cast<std::int16_t>(i)) t.identity = false;
  }
  return t;
}

const CodeTables& tables_of(CodePage page) {
  static const CodeTables cp1252 = make_tables(CodePage::cp1252);
  static const CodeTables latin1 = make_tables(CodePage::latin1);
  return page == CodePage::cp1252 ? cp1252 : latin1;
}

[[noreturn]] void raise_unencodable(py::handle text, Py_ssize_t position, Encoding encoding) {
  PyObject* error = PyObject_CallFunction(PyExc_UnicodeEncodeError, "sOnns", encoding.name(), text.ptr(),
                                          position, position + 1, "the code page has no such character");
  if (error != nullptr) {
    PyErr_SetObject(PyExc_UnicodeEncodeError, error);
    Py_DECREF(error);
  }
  throw py::error_already_set();
}

std::string type_name(py::handle object) { return Py_TYPE(object.ptr())->tp_name; }

std::optional<CodePage> code_page_of(py::handle name, const char* what) {
  if (!PyUnicode_Check(name.ptr())) {
    throw py::type_error(std::string(what) + " must be a str, not " + type_name(name));
  }
  Py_ssize_t size = 0;
  const char* text = PyUnicode_AsUTF8AndSize(name.ptr(), &size);
  if (text == nullptr) throw py::error_already_set();
  return parse_code_page(std::string_view(text, static_cast<std::size_t>(size)));
}

// An int (or an object with __index__, but not a bool) from 0 to `high`.
long to_integer(py::handle object, const char* what, long high, const char* range) {
  PyObject* o = object.ptr();
  if (PyBool_Check(o) || !PyIndex_Check(o)) {
    throw py::type_error(std::string(what) + " must be an int, not " + type_name(object));
  }
  const auto index = py::reinterpret_steal<py::object>(PyNumber_Index(o));
  if (!index) throw py::error_already_set();
  int overflow = 0;
  const long value = PyLong_AsLongAndOverflow(index.ptr(), &overflow);
  if (value == -1 && PyErr_Occurred() != nullptr) throw py::error_already_set();
  if (overflow != 0 || value < 0 || value > high) {
    throw py::value_error(std::string(what) + " must be " + range + ", not " + py::repr(index).cast<std::string>());
  }
  return value;
}

}  // namespace

void wipe(std::string& text) noexcept {
  if (!text.empty()) explicit_bzero(text.data(), text.size());
}

Encoding Encoding::parse(py::handle name) {
  const std::optional<CodePage> page = code_page_of(name, "encoding");
  if (!page || *page == CodePage::none) {
    throw py::value_error("encoding must be 'cp1252' or 'latin1', not " + py::repr(name).cast<std::string>());
  }
  return Encoding{*page};
}

const char* Encoding::name() const noexcept { return page == CodePage::cp1252 ? "cp1252" : "latin-1"; }

CodePage parse_code_page_argument(py::handle name, const char* what) {
  const std::optional<CodePage> page = code_page_of(name, what);
  if (!page) {
    throw py::value_error(std::string(what) + " must be 'cp1252', 'latin1' or 'none', not " +
                          py::repr(name).cast<std::string>());
  }
  return *page;
}

TextKind kind_of(py::handle object, const char* what) {
  PyObject* o = object.ptr();
  if (PyBytes_Check(o) || PyObject_CheckBuffer(o)) return TextKind::bytes;
  if (PyUnicode_Check(o)) return TextKind::str;
  throw py::type_error(std::string(what) + " must be bytes-like or str, not " + type_name(object));
}

const char* to_string(TextKind kind) noexcept { return kind == TextKind::str ? "str" : "bytes"; }

TextArgument::TextArgument(py::handle object, TextKind kind, Encoding encoding) {
  PyObject* o = object.ptr();
  if (kind == TextKind::str) {
    codes_.value = encode_str(object, encoding);
    converted_ = true;
  } else if (PyBytes_Check(o)) {
    borrowed_ = std::string_view(PyBytes_AS_STRING(o), static_cast<std::size_t>(PyBytes_GET_SIZE(o)));
  } else {
    if (PyObject_GetBuffer(o, &buffer_, PyBUF_SIMPLE) != 0) throw py::error_already_set();
    exported_ = true;
    borrowed_ = std::string_view(static_cast<const char*>(buffer_.buf), static_cast<std::size_t>(buffer_.len));
  }
}

TextArgument::TextArgument(TextArgument&& other) noexcept
    : buffer_(other.buffer_),
      exported_(other.exported_),
      converted_(other.converted_),
      borrowed_(other.borrowed_),
      codes_(std::move(other.codes_)) {
  other.exported_ = false;
}

TextArgument::~TextArgument() {
  if (exported_) PyBuffer_Release(&buffer_);
}

std::string encode_str(py::handle text, Encoding encoding) {
  PyObject* s = text.ptr();
  if (PyUnicode_READY(s) != 0) throw py::error_already_set();
  const Py_ssize_t length = PyUnicode_GET_LENGTH(s);
  std::string codes(static_cast<std::size_t>(length), '\0');
  if (PyUnicode_IS_ASCII(s)) {
    std::memcpy(codes.data(), PyUnicode_DATA(s), codes.size());
    return codes;
  }
  const CodeTables& tables = tables_of(encoding.page);
  const int kind = PyUnicode_KIND(s);
  const void* data = PyUnicode_DATA(s);
  if (kind == PyUnicode_1BYTE_KIND && tables.identity) {
    std::memcpy(codes.data(), data, codes.size());
    return codes;
  }
  for (Py_ssize_t i = 0; i < length; ++i) {
    const Py_UCS4 ch = PyUnicode_READ(kind, data, i);
    std::int16_t code = -1;
    if (ch < 256) {
      code = tables.code_of_char[ch];
    } else if (const std::optional<std::uint8_t> high = from_unicode(encoding.page, ch)) {
      code = *high;
    }
    if (code < 0) {
      wipe(codes);
      raise_unencodable(text, i, encoding);
    }
    codes[static_cast<std::size_t>(i)] = static_cast<char>(code);
  }
  return codes;
}

py::object to_python(std::string_view codes, TextKind kind, Encoding encoding) {
  const auto size = static_cast<Py_ssize_t>(codes.size());
  PyObject* result = nullptr;
  if (kind == TextKind::bytes) {
    result = PyBytes_FromStringAndSize(codes.data(), size);
  } else {
    const CodeTables& tables = tables_of(encoding.page);
    bool direct = tables.identity;
    if (!direct) {
      direct = true;
      for (char c : codes) {
        const auto code = static_cast<unsigned char>(c);
        if (tables.char_of_code[code] != code) {
          direct = false;
          break;
        }
      }
    }
    if (direct) {
      result = PyUnicode_DecodeLatin1(codes.data(), size, nullptr);
    } else {
      std::vector<Py_UCS2> characters(codes.size());
      for (std::size_t i = 0; i < codes.size(); ++i) {
        characters[i] = tables.char_of_code[static_cast<unsigned char>(codes[i])];
      }
      result = PyUnicode_FromKindAndData(PyUnicode_2BYTE_KIND, characters.data(), size);
    }
  }
  if (result == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(result);
}

std::uint8_t to_number(py::handle object, const char* what) {
  return static_cast<std::uint8_t>(to_integer(object, what, 255, "0..255"));
}

std::string to_file_name(py::handle object, const char* what) {
  py::object path = py::reinterpret_steal<py::object>(PyOS_FSPath(object.ptr()));
  if (!path) {
    PyErr_Clear();
    throw py::type_error(std::string(what) + " must be str, bytes or os.PathLike, not " + type_name(object));
  }
  if (PyUnicode_Check(path.ptr())) {
    path = py::reinterpret_steal<py::object>(PyUnicode_EncodeFSDefault(path.ptr()));
    if (!path) throw py::error_already_set();
  }
  std::string name(PyBytes_AS_STRING(path.ptr()), static_cast<std::size_t>(PyBytes_GET_SIZE(path.ptr())));
  if (name.find('\0') != std::string::npos) {
    throw py::value_error(std::string(what) + ": embedded null character in the file name");
  }
  return name;
}

std::uint32_t to_generator_state(py::handle object, const char* what) {
  if (object.is_none()) return files::BasicRandom::start_state;
  return static_cast<std::uint32_t>(
      to_integer(object, what, static_cast<long>(files::BasicRandom::state_mask), "0..0xFFFFFF"));
}

}  // namespace quillfern::python
