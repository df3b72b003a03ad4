// Late-bound calls into the control, as a dispatch interface serves them:
// find a dispatch id by name, then invoke it with variant arguments passed
// by reference. Arguments come in published order; out and in-out
// parameters are written back only when the call succeeds. Both functions
// find a row of the table of operations and call it; the conversions of the
// arguments (to_text, to_byte, to_bool) are the table's (operation.hpp).
#pragma once

#include <span>
#include <string_view>

#include "quillfern/control/encryption.hpp"
#include "quillfern/control/interface.hpp"
#include "quillfern/core/variant.hpp"

namespace quillfern {

// Invokes the operation `dispid` of the given kind with `args`, and returns
// its result (Empty for operations without one). Throws quillfern::Error:
// 438 for an unknown dispatch id, 450 for a wrong number of arguments, 13
// when an argument cannot be converted to its parameter's type, 6 when a
// number does not fit, and whatever the operation raises. On failure no
// argument is changed.
Variant invoke(Encryption& control, DispId dispid, InvokeKind kind, std::span<Variant> args);

// The same, by published name (case-insensitive). A name of a property
// invokes the read with no arguments and the write with one.
Variant invoke(Encryption& control, std::string_view name, std::span<Variant> args);

}  // namespace quillfern
