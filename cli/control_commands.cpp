// Commands about the control itself: the interface listing.
#include <cstdio>

#include "cli/command.hpp"
#include "cli/streams.hpp"
#include "quillfern/core/identity.hpp"
#include "quillfern/control/interface.hpp"

namespace quillfern::cli {
namespace {

std::string kind_suffix(InvokeKind kind) {
  switch (kind) {
    case InvokeKind::property_get: return " (read)";
    case InvokeKind::property_put: return " (write)";
    case InvokeKind::method: return "";
  }
  return "";
}

int list_interface(Context&) {
  std::string text = std::string(identity::interface_name) + " " +
                     std::string(identity::interface_guid) + " of " +
                     std::string(identity::library_name) + " " +
                     std::to_string(identity::library_version_major) + "." +
                     std::to_string(identity::library_version_minor) + "\n";
  for (const Operation& op : interface_table()) {
    char head[64];
    std::snprintf(head, sizeof head, "%2d  0x%08x  ", op.order, static_cast<unsigned>(op.dispid));
    text += head;
    text += std::string(op.name) + kind_suffix(op.kind) + "(";
    bool first = true;
    for (const Parameter& p : op.params()) {
      if (!first) text += ", ";
      first = false;
      text += std::string(p.name) + ": " + std::string(to_string(p.type)) + " " +
              std::string(to_string(p.direction));
    }
    text += ")";
    if (op.result != ValueType::none) text += " -> " + std::string(to_string(op.result));
    text += "\n";
  }
  text += "event " + std::string(identity::events_name) + "." +
          std::string(identity::hide_event_name) + " (dispatch id " +
          std::to_string(identity::hide_event_dispid) + ")\n";
  write_output(text);
  return exit_ok;
}

}  // namespace

std::vector<Command> control_commands() {
  std::vector<Command> rows;
  rows.push_back({"interface", nullptr, "", "list the control's operations with their dispatch ids",
                  "", uses_nothing, {}, list_interface});
  return rows;
}

}  // namespace quillfern::cli
