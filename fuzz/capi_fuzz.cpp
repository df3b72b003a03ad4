// The C interface with random texts, lengths and capacities: every call
// answers with a status of the interface, writes no byte past the
// capacity it was given (the buffers are exactly that long, so the
// sanitizer sees a write past them), writes nothing without room, and when
// it succeeds gives the texts the control gives through invoke().
#include <cstring>
#include <memory>
#include <vector>

#include "capi/quillfern.h"
#include "fuzz_support.hpp"
#include "quillfern/control/dispatcher.hpp"
#include "testing/doubles.hpp"

using namespace quillfern;

namespace {

// An output buffer of exactly its capacity, or NULL.
struct Buffer {
  std::unique_ptr<char[]> data;
  std::size_t capacity = 0;
  std::size_t length = 0;
  char* pointer() const { return data.get(); }
};

Buffer buffer(fuzz::Input& input, std::size_t natural) {
  Buffer b;
  switch (input.byte() % 6) {
    case 0: b.capacity = 0; break;
    case 1: b.capacity = natural; break;
    case 2: b.capacity = natural > 0 ? natural - 1 : 0; break;
    case 3: b.capacity = natural + 1; break;
    case 4: b.capacity = input.byte(); break;
    default: b.capacity = 2 * natural + 8; break;
  }
  // Now and then no buffer at all, with or without a capacity.
  if (input.byte() % 8 != 0) b.data = std::make_unique<char[]>(b.capacity);
  return b;
}

// A text argument, with now and then a NULL pointer or a length past the
// largest text.
struct Argument {
  std::string text;
  const char* pointer;
  std::size_t length;
  bool valid;
};

Argument argument(fuzz::Input& input, std::size_t max_length) {
  Argument a{input.text(max_length), nullptr, 0, true};
  a.pointer = a.text.data();
  a.length = a.text.size();
  switch (input.byte() % 16) {
    case 0: a.pointer = nullptr; a.valid = a.length == 0; break;
    case 1: a.length = std::size_t{QUILLFERN_MAX_LENGTH} + 1; a.valid = false; break;
    case 2: a.length = SIZE_MAX; a.valid = false; break;
    default: break;
  }
  return a;
}

bool known_status(int status) {
  return status == 0 || status == QUILLFERN_TOO_SMALL || status == QUILLFERN_REFUSED ||
         status == QUILLFERN_INVALID_ARGUMENT || status == QUILLFERN_LOST || status == 5 || status == 6;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const char* const names[] = {"convert",        "DeConvert",       "EasyCryptEnCode", "EasyCryptDeCode",
                                      "PowerEncryption", "SeedEncryption", "DeCipherText",    "EnCipherText",
                                      "FastBlowFish",    "EncryptPassword", "TextBoxCrypt",   "TextBoxDeCrypt"};
  fuzz::Input input(data, size);
  const std::size_t which = input.byte() % (sizeof names / sizeof names[0]);
  const std::string name = names[which];
  const unsigned char number = input.byte();
  Argument first = argument(input, 600);
  Argument second = argument(input, 64);
  Buffer out = buffer(input, first.text.size() * 2 + second.text.size());
  Buffer result = buffer(input, first.text.size() + 4);

  quillfern_context* context = nullptr;
  QF_FUZZ_CHECK(quillfern_context_new(QUILLFERN_CODE_PAGE_1252, &context) == 0);
  auto* p = first.pointer;
  auto* q = second.pointer;
  const std::size_t n = first.length, m = second.length;
  int status = -100;
  std::size_t outputs = 1;
  switch (which) {
    case 0: status = quillfern_convert(context, p, n, out.pointer(), out.capacity, &out.length); break;
    case 1: status = quillfern_DeConvert(context, p, n, out.pointer(), out.capacity, &out.length); break;
    case 2: status = quillfern_EasyCryptEnCode(context, p, n, out.pointer(), out.capacity, &out.length); break;
    case 3: status = quillfern_EasyCryptDeCode(context, p, n, out.pointer(), out.capacity, &out.length); break;
    case 4: status = quillfern_PowerEncryption(context, p, n, out.pointer(), out.capacity, &out.length); break;
    case 5: status = quillfern_SeedEncryption(context, p, n, q, m, out.pointer(), out.capacity, &out.length); break;
    case 6: status = quillfern_DeCipherText(context, p, n, q, m, out.pointer(), out.capacity, &out.length); break;
    case 7: status = quillfern_EnCipherText(context, p, n, q, m, out.pointer(), out.capacity, &out.length); break;
    case 8: status = quillfern_FastBlowFish(context, p, n, out.pointer(), out.capacity, &out.length, q, m); break;
    case 9: status = quillfern_EncryptPassword(context, number, p, n, out.pointer(), out.capacity, &out.length); break;
    case 10:
    case 11:
      outputs = 2;
      status = (which == 10 ? quillfern_TextBoxCrypt : quillfern_TextBoxDeCrypt)(
          context, p, n, q, m, out.pointer(), out.capacity, &out.length, result.pointer(), result.capacity,
          &result.length);
      break;
    default: break;
  }
  quillfern_context_free(context);
  QF_FUZZ_CHECK(known_status(status));
  const bool uses_second = (which >= 5 && which <= 8) || which >= 10;
  if (!first.valid || (uses_second && !second.valid) || (out.pointer() == nullptr && out.capacity > 0) ||
      (outputs == 2 && result.pointer() == nullptr && result.capacity > 0)) {
    QF_FUZZ_CHECK(status == QUILLFERN_INVALID_ARGUMENT);
    return 0;
  }
  QF_FUZZ_CHECK(status != QUILLFERN_INVALID_ARGUMENT);

  // The control's own answer.
  testing::RecordingMessageBox box;
  platform::Host host(box);
  Encryption control(host);
  std::vector<Variant> args;
  const bool with_number = which == 9;
  if (with_number) args.emplace_back(std::uint8_t{number});
  args.emplace_back(first.text);
  if (which == 0 || which == 1 || which == 2 || which == 3 || which == 9) args.emplace_back(Empty{});
  if (which == 8) args.emplace_back(Empty{});
  if (which >= 5 && which != 9) args.emplace_back(second.text);
  Variant answer;
  int error = 0;
  try {
    answer = invoke(control, name, args);
  } catch (const Error& e) {
    error = e.code();
  }
  if (error != 0) {
    QF_FUZZ_CHECK(status == error);
    return 0;
  }
  // The texts of the call: the written parameter, then the result.
  std::vector<Variant> texts;
  if (which <= 3 || which == 8 || which == 9) texts.push_back(args[with_number ? 2 : 1]);
  if (which >= 10) texts.push_back(args[1]);
  if ((which >= 4 && which <= 7) || which >= 10) texts.push_back(answer);
  Buffer* buffers[] = {&out, &result};
  bool room = true;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const auto* text = std::get_if<std::string>(&texts[i]);
    QF_FUZZ_CHECK(buffers[i]->length == (text != nullptr ? text->size() : QUILLFERN_NO_VALUE));
    if (text != nullptr && text->size() > buffers[i]->capacity) room = false;
  }
  if (!room) {
    QF_FUZZ_CHECK(status == QUILLFERN_TOO_SMALL);
    return 0;
  }
  bool refused = false;
  for (const auto& message : box.messages()) refused |= message.style == 12;
  QF_FUZZ_CHECK(status == (refused ? QUILLFERN_REFUSED : host.lost_codes() != 0 ? QUILLFERN_LOST : 0));
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (const auto* text = std::get_if<std::string>(&texts[i]); text != nullptr && !text->empty()) {
      QF_FUZZ_CHECK(std::memcmp(buffers[i]->pointer(), text->data(), text->size()) == 0);
    }
  }
  return 0;
}
