// The dispatcher with arbitrary variant arguments: only the error numbers
// that the conversions and operations allow, and arguments untouched when
// a call fails.
#include <vector>

#include "fuzz_support.hpp"
#include "quillfern/control/dispatcher.hpp"
#include "testing/doubles.hpp"

using namespace quillfern;

namespace {

Variant make_variant(fuzz::Input& input) {
  switch (input.byte() % 7) {
    case 0: return Empty{};
    case 1: return static_cast<std::int16_t>(input.byte() << 8 | input.byte());
    case 2: return static_cast<std::int32_t>(input.byte() << 8 | input.byte()) - 300;
    case 3: return input.byte();
    case 4: return Bool{input.byte() % 2 == 0};
    case 5: return static_cast<double>(input.byte()) / 3.0 - 10.0;
    default: return input.text(400);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const auto table = interface_table();
  const Operation& op = table[input.byte() % table.size()];
  // Mostly the right number of arguments, sometimes a wrong one.
  std::size_t count = op.parameter_count;
  if (input.byte() % 8 == 0) count = input.byte() % 5;
  std::vector<Variant> args;
  for (std::size_t i = 0; i < count; ++i) args.push_back(make_variant(input));

  testing::RecordingMessageBox box;
  platform::Host host(box);
  Encryption control(host);
  // The file operations are left out: a fuzzer must not touch real files.
  if (op.name == "EncodeDecodeFile" || op.name == "WipeFileClean" || op.name == "About") return 0;
  const std::vector<Variant> before = args;
  try {
    (void)invoke(control, op.dispid, op.kind, args);
  } catch (const Error& e) {
    QF_FUZZ_CHECK(args == before);
    QF_FUZZ_CHECK(fuzz::error_is(e, {ErrorNumber::invalid_call, ErrorNumber::overflow,
                                     ErrorNumber::type_mismatch, ErrorNumber::wrong_arguments,
                                     ErrorNumber::not_supported}));
  }
  return 0;
}
