// Writes the case file of the Windows client: every case run through the
// library built for the machine at hand (Linux), with its result, its
// arguments afterwards, the messages it showed and the files it left. The
// cases are those below (the property, round trips, files, random texts)
// and every case of the vector files.
// Usage: quillfern_expected > cases.txt   (run in an empty folder: the
// file cases create and remove their files there)
//        quillfern_expected --script > calls.vbs   (the script test's calls)
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>

#include "quillfern/control/dispatcher.hpp"
#include "quillfern/core/error.hpp"
#include "testing/doubles.hpp"
#include "tests/vectors.hpp"
#include "windows/tests/cases.hpp"

namespace {

using quillfern::Bool;
using quillfern::Empty;
using quillfern::Variant;
using quillfern::wintest::Case;
using quillfern::wintest::FileState;

Variant text(std::string codes) { return Variant(std::move(codes)); }
Variant byte(int value) { return Variant(static_cast<std::uint8_t>(value)); }

std::string all_codes() {
  std::string codes;
  for (int code = 0; code < 256; ++code) codes += static_cast<char>(code);
  return codes;
}

std::string random_codes(std::mt19937& generator, std::size_t length, int low, int high) {
  std::uniform_int_distribution<int> pick(low, high);
  std::string codes(length, '\0');
  for (char& ch : codes) ch = static_cast<char>(pick(generator));
  return codes;
}

std::optional<std::string> read_file(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The inputs: name, arguments, files to create first, files to look at
// afterwards.
struct Input {
  std::string name;
  std::vector<Variant> args;
  std::vector<FileState> files_before;
  std::vector<std::string> files_to_check;
  // Round trips: the first argument is the previous case's result (or its
  // output argument), or the first file is the previous case's second file.
  enum class Chain { none, result, output, file } chain = Chain::none;
};

std::vector<Input> inputs(unsigned seed) {
  std::mt19937 generator(seed);
  const std::string prior = "prior";
  const std::string codes = all_codes();
  const std::string high = codes.substr(128);
  std::vector<Input> list = {
      {"Enabled", {}, {}, {}},
      {"Enabled", {Variant(Bool{false})}, {}, {}},
      {"Enabled", {}, {}, {}},
      {"Enabled", {Variant(Bool{true})}, {}, {}},
      {"Enabled", {}, {}, {}},
      {"EncryptPassword", {byte(5), text("Secret1"), text(prior)}, {}, {}},
      {"EncryptPassword", {byte(0), text(""), text(prior)}, {}, {}},
      {"EncryptPassword", {byte(11), text("x"), text(prior)}, {}, {}},
      {"EncryptPassword", {byte(3), text(std::string("\0ab\xE9", 4)), text(prior)}, {}, {}},
      {"EncryptPassword", {byte(5), text(std::string(255, 'a')), text(prior)}, {}, {}},
      {"EncryptPassword", {byte(7), text(high.substr(0, 100)), text(prior)}, {}, {}},
      {"DecryptPassword", {byte(5), text("Secret1"), text(prior)}, {}, {}},
      {"DecryptPassword", {byte(10), text(random_codes(generator, 60, 32, 126)), text(prior)}, {}, {}},
      {"DecryptPassword", {byte(200), text("abc"), text(prior)}, {}, {}},
      {"convert", {text("Hello"), text(prior)}, {}, {}},
      {"convert", {text(""), text(prior)}, {}, {}},
      {"convert", {text(codes), text(prior)}, {}, {}},
      {"DeConvert", {text(""), text(prior)}, {}, {}, Input::Chain::output},
      {"DeConvert", {text("48656C6C6F"), text(prior)}, {}, {}},
      {"DeConvert", {text("zz"), text(prior)}, {}, {}},
      {"DeConvert", {text(""), text(prior)}, {}, {}},
      {"EasyCryptEnCode", {text("abc"), text(prior)}, {}, {}},
      {"EasyCryptEnCode", {text("\xFF"), text(prior)}, {}, {}},
      {"EasyCryptEnCode", {text(random_codes(generator, 200, 0, 254)), text(prior)}, {}, {}},
      {"EasyCryptDeCode", {text("bcd"), text(prior)}, {}, {}},
      {"EasyCryptDeCode", {text(std::string(1, '\0')), text(prior)}, {}, {}},
      {"PowerEncryption", {text("Hello World")}, {}, {}},
      {"PowerEncryption", {text("")}, {}, {}},
      {"PowerEncryption", {text(high)}, {}, {}},
      {"SeedEncryption", {text("abc"), text("xyz")}, {}, {}},
      {"SeedEncryption", {text("abc"), text("x")}, {}, {}},
      {"SeedEncryption", {text(""), text("")}, {}, {}},
      {"SeedEncryption", {text(codes), text(random_codes(generator, 256, 0, 255))}, {}, {}},
      {"FastBlowFish", {text("Hello"), text(prior), text("key")}, {}, {}},
      {"FastBlowFish", {text(""), text(prior), text("pw")}, {}, {}},
      {"FastBlowFish", {text(random_codes(generator, 300, 32, 126)), text(prior), text("password")}, {}, {}},
      {"FastBlowFish", {text(codes), text(prior), text("")}, {}, {}},
      {"FastBlowFish", {text(random_codes(generator, 129, 0, 255)), text(prior), text("secret")}, {}, {}},
      {"FastBlowFish", {text(""), text(prior), text("secret")}, {}, {}, Input::Chain::output},
      {"TextBoxCrypt", {text("Hello"), text("pw")}, {}, {}},
      {"TextBoxCrypt", {text(""), text("pw")}, {}, {}},
      {"TextBoxCrypt", {text("Round trip"), text("pw")}, {}, {}},
      {"TextBoxDeCrypt", {text(""), text("pw")}, {}, {}, Input::Chain::result},
      {"TextBoxDeCrypt", {text("Hello"), text("pw")}, {}, {}},
      {"TextBoxDeCrypt", {text(high), text("a much longer password")}, {}, {}},
      {"EnCipherText", {text("Hello"), text("pw")}, {}, {}},
      {"EnCipherText", {text("Hello"), text("")}, {}, {}},
      {"EnCipherText", {text(random_codes(generator, 40, 32, 126)), text("pw")}, {}, {}},
      {"DeCipherText", {text(""), text("pw")}, {}, {}, Input::Chain::result},
      {"DeCipherText", {text("Hello"), text("wrong")}, {}, {}},
      {"DeCipherText", {text(""), text("")}, {}, {}},
      {"EncodeDecodeFile", {text("qf_plain.bin"), text("qf_coded.bin"), text("pw")},
       {{"qf_plain.bin", random_codes(generator, 5000, 0, 255)}}, {"qf_plain.bin", "qf_coded.bin"}},
      {"EncodeDecodeFile", {text("qf_coded.bin"), text("qf_back.bin"), text("pw")}, {{"qf_coded.bin", ""}},
       {"qf_coded.bin", "qf_back.bin"}, Input::Chain::file},
      {"EncodeDecodeFile", {text("qf_missing.bin"), text("qf_out.bin"), text("pw")}, {},
       {"qf_missing.bin", "qf_out.bin"}},
      {"WipeFileClean", {text("qf_wipe.bin")}, {{"qf_wipe.bin", std::string(5000, 'w')}},
       {"qf_wipe.bin"}},
      {"WipeFileClean", {text("qf_missing.bin")}, {}, {"qf_missing.bin"}},
  };
  return list;
}

// Every case of the vector files (tests/data) whose section is an
// operation, with its arguments taken by published parameter names, as the
// generic vector test takes them. Cases that name files or need another
// code page than the host's are left to the cases above and to the Linux
// tests.
std::vector<Input> vector_inputs() {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(QUILLFERN_TEST_DATA)) {
    if (entry.path().extension() == ".vec") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  std::vector<Input> list;
  for (const std::string& file : files) {
    for (const quillfern::test::VectorCase& c : quillfern::test::load_vectors(file)) {
      const quillfern::Operation* op = quillfern::find_operation(c.section);
      if (op == nullptr || op->kind != quillfern::InvokeKind::method || op->name != c.section) continue;
      if (c.has("CodePage") && c.at("CodePage") != "cp1252") continue;
      const auto params = op->params();
      if (std::any_of(params.begin(), params.end(), [](const quillfern::Parameter& p) { return p.file; })) {
        continue;
      }
      Input input{c.section, {}, {}, {}};
      for (const quillfern::Parameter& p : params) {
        const std::string name(p.name);
        if (p.direction == quillfern::Direction::out) {
          input.args.push_back(text("prior"));
        } else if (p.type == quillfern::ValueType::byte) {
          input.args.push_back(byte(static_cast<int>(c.number(name))));
        } else {
          input.args.push_back(text(c.at(name)));
        }
      }
      list.push_back(std::move(input));
    }
  }
  return list;
}

}  // namespace

// The script test's one call of every operation, written from the table
// of operations as a VBScript function (the script host has no way to call
// a method named at run time): each row is called with the elements of the
// array a(), which the script engine passes by reference, so that out and
// in-out parameters come back in them.
void write_script_calls() {
  std::cout << "' Written by quillfern_expected --script from the table of operations.\n"
               "Function CallOperation(name, kind, a)\n"
               "  CallOperation = Empty\n"
               "  Select Case name & \" \" & kind\n";
  for (const quillfern::Operation& op : quillfern::interface_table()) {
    const std::string name(op.name);
    std::string arguments;
    for (std::size_t i = 0; i < op.parameter_count; ++i) {
      arguments += (i == 0 ? "a(" : ", a(") + std::to_string(i) + ")";
    }
    switch (op.kind) {
      case quillfern::InvokeKind::property_get:
        std::cout << "    Case \"" << name << " get\" : CallOperation = control." << name << "\n";
        break;
      case quillfern::InvokeKind::property_put:
        std::cout << "    Case \"" << name << " put\" : control." << name << " = a(0)\n";
        break;
      case quillfern::InvokeKind::method:
        std::cout << "    Case \"" << name << " method\" : CallOperation = control." << name << "("
                  << arguments << ")\n";
        break;
    }
  }
  std::cout << "    Case Else : Err.Raise 438\n"
               "  End Select\n"
               "End Function\n";
}

int main(int argc, char** argv) {
  if (argc > 1 && std::string_view(argv[1]) == "--script") {
    write_script_calls();
    return 0;
  }
  unsigned seed = 20261207u;
  if (const char* env = std::getenv("QUILLFERN_TEST_SEED")) seed = static_cast<unsigned>(std::strtoul(env, nullptr, 10));
  std::cerr << "quillfern_expected: seed " << seed << " (QUILLFERN_TEST_SEED)\n";

  quillfern::testing::RecordingMessageBox box;
  quillfern::platform::Host host(box);
  quillfern::Encryption control(host);
  std::cout << "# Cases for quillfern.dll with the answers of the Linux library; seed " << seed
            << "\n";
  Case previous;
  std::vector<Input> all = inputs(seed);
  for (Input& input : vector_inputs()) all.push_back(std::move(input));
  for (Input& input : all) {
    switch (input.chain) {
      case Input::Chain::none: break;
      case Input::Chain::result:
        if (auto* text = std::get_if<std::string>(&previous.result)) input.args[0] = *text;
        break;
      case Input::Chain::output: input.args[0] = previous.after[1]; break;
      case Input::Chain::file:
        if (previous.files_after.size() > 1) input.files_before[0].content = previous.files_after[1].content.value_or("");
        break;
    }
    for (const FileState& file : input.files_before) {
      std::ofstream(file.name, std::ios::binary) << file.content.value_or("");
    }
    Case c;
    c.name = input.name;
    // The row that invoke() calls for this name and argument count.
    const quillfern::Operation* named = quillfern::find_operation(input.name);
    if (named != nullptr && named->kind != quillfern::InvokeKind::method) {
      c.kind = input.args.empty() ? quillfern::InvokeKind::property_get : quillfern::InvokeKind::property_put;
    }
    c.args = input.args;
    c.files_before = input.files_before;
    std::vector<Variant> args = input.args;
    box.clear();
    try {
      c.result = quillfern::invoke(control, input.name, args);
    } catch (const quillfern::Error& error) {
      c.error = error.code();
      c.description = error.what();
      c.result = Empty{};
    }
    c.after = args;
    c.messages = box.messages();
    for (const std::string& name : input.files_to_check) {
      c.files_after.push_back(FileState{name, read_file(name)});
    }
    for (const FileState& file : c.files_after) std::filesystem::remove(file.name);
    std::cout << quillfern::wintest::format_case(c) << "\n";
    previous = c;
  }
  return 0;
}
