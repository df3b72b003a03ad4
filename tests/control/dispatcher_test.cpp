#include "quillfern/control/dispatcher.hpp"

#include <gtest/gtest.h>

#include <set>

#include "control/control_fixture.hpp"
#include "support.hpp"

namespace quillfern {
namespace {

using Dispatcher = ControlFixture;

TEST(InterfaceTable, ListsThePublishedOperationsInPublishedOrder) {
  const auto table = interface_table();
  const char* names[] = {"Enabled", "Enabled", "About", "EncryptPassword", "DecryptPassword",
                         "convert", "DeConvert", "EasyCryptEnCode", "EasyCryptDeCode",
                         "EncodeDecodeFile", "PowerEncryption", "FastBlowFish", "SeedEncryption",
                         "TextBoxCrypt", "TextBoxDeCrypt", "DeCipherText", "EnCipherText",
                         "WipeFileClean"};
  const DispId ids[] = {0x68030000, 0x68030000, 0x60030004, 0x60030005, 0x60030006, 0x60030007,
                        0x60030008, 0x60030009, 0x6003000a, 0x6003000b, 0x6003000c, 0x6003000e,
                        0x6003000f, 0x60030010, 0x60030011, 0x60030012, 0x60030013, 0x60030014};
  static_assert(std::size(names) == std::size(ids));
  ASSERT_EQ(table.size(), std::size(names));
  for (std::size_t i = 0; i < table.size(); ++i) {
    EXPECT_EQ(table[i].order, static_cast<int>(i + 1));
    EXPECT_EQ(table[i].name, names[i]);
    EXPECT_EQ(table[i].dispid, ids[i]) << names[i];
  }
  // Exactly one out parameter in each method that writes OutPut, and the
  // text-box Password is the one in-out parameter.
  std::set<std::string_view> in_out;
  for (const Operation& op : table) {
    for (const Parameter& p : op.params()) {
      if (p.direction == Direction::out) {
        EXPECT_EQ(p.name, "OutPut");
      }
      if (p.direction == Direction::in_out) in_out.insert(op.name);
    }
  }
  EXPECT_EQ(in_out, (std::set<std::string_view>{"TextBoxCrypt", "TextBoxDeCrypt"}));
}

TEST(InterfaceTable, RowsAreFoundByTheirMemberFunctionWhileCompiling) {
  static_assert(operation_of<&Encryption::convert>().name == "convert");
  static_assert(operation_of<&Encryption::TextBoxCrypt>().parameters[1].direction == Direction::in_out);
  static_assert(operation_of<member<void(bool)>(&Encryption::Enabled)>().kind == InvokeKind::property_put);
  static_assert(operation_of<&Encryption::WipeFileClean>().order == static_cast<int>(operation_count));
  // Types and results come from the member functions' signatures.
  constexpr const Operation& encrypt = operation_of<&Encryption::EncryptPassword>();
  static_assert(encrypt.parameters[0].type == ValueType::byte && encrypt.result == ValueType::none);
  static_assert(operation_of<&Encryption::TextBoxDeCrypt>().result == ValueType::variant);
  static_assert(operation_of<&Encryption::SeedEncryption>().result == ValueType::text);
  for (const Operation& op : interface_table()) {
    EXPECT_EQ(find_operation(op.dispid, op.kind), &op) << op.name;
    EXPECT_EQ(find_dispid(op.name), op.dispid) << op.name;
  }
}

TEST(InterfaceTable, FindsDispatchIdsByNameWithoutRegardToCase) {
  EXPECT_EQ(find_dispid("EncryptPassword"), 0x60030005);
  EXPECT_EQ(find_dispid("encryptpassword"), 0x60030005);
  EXPECT_EQ(find_dispid("CONVERT"), 0x60030007);
  EXPECT_EQ(find_dispid("enabled"), 0x68030000);
  EXPECT_EQ(find_dispid("SafeXorCode"), std::nullopt) << "the private operation is not published";
  EXPECT_EQ(find_dispid(""), std::nullopt);
}

TEST_F(Dispatcher, WritesTheOutParameterBackOnSuccess) {
  std::vector<Variant> args{std::uint8_t{5}, std::string("Secret1"), std::string("old")};
  EXPECT_EQ(invoke(control, 0x60030005, InvokeKind::method, args), Variant(Empty{}));
  EXPECT_EQ(args[2], Variant(std::string("]emhoj3")));
  EXPECT_EQ(args[1], Variant(std::string("Secret1"))) << "inputs are only read";

  std::vector<Variant> back{std::int32_t{5}, args[2], Empty{}};
  invoke(control, "decryptPASSWORD", back);
  EXPECT_EQ(back[2], Variant(std::string("Secret1")));
}

TEST_F(Dispatcher, LeavesEveryArgumentAsItWasWhenTheCallFails) {
  struct Case {
    std::vector<Variant> args;
    ErrorNumber expected;
  };
  const std::vector<Case> cases{
      {{std::uint8_t{5}, std::string(255, 'a'), std::string("old")}, ErrorNumber::overflow},
      {{std::uint8_t{11}, std::string("a"), std::string("old")}, ErrorNumber::invalid_call},
      {{std::int16_t{256}, std::string("a"), std::string("old")}, ErrorNumber::overflow},
      {{std::int16_t{-1}, std::string("a"), std::string("old")}, ErrorNumber::overflow},
      {{Bool{true}, std::string("a"), std::string("old")}, ErrorNumber::overflow},
      {{std::string("five"), std::string("a"), std::string("old")}, ErrorNumber::type_mismatch},
      {{std::uint8_t{5}, std::string("a")}, ErrorNumber::wrong_arguments},
  };
  for (const Case& c : cases) {
    std::vector<Variant> args = c.args;
    EXPECT_QF_ERROR(invoke(control, 0x60030005, InvokeKind::method, args), c.expected);
    EXPECT_EQ(args, c.args);
  }
}

TEST_F(Dispatcher, ConvertsArgumentsAsTheHostDoes) {
  // Numeric text and doubles become the byte key (halves to even); Empty
  // is the empty text.
  struct Case {
    Variant number;
    std::uint8_t expected;
  };
  for (const Case& c : {Case{std::string(" 7 "), 7}, Case{2.5, 2}, Case{3.5, 4}, Case{Empty{}, 0},
                        Case{Bool{false}, 0}, Case{std::int32_t{255}, 255}}) {
    EXPECT_EQ(to_byte(c.number), c.expected) << type_name(c.number);
  }
  for (const char* bad : {"0x1A", "inf", "nan", "1,5", "", "  ", "5 5"}) {
    EXPECT_QF_ERROR((void)to_byte(std::string(bad)), ErrorNumber::type_mismatch);
  }
  EXPECT_EQ(to_byte(std::string("+2e1")), 20);
  EXPECT_QF_ERROR((void)to_byte(std::string("1e3")), ErrorNumber::overflow);
  EXPECT_EQ(to_text(std::int16_t{-12}), "-12");
  EXPECT_EQ(to_text(Bool{true}), "True");
  EXPECT_EQ(to_text(1.5), "1.5");
  std::vector<Variant> args{std::uint8_t{3}, Empty{}, Empty{}};
  invoke(control, "EncryptPassword", args);
  EXPECT_EQ(args[2], Variant(std::string()));
}

TEST_F(Dispatcher, ReadsAndWritesEnabled) {
  std::vector<Variant> none;
  EXPECT_EQ(invoke(control, "Enabled", none), Variant(Bool{true}));
  std::vector<Variant> value{std::int16_t{0}};
  invoke(control, 0x68030000, InvokeKind::property_put, value);
  EXPECT_FALSE(control.Enabled());
  EXPECT_EQ(container.changed, std::vector<std::string>{"Enabled"});
  EXPECT_EQ(invoke(control, 0x68030000, InvokeKind::property_get, none), Variant(Bool{false}));
}

// Every row, called with empty texts (file names that name no file) and the
// key 5: a call that fails changes no argument; one that succeeds leaves
// every in parameter as it was and writes a text into every out and in-out
// parameter. A wrong number of arguments is 450 with nothing changed.
TEST_F(Dispatcher, EveryRowWritesBackOnlyOnSuccessAndChecksItsArgumentCount) {
  for (const Operation& op : interface_table()) {
    SCOPED_TRACE(std::string(op.name));
    std::vector<Variant> args;
    for (const Parameter& p : op.params()) {
      if (p.written()) {
        args.emplace_back(std::int16_t{7});  // not a text: a written parameter becomes one
      } else if (p.type == ValueType::byte) {
        args.emplace_back(std::uint8_t{5});
      } else if (p.type == ValueType::boolean) {
        args.emplace_back(Bool{true});
      } else {
        args.emplace_back(std::string());
      }
    }
    const std::vector<Variant> before = args;
    bool succeeded = true;
    try {
      (void)invoke(control, op.dispid, op.kind, args);
    } catch (const Error&) {
      succeeded = false;
    }
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (succeeded && op.parameters[i].written()) {
        EXPECT_TRUE(std::holds_alternative<std::string>(args[i])) << op.parameters[i].name;
      } else {
        EXPECT_EQ(args[i], before[i]) << op.parameters[i].name;
      }
    }
    for (std::size_t count : {op.parameter_count + 1, op.parameter_count == 0 ? 2 : op.parameter_count - 1}) {
      std::vector<Variant> wrong(count, Variant(std::string("x")));
      EXPECT_QF_ERROR((void)op.invoke(control, wrong), ErrorNumber::wrong_arguments);
      EXPECT_EQ(wrong, std::vector<Variant>(count, Variant(std::string("x"))));
    }
  }
}

TEST_F(Dispatcher, RefusesUnknownMembersAndWrongArgumentCounts) {
  std::vector<Variant> none;
  EXPECT_QF_ERROR(invoke(control, 0x60030001, InvokeKind::method, none), ErrorNumber::no_such_member);
  EXPECT_QF_ERROR(invoke(control, "SafeXorCode", none), ErrorNumber::no_such_member);
  EXPECT_QF_ERROR(invoke(control, "EncryptPassword", none), ErrorNumber::wrong_arguments);
  std::vector<Variant> extra{Empty{}, Empty{}};
  EXPECT_QF_ERROR(invoke(control, 0x68030000, InvokeKind::property_put, extra),
                  ErrorNumber::wrong_arguments);
}

}  // namespace
}  // namespace quillfern
