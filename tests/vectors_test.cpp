// The one generic test that runs every vector file under tests/data. A
// case of a section named after an operation of the table of operations
// runs three ways: through the plain functions of its family (the runner
// the family registered for the section, which also checks what only the
// family knows), through invoke() with its arguments taken by the
// operation's published parameter names, and through the quillfern tool,
// whose command for the operation is found in the command table. Nothing
// here knows one operation from another: the rows say what the parameters
// are, and the command rows say how the tool takes them.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>

#include "cli/command.hpp"
#include "files/file_test_support.hpp"
#include "quillfern/control/dispatcher.hpp"
#include "quillfern/control/interface.hpp"
#include "quillfern/core/codepage.hpp"
#include "quillfern/platform/message_box.hpp"
#include "testing/doubles.hpp"
#include "vectors.hpp"

extern char** environ;

namespace quillfern::test {
namespace {

std::vector<std::string> vector_files() {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(QUILLFERN_TEST_DATA)) {
    if (entry.path().extension() == ".vec") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The method a section names, by its exact published name.
const Operation* operation_named(const std::string& section) {
  for (const Operation& op : interface_table()) {
    if (op.kind == InvokeKind::method && op.name == section) return &op;
  }
  return nullptr;
}

std::string after(std::string_view name) { return std::string(name) + " after"; }

std::string hex(std::string_view codes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (char ch : codes) {
    const auto code = static_cast<unsigned char>(ch);
    out += digits[code >> 4];
    out += digits[code & 15];
  }
  return out;
}

// The path of the file parameter `name` in `folder`, holding the case's
// contents for it when the case gives them (else the file does not exist).
std::string file_argument(const ScratchFolder& folder, const VectorCase& c, const std::string& name) {
  if (c.has(name)) write_file(folder / name, c.at(name));
  return folder / name;
}

// What a call through the control did: the error it raised, or its
// result and its output, and the message boxes it showed.
struct ControlOutcome {
  std::optional<Error> error;
  std::string output;  // the out parameter, or the result (empty for the empty variant)
  std::vector<platform::Message> messages;
};

// ---- through invoke() -----------------------------------------------------

ControlOutcome run_through_invoke(const Operation& op, const VectorCase& c) {
  testing::RecordingMessageBox box;
  platform::Host host(box);
  if (c.has("CodePage")) {
    const auto page = parse_code_page(c.at("CodePage"));
    EXPECT_TRUE(page.has_value()) << c.at("CodePage");
    if (page) host.set_code_page(*page);
  }
  if (c.has("State")) host.runtime().random().set_state(static_cast<std::uint32_t>(c.number("State")));
  ScratchFolder folder;

  // The arguments by published name; an out parameter holds a text of its
  // own before the call, which only a successful call may replace.
  std::vector<Variant> args;
  for (const Parameter& p : op.params()) {
    const std::string name(p.name);
    if (p.file) {
      args.emplace_back(file_argument(folder, c, name));
    } else if (p.direction == Direction::out) {
      args.emplace_back(std::string("before"));
    } else if (p.type == ValueType::byte) {
      args.emplace_back(static_cast<std::uint8_t>(c.number(name)));
    } else {
      args.emplace_back(c.at(name));
    }
  }
  const std::vector<Variant> before = args;

  ControlOutcome outcome;
  Encryption control(host);
  Variant result;
  try {
    result = invoke(control, op.dispid, op.kind, args);
  } catch (const Error& e) {
    outcome.error = e;
  }
  outcome.messages = box.messages();
  if (c.has("Error")) {
    EXPECT_TRUE(outcome.error.has_value()) << "invoke: expected error " << c.at("Error");
    if (outcome.error) {
      EXPECT_EQ(outcome.error->code(), c.number("Error")) << outcome.error->what();
    }
    EXPECT_EQ(args, before) << "invoke: a failed call changed an argument";
    return outcome;
  }
  if (outcome.error) {
    ADD_FAILURE() << "invoke: " << outcome.error->what();
    return outcome;
  }

  for (std::size_t i = 0; i < args.size(); ++i) {
    const Parameter& p = op.parameters[i];
    const std::string name(p.name);
    if (p.direction == Direction::out) {
      EXPECT_EQ(args[i], Variant(c.at(name))) << "invoke: " << name;
      outcome.output = to_text(args[i]);
    } else if (p.direction == Direction::in_out && c.has(after(name))) {
      EXPECT_EQ(args[i], Variant(c.at(after(name)))) << "invoke: " << name << " after";
    } else if (p.direction != Direction::in_out) {
      EXPECT_EQ(args[i], before[i]) << "invoke: " << name << " is only read";
    }
    if (p.file && c.has(after(name))) {
      EXPECT_EQ(read_file(folder / name), c.at(after(name))) << "invoke: the file " << name;
    }
  }
  if (op.result != ValueType::none) {
    if (c.is_empty_variant("Result")) {
      EXPECT_EQ(result, Variant(Empty{})) << "invoke: the result is the empty variant";
    } else {
      EXPECT_EQ(result, Variant(c.at("Result"))) << "invoke: the result";
      outcome.output = to_text(result);
    }
  } else {
    EXPECT_FALSE(c.has("Result")) << op.name << " has no result";
  }
  if (c.has("End")) {
    EXPECT_EQ(host.runtime().random().state(), static_cast<std::uint32_t>(c.number("End")))
        << "invoke: the generator's state afterwards";
  }
  return outcome;
}

// ---- through the quillfern tool -------------------------------------------

struct ToolRun {
  int status = -1;
  std::string out, err;
};

ToolRun run_tool(const std::vector<std::string>& arguments, const ScratchFolder& folder) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(QUILLFERN_TOOL_PATH));
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const std::string out_path = folder / "tool.out";
  const std::string err_path = folder / "tool.err";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ToolRun run;
  pid_t pid = 0;
  if (posix_spawn(&pid, QUILLFERN_TOOL_PATH, &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  run.out = read_file(out_path);
  run.err = read_file(err_path);
  return run;
}

const cli::Command* command_for(const Operation& op) {
  for (const cli::Command& command : cli::commands()) {
    if (command.operation == &op) return &command;
  }
  return nullptr;
}

bool takes_option(const cli::Command& command, std::string_view name) {
  return std::any_of(command.options.begin(), command.options.end(),
                     [&](const cli::Option& option) { return option.name == name; });
}

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& ch : out) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return out;
}

// The tool takes a case as the command table says: a byte parameter as the
// option of its name (--number), the operation's Password as
// --password-hex and its SeedPassword as --seed-hex (exact codes), files
// as positional names, the one remaining text as the input FILE, and the
// host's settings as the options that set them (--codepage,
// --generator-state, --print-state). It writes the output (the out
// parameter or the result) to standard output, every message box as a
// `TITLE: TEXT` line on standard error, an error as `quillfern: error: N:
// Description` with status 1, and when it refuses through a message box it
// exits 3 with no output. --allow-loss makes it write every result.
void run_through_tool(const Operation& op, const VectorCase& c, const ControlOutcome& control) {
  const cli::Command* command = command_for(op);
  if (command == nullptr) return;  // the operation has no command of its own
  SCOPED_TRACE("quillfern " + std::string(command->name));
  ScratchFolder folder;
  std::vector<std::string> arguments{std::string(command->name)};
  std::vector<std::string> positionals;
  for (const Parameter& p : op.params()) {
    const std::string name(p.name);
    if (p.file) {
      positionals.push_back(file_argument(folder, c, name));
    } else if (p.direction == Direction::out) {
      continue;
    } else if (p.type == ValueType::byte) {
      ASSERT_TRUE(takes_option(*command, lower(name))) << "no option --" << lower(name);
      arguments.push_back("--" + lower(name) + "=" + c.at(name));
    } else if (name == "Password" && (command->uses & cli::uses_password) != 0) {
      arguments.push_back("--password-hex=" + hex(c.at(name)));
    } else if (name == "SeedPassword" && (command->uses & cli::uses_seed) != 0) {
      arguments.push_back("--seed-hex=" + hex(c.at(name)));
    } else {
      ASSERT_TRUE((command->uses & cli::uses_text_io) != 0) << "the command reads no text for " << name;
      write_file(folder / name, c.at(name));
      positionals.push_back(folder / name);
    }
  }
  if (c.has("CodePage")) {
    if (!takes_option(*command, "codepage")) return;  // the tool's host has its own code page
    arguments.push_back("--codepage=" + c.at("CodePage"));
  }
  if (c.has("State")) {
    if (!takes_option(*command, "generator-state")) return;
    arguments.push_back("--generator-state=" + c.at("State"));
  }
  const bool prints_state = c.has("End") && takes_option(*command, "print-state");
  if (prints_state) arguments.push_back("--print-state");
  if ((command->uses & cli::uses_loss) != 0) arguments.push_back("--allow-loss");
  arguments.push_back("--");
  for (const std::string& positional : positionals) arguments.push_back(positional);

  const ToolRun run = run_tool(arguments, folder);
  if (control.error) {
    EXPECT_EQ(run.status, 1) << run.err;
    const std::string line = "quillfern: error: " + std::to_string(control.error->code()) + ": " +
                             std::string(control.error->description());
    EXPECT_NE(run.err.find(line), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    return;
  }
  for (const platform::Message& m : control.messages) {
    // Each box is a line under the program's prefix.
    const std::string prefix = m.title == "quillfern" ? "" : "quillfern: ";
    EXPECT_NE(run.err.find(prefix + m.title + ": " + m.text + "\n"), std::string::npos) << run.err;
  }
  if (run.status == 3 && !control.messages.empty()) {
    EXPECT_EQ(run.out, "") << "a refusal writes nothing";
    return;
  }
  ASSERT_EQ(run.status, 0) << run.err;
  std::string expected = control.output;
  if (prints_state) expected += c.at("End") + "\n";
  EXPECT_EQ(run.out, expected);
  for (const Parameter& p : op.params()) {
    if (p.file && c.has(after(p.name))) {
      EXPECT_EQ(read_file(folder / std::string(p.name)), c.at(after(p.name))) << "the file " << p.name;
    }
  }
}

class VectorFile : public ::testing::TestWithParam<std::string> {};

TEST_P(VectorFile, EveryCaseHolds) {
  const auto cases = load_vectors(GetParam());
  ASSERT_FALSE(cases.empty()) << GetParam() << " holds no cases";
  for (const VectorCase& c : cases) {
    SCOPED_TRACE(c.file + ":" + std::to_string(c.line) + " [" + c.section + "]");
    const VectorRunner* plain = find_vector_runner(c.section);
    const Operation* op = operation_named(c.section);
    ASSERT_TRUE(plain != nullptr || op != nullptr) << "no operation and no runner for section " << c.section;
    if (plain != nullptr) (*plain)(c);
    if (op != nullptr) {
      const ControlOutcome outcome = run_through_invoke(*op, c);
      run_through_tool(*op, c, outcome);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Data, VectorFile, ::testing::ValuesIn(vector_files()),
                         [](const ::testing::TestParamInfo<std::string>& param_info) {
                           std::string name = std::filesystem::path(param_info.param).stem().string();
                           for (char& ch : name) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return name;
                         });

TEST(VectorValues, DecodesTextsHexAndNumbers) {
  EXPECT_EQ(decode_value("\"a\\x00b\\\"\""), std::string("a\0b\"", 4));
  EXPECT_EQ(decode_value("616263"), "abc");
  EXPECT_EQ(decode_value("61 62 63"), "abc");
  EXPECT_EQ(decode_value("123"), "123");  // odd digit count: a number
  EXPECT_EQ(decode_value(""), "");
}

// Every operation that takes a text (besides file names) and has a command
// of the tool has vectors, so that every one of them runs the three ways.
TEST(VectorValues, EveryOperationWithACommandHasVectors) {
  std::vector<std::string> sections;
  for (const std::string& file : vector_files()) {
    for (const VectorCase& c : load_vectors(file)) sections.push_back(c.section);
  }
  for (const Operation& op : interface_table()) {
    const auto params = op.params();
    const bool takes_text = std::any_of(params.begin(), params.end(), [](const Parameter& p) {
      return p.type == ValueType::text && !p.file;
    });
    if (op.kind != InvokeKind::method || command_for(op) == nullptr || !takes_text) continue;
    EXPECT_NE(std::find(sections.begin(), sections.end(), op.name), sections.end()) << op.name;
  }
}

}  // namespace
}  // namespace quillfern::test
