// quillfern.BasicRandom, the classic runtime's Rnd and Randomize, and
// quillfern.identify, the readings of a stored text. Both are the
// library's own: this file only takes their arguments and hands back
// their answers.
#include <cmath>
#include <limits>

#include "binding.hpp"
#include "module.hpp"

namespace quillfern::python {
namespace {

using files::BasicRandom;

// A number as the single-precision argument the runtime takes: Error 6
// (Overflow) beyond the range of a single, as the runtime raises; a NaN
// stays a NaN.
float to_single(py::handle object, const char* what) {
  if (PyBool_Check(object.ptr()) || !(PyFloat_Check(object.ptr()) || PyIndex_Check(object.ptr()))) {
    throw py::type_error(std::string(what) + " must be a number, not " + Py_TYPE(object.ptr())->tp_name);
  }
  const double value = PyFloat_AsDouble(object.ptr());
  if (value == -1.0 && PyErr_Occurred() != nullptr) throw py::error_already_set();
  if (std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max())) {
    throw Error(ErrorNumber::overflow, std::string(what) + " does not fit in single precision");
  }
  return static_cast<float>(value);
}

double to_double(py::handle object, const char* what) {
  if (PyBool_Check(object.ptr()) || !(PyFloat_Check(object.ptr()) || PyIndex_Check(object.ptr()))) {
    throw py::type_error(std::string(what) + " must be a number, not " + Py_TYPE(object.ptr())->tp_name);
  }
  const double value = PyFloat_AsDouble(object.ptr());
  if (value == -1.0 && PyErr_Occurred() != nullptr) throw py::error_already_set();
  return value;
}

void define_generator(py::module_& m) {
  py::class_<BasicRandom> cls(m, "BasicRandom", R"(The classic BASIC runtime's random-number generator: Rnd and Randomize, exactly.

The state is 24 bits; a new process starts at 0x50000, and so does
BasicRandom() (or BasicRandom(state=None)). Each draw sets
state = (state * 0x43FD43FD + 0xC39EC3) mod 2^24 and gives state / 2^24 as
a single-precision number (returned as the Python float of that single).
EncodeDecodeFile and encode_decode_file draw from this generator.

    >>> r = quillfern.BasicRandom()
    >>> r.rnd(), r.rnd()
    (0.7055475115776062, 0.5334240198135376)
    >>> r.state == 0x888E7A
    True)");
  cls.def(py::init([](py::handle state) { return BasicRandom(to_generator_state(state, "state")); }),
          py::arg("state") = py::none(),
          "__init__(self, state=None)\n--\n\n"
          "A generator at `state` (0..0xFFFFFF); None is a new process's state, 0x50000.");
  cls.def(
      "rnd", [](BasicRandom& self, py::handle x) { return static_cast<double>(self.rnd(to_single(x, "x"))); },
      py::arg("x") = 1.0,
      R"(rnd(self, x=1.0)
--

The runtime's Rnd(x), x taken as a single-precision number. A positive x
(or none, or a NaN) draws the next value; zero gives the last value again
without advancing (the value of the current state, as `last`); a negative
x first sets the state from its own bits, state = (b + (b >> 24)) mod 2^24
with b the 32 bits of the single, and then draws once, so one negative
argument always gives one value. Raises Error 6 (Overflow) for an x beyond
the range of a single.)");
  cls.def_property_readonly(
      "last", [](const BasicRandom& self) { return static_cast<double>(self.last()); },
      "Rnd(0): the value of the current state, state / 2^24, without advancing.");
  cls.def(
      "randomize", [](BasicRandom& self, py::handle x) { self.randomize(to_double(x, "x")); }, py::arg("x"),
      R"(randomize(self, x)
--

The runtime's Randomize x (also Randomize Timer, with the timer's value as
x). With h the upper 32 bits of x as a double, the state becomes
(state AND 0xFF0000FF) OR (((h AND 0xFFFF) XOR (h >> 16)) << 8): the low 8
bits of the state stay. The runtime shifts h as a signed number, so for a
negative x its sign also reaches bits 24 to 31 of its 32-bit state word;
no draw ever sees them, and this generator keeps 24 bits only.)");
  cls.def(
      "randomize_timer", [](BasicRandom& self, py::handle t) { self.randomize_timer(to_single(t, "timer")); },
      py::arg("timer"),
      R"(randomize_timer(self, timer)
--

The runtime's Randomize without an argument, which reads the timer
(seconds since midnight, a single-precision number): the 32 bits of that
single itself, not of a double, are folded into the state as randomize()
folds the upper word of a double. The timer is given, never read from the
clock, so that results are reproducible. (Randomize Timer, the timer as
an argument, is randomize(timer).))");
  cls.def_property(
      "state", [](const BasicRandom& self) { return self.state(); },
      [](BasicRandom& self, py::handle state) { self.set_state(to_generator_state(state, "state")); },
      "The generator's 24-bit state (0..0xFFFFFF); None sets a new process's, 0x50000.");
  cls.def("__repr__", [](const BasicRandom& self) {
    char text[40];
    std::snprintf(text, sizeof text, "BasicRandom(state=0x%06X)", static_cast<unsigned>(self.state()));
    return std::string(text);
  });
}

// ---- identify -----------------------------------------------------------------

py::object identify(py::handle text, std::uint64_t max_key, std::size_t max_password, bool all, std::size_t kept,
                    py::handle encoding) {
  Call call(Encoding::parse(encoding));
  const TextArgument argument = Argument<std::string_view>::take(text, "text", call);
  IdentifyOptions options;
  options.max_key = max_key;
  options.max_password = max_password;
  options.all = all;
  options.kept = kept;
  std::vector<Reading> readings;
  {
    const py::gil_scoped_release released;
    readings = quillfern::identify(argument.view(), options);
  }
  const py::handle make = python_types().reading;
  py::list out;
  for (Reading& r : readings) {
    const bool keyed = r.kind == ReadingKind::password || r.kind == ReadingKind::text_box;
    py::object password = r.kind == ReadingKind::cipher_text ? to_python_result(r.password, call) : py::none();
    out.append(make(std::string(made_by(r.kind)), std::string(restored_by(r.kind)),
                    keyed ? py::object(py::int_(r.key)) : py::object(py::none()), password,
                    to_python_result(r.text, call), r.length, r.bits, r.bits_per_code, r.plausible,
                    call.result_kind() == TextKind::str ? py::object(py::str(call.encoding.name())) : py::object(py::none())));
  }
  return out;
}

}  // namespace

void define_identify(py::module_& m) {
  define_generator(m);
  const IdentifyOptions defaults;
  m.def("identify", &identify, py::arg("text"), py::kw_only(), py::arg("max_key") = defaults.max_key,
        py::arg("max_password") = defaults.max_password, py::arg("all") = false, py::arg("kept") = defaults.kept,
        py::arg_v("encoding", "cp1252", "'cp1252'"),
        (std::string("identify(text, *, max_key=") + std::to_string(defaults.max_key) +
         ", max_password=" + std::to_string(defaults.max_password) + ", all=False, kept=" +
         std::to_string(defaults.kept) + R"(, encoding='cp1252')
--

What is this stored text, and which key made it? The readings of `text`,
best first, as a list of Reading.

Every operation whose output can be undone is tried: the hexadecimal form
of convert (an even number of digits 0-9 and A-F), the password cipher
under every Number that accepts the text (only 0 to 10 accept most texts),
the shift cipher, the text-box cipher under every key number 0 to max_key
(the default covers passwords of up to 255 characters), and the cipher
text that carries its password, for every password length 1 to
max_password. The texts they restore are ranked by how much they read like
English: a small model of English text prices each in bits (Reading.score),
fewer bits first. The ranking is a heuristic. A restored text is plausible
when it is not empty, all its codes are text codes (printable ASCII, tab,
line feed, carriage return, or a letter of Windows-1252), letters and
digits make at least half of it, and the model needs at most 12 bits per
code (and 12 more for its ends); only plausible readings are returned
unless all=True. Reading.result holds the first `kept` codes of the
restored text, Reading.restore(text) the whole of it, and Reading.command
the call that restores it. The whole search runs without the GIL.)")
            .c_str());
}

}  // namespace quillfern::python
