// The parts of the extension module, defined in their own files.
#pragma once

#include <pybind11/pybind11.h>

namespace quillfern::python {

namespace py = pybind11;

// The text and file operations as module functions (functions.cpp).
void define_functions(py::module_& m);
// The Encryption class and the table of operations (control.cpp).
void define_control(py::module_& m);
// BasicRandom and identify() (generator.cpp).
void define_identify(py::module_& m);

}  // namespace quillfern::python
