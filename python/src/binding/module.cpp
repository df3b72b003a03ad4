// quillfern._quillfern: the compiled half of the quillfern package. The
// exception classes and the result types live in quillfern/_types.py; this
// module raises and makes them.
#include "binding.hpp"
#include "module.hpp"

namespace quillfern::python {
namespace {

void translate_exceptions() {
  py::register_exception_translator([](std::exception_ptr pending) {
    try {
      if (pending) std::rethrow_exception(pending);
    } catch (const Error& e) {
      const py::object error = python_types().error_factory(e.code(), std::string(e.description()), e.detail());
      PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
    } catch (const Refusal& r) {
      const py::object error = python_types().refused(r.text, identity::maker_name);
      PyErr_SetObject(python_types().refused.ptr(), error.ptr());
    }
  });
}

}  // namespace
}  // namespace quillfern::python

PYBIND11_MODULE(_quillfern, m) {
  namespace qp = quillfern::python;
  // Every docstring starts with its own text signature, which help() and
  // inspect.signature() read.
  pybind11::options options;
  options.disable_function_signatures();
  qp::load_python_types();
  qp::translate_exceptions();
  qp::define_functions(m);
  qp::define_control(m);
  qp::define_identify(m);
  m.attr("__version__") = quillfern::version_string;
  m.attr("UNLOCKED_TEXT_SIZE") = qp::unlocked_text_size;
}
