// The type library's source (windows/quillfern.idl) repeats the published
// identity and the table of operations; these tests hold it to
// quillfern/core/identity.hpp and to the table (interface.hpp) on every
// build: every operation in order, with its dispatch id, kind, and its
// parameters' names, passing and types and its result as the table's row
// says, so that the Windows server cannot drift from the library.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "quillfern/core/identity.hpp"
#include "quillfern/control/interface.hpp"

namespace quillfern {
namespace {

std::string idl_text() {
  std::ifstream in(std::string(QUILLFERN_TEST_DATA) + "/../../windows/quillfern.idl");
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string upper(std::string_view text) {
  std::string out(text);
  for (char& ch : out) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return out;
}

// The text of the block that follows `header` up to its closing "};".
std::string block_after(const std::string& idl, const std::string& header) {
  const auto start = idl.find(header);
  if (start == std::string::npos) return {};
  const auto end = idl.find("};", start);
  return idl.substr(start, end - start);
}

// The attribute list just before `header`: "[ ... ]".
std::string attributes_before(const std::string& idl, const std::string& header) {
  const auto at = idl.find(header);
  if (at == std::string::npos) return {};
  const auto open = idl.rfind('[', idl.rfind(']', at));
  return idl.substr(open, at - open);
}

std::string guid_attribute(std::string_view guid) {
  return "uuid(" + upper(guid.substr(1, guid.size() - 2)) + ")";
}

// The text with every run of blanks and line breaks as one space.
std::string squeezed(std::string_view text) {
  std::string out;
  for (char ch : text) {
    const bool blank = std::isspace(static_cast<unsigned char>(ch)) != 0;
    if (blank && (out.empty() || out.back() == ' ')) continue;
    out += blank ? ' ' : ch;
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// The automation type of a value of the table.
std::string automation_type(ValueType type) {
  switch (type) {
    case ValueType::boolean: return "VARIANT_BOOL";
    case ValueType::byte: return "unsigned char";
    case ValueType::text: return "BSTR";
    case ValueType::variant: return "VARIANT";
    case ValueType::none: break;
  }
  return "void";
}

// The parameter list a row of the table declares in the type library: the
// control's parameters all by reference, in and out (its by-reference
// arguments are the host's variables), a property's new value by value, and
// the result as the return slot.
std::string declaration(const Operation& op) {
  std::string text;
  for (const Parameter& p : op.params()) {
    if (!text.empty()) text += ", ";
    text += p.direction == Direction::by_value
                ? "[in] " + automation_type(p.type) + " " + std::string(p.name)
                : "[in, out] " + automation_type(p.type) + "* " + std::string(p.name);
  }
  if (op.result != ValueType::none) {
    if (!text.empty()) text += ", ";
    const std::string name = op.kind == InvokeKind::property_get ? std::string(op.name) : "result";
    text += "[out, retval] " + automation_type(op.result) + "* " + name;
  }
  return text;
}

TEST(TypeLibrarySource, Identity) {
  const std::string idl = idl_text();
  ASSERT_FALSE(idl.empty()) << "windows/quillfern.idl not found";
  const std::string library = attributes_before(idl, "library " + std::string(identity::library_name));
  EXPECT_NE(library.find(guid_attribute(identity::library_guid)), std::string::npos);
  EXPECT_NE(library.find("version(" + std::to_string(identity::library_version_major) + "." +
                         std::to_string(identity::library_version_minor) + ")"),
            std::string::npos);
  EXPECT_NE(library.find("lcid(" + std::to_string(identity::library_locale) + ")"), std::string::npos);
  EXPECT_NE(library.find("helpstring(\"" + std::string(identity::library_help) + "\")"), std::string::npos);

  const std::string control = attributes_before(idl, "coclass " + std::string(identity::class_name));
  EXPECT_NE(control.find(guid_attribute(identity::class_guid)), std::string::npos);
  EXPECT_NE(control.find("control"), std::string::npos);

  const std::string iface = attributes_before(idl, "interface " + std::string(identity::interface_name) + " :");
  EXPECT_NE(iface.find(guid_attribute(identity::interface_guid)), std::string::npos);
  for (const char* flag : {"dual", "hidden", "nonextensible"}) {
    EXPECT_NE(iface.find(flag), std::string::npos) << flag;
  }

  const std::string events = attributes_before(idl, "dispinterface " + std::string(identity::events_name) + " {");
  EXPECT_NE(events.find(guid_attribute(identity::events_guid)), std::string::npos);
  const std::string event_block = block_after(idl, "dispinterface " + std::string(identity::events_name) + " {");
  EXPECT_NE(event_block.find("[id(0x0000000" + std::to_string(identity::hide_event_dispid) +
                             "), helpstring(\"" + std::string(identity::hide_event_help) + "\")]"),
            std::string::npos);
  EXPECT_NE(event_block.find("void " + std::string(identity::hide_event_name) + "();"), std::string::npos);

  const std::string coclass = block_after(idl, "coclass " + std::string(identity::class_name));
  EXPECT_NE(coclass.find("[default] interface " + std::string(identity::interface_name) + ";"),
            std::string::npos);
  EXPECT_NE(coclass.find("[default, source] dispinterface " + std::string(identity::events_name) + ";"),
            std::string::npos);
}

TEST(TypeLibrarySource, OperationsInPublishedOrder) {
  const std::string block = block_after(idl_text(), "interface " + std::string(identity::interface_name) + " :");
  // Every operation: its id attribute, then its name and parameter list.
  struct Declared {
    std::string id, kind, name, params;
  };
  std::vector<Declared> found;
  for (std::size_t at = block.find("[id("); at != std::string::npos; at = block.find("[id(", at + 1)) {
    Declared d;
    const auto id_end = block.find(')', at);
    const auto attributes_end = block.find(']', at);
    const auto name_start = block.find("HRESULT ", attributes_end) + 8;
    const auto params_start = block.find('(', name_start);
    const auto params_end = block.find(')', params_start);
    ASSERT_NE(params_end, std::string::npos);
    d.id = block.substr(at + 4, id_end - at - 4);
    const std::string attributes = block.substr(id_end + 1, attributes_end - id_end - 1);
    if (attributes.find("propget") != std::string::npos) d.kind = "propget";
    if (attributes.find("propput") != std::string::npos) d.kind = "propput";
    d.name = block.substr(name_start, params_start - name_start);
    d.params = block.substr(params_start + 1, params_end - params_start - 1);
    found.push_back(d);
  }
  ASSERT_EQ(found.size(), operation_count);
  for (std::size_t i = 0; i < operation_count; ++i) {
    const Operation& op = operations[i];
    const Declared& d = found[i];
    SCOPED_TRACE(std::string(op.name));
    EXPECT_EQ(d.name, op.name);
    EXPECT_EQ(std::stol(d.id, nullptr, 16), op.dispid);
    EXPECT_EQ(d.kind, op.kind == InvokeKind::property_get   ? "propget"
                    : op.kind == InvokeKind::property_put ? "propput"
                                                          : "");
    EXPECT_EQ(squeezed(d.params), declaration(op));
  }
}

}  // namespace
}  // namespace quillfern
