// The C interface (quillfern.h) over the table of operations: every
// exported function is one line that hands its buffers to `call`, which
// checks them against the row of its operation, builds the variants the
// row's invoke() takes, and copies the texts it gives back under the
// interface's rules (size first, then fill; the output rule; the boxes
// once the call is over).
#define QUILLFERN_C_BUILD 1
#include "capi/quillfern.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "quillfern/control/identify.hpp"
#include "quillfern/control/interface.hpp"
#include "quillfern/core/basic_random.hpp"
#include "quillfern/core/error.hpp"
#include "quillfern/version.hpp"

#ifdef _WIN32
#include "quillfern/platform/win32/text.hpp"
#endif

namespace {

using quillfern::Direction;
using quillfern::Encryption;
using quillfern::Operation;
using quillfern::ValueType;
using quillfern::Variant;

constexpr int out_of_memory = 7;
// The style of the boxes with which the control refuses an input.
constexpr std::int32_t style_refusal = 12;

// Keeps the boxes of one call until it is over.
class HeldMessageBox final : public quillfern::platform::MessageBox {
 public:
  std::vector<quillfern::platform::Message> held;

 protected:
  int present(const quillfern::platform::Message& message) override {
    held.push_back(message);
    return quillfern::platform::answer_ok;
  }
};

}  // namespace

struct quillfern_context {
  explicit quillfern_context(quillfern::CodePage page) : host(box, page), control(host) {}
  HeldMessageBox box;
  quillfern::platform::Host host;
  Encryption control;
  quillfern_message_box callback = nullptr;
  void* user_data = nullptr;
};

namespace {

// An argument as the caller gave it.
struct In {
  enum class Kind { text, byte, boolean, path } kind;
  const char* data = nullptr;
  std::size_t length = 0;
  unsigned char number = 0;
  int flag = 0;
  const quillfern_path_char* path = nullptr;
};
// An output: a text buffer or a Boolean.
struct Out {
  enum class Kind { text, boolean } kind;
  char* data = nullptr;
  std::size_t capacity = 0;
  std::size_t* length = nullptr;
  int* flag = nullptr;
};

In text_in(const char* data, std::size_t length) { return In{In::Kind::text, data, length, 0, 0, nullptr}; }
In byte_in(unsigned char number) { return In{In::Kind::byte, nullptr, 0, number, 0, nullptr}; }
In boolean_in(int flag) { return In{In::Kind::boolean, nullptr, 0, 0, flag, nullptr}; }
In path_in(const quillfern_path_char* name) { return In{In::Kind::path, nullptr, 0, 0, 0, name}; }
Out text_out(char* data, std::size_t capacity, std::size_t* length) {
  return Out{Out::Kind::text, data, capacity, length, nullptr};
}
Out boolean_out(int* flag) { return Out{Out::Kind::boolean, nullptr, 0, nullptr, flag}; }

// How many arguments and outputs a row takes in C.
constexpr std::size_t inputs_of(const Operation& op) {
  std::size_t count = 0;
  for (const quillfern::Parameter& p : op.params()) count += p.direction == Direction::out ? 0u : 1u;
  return count;
}
constexpr std::size_t outputs_of(const Operation& op) {
  std::size_t count = op.result == ValueType::none ? 0u : 1u;
  for (const quillfern::Parameter& p : op.params()) count += p.written() ? 1u : 0u;
  return count;
}

// A file name as the library takes it: UTF-8, checked on Linux; on Windows
// the UTF-16 name in UTF-8, which the file system layer opens through the
// system's wide functions, so that every character of the name is kept.
bool path_text(const quillfern_path_char* name, std::string& out) {
#ifdef _WIN32
  const std::size_t count = std::wcslen(name);
  if (count > QUILLFERN_MAX_LENGTH) return false;
  std::optional<std::string> utf8 = quillfern::win32::to_utf8(name, count);
  if (!utf8) return false;
  out = std::move(*utf8);
  return true;
#else
  out = name;
  // Well-formed UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
  const auto* s = reinterpret_cast<const unsigned char*>(out.data());
  const std::size_t n = out.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned c = s[i];
    std::size_t extra = 0;
    unsigned low = 0x80, high = 0xBF;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
      if (c == 0xE0) low = 0xA0;
      if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (n - i <= extra) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      const unsigned t = s[i + k];
      if (t < (k == 1 ? low : 0x80) || t > (k == 1 ? high : 0xBF)) return false;
    }
    i += extra + 1;
  }
  return true;
#endif
}

bool input_matches(const In& in, const quillfern::Parameter& p) {
  switch (in.kind) {
    case In::Kind::text: return p.type == ValueType::text && !p.file;
    case In::Kind::path: return p.type == ValueType::text && p.file;
    case In::Kind::byte: return p.type == ValueType::byte;
    case In::Kind::boolean: return p.type == ValueType::boolean;
  }
  return false;
}

int run(const Operation& op, quillfern_context* context, std::span<const In> ins, std::span<const Out> outs,
        std::uint32_t* state) {
  if (context == nullptr) return QUILLFERN_INVALID_ARGUMENT;
  for (const Out& out : outs) {
    if (out.kind == Out::Kind::text && out.data == nullptr && out.capacity > 0) return QUILLFERN_INVALID_ARGUMENT;
    if (out.kind == Out::Kind::boolean && out.flag == nullptr) return QUILLFERN_INVALID_ARGUMENT;
  }
  try {
    std::vector<Variant> args;
    args.reserve(op.parameter_count);
    std::size_t next = 0;
    for (const quillfern::Parameter& p : op.params()) {
      if (p.direction == Direction::out) {
        args.emplace_back(quillfern::Empty{});
        continue;
      }
      const In& in = ins[next++];
      if (!input_matches(in, p)) return QUILLFERN_INTERNAL;
      switch (in.kind) {
        case In::Kind::text:
          if (in.length > QUILLFERN_MAX_LENGTH || (in.data == nullptr && in.length > 0)) {
            return QUILLFERN_INVALID_ARGUMENT;
          }
          args.emplace_back(std::string(in.data == nullptr ? "" : in.data, in.length));
          break;
        case In::Kind::path: {
          if (in.path == nullptr) return QUILLFERN_INVALID_ARGUMENT;
          std::string name;
          if (!path_text(in.path, name)) return static_cast<int>(quillfern::ErrorNumber::bad_file_name);
          args.emplace_back(std::move(name));
          break;
        }
        case In::Kind::byte: args.emplace_back(std::uint8_t{in.number}); break;
        case In::Kind::boolean: args.emplace_back(quillfern::Bool{in.flag != 0}); break;
      }
    }

    auto& generator = context->host.runtime().random();
    const std::uint32_t kept = generator.state();
    if (state != nullptr) generator.set_state(*state);
    context->box.held.clear();
    context->host.reset_lost_codes();
    Variant result;
    int status = 0;
    try {
      result = op.invoke(context->control, args);
    } catch (const quillfern::Error& error) {
      status = error.code();
    } catch (const std::bad_alloc&) {
      status = out_of_memory;
    }
    const std::uint32_t reached = generator.state();
    const bool lost = context->host.lost_codes() != 0;
    if (state != nullptr) generator.set_state(kept);

    // The texts the caller receives, in C order: the written parameters,
    // then the result.
    std::vector<const Variant*> texts;
    for (std::size_t i = 0; i < op.parameter_count; ++i) {
      if (op.parameters[i].written()) texts.push_back(&args[i]);
    }
    if (op.result != ValueType::none) texts.push_back(&result);

    bool room = true;
    if (status == 0) {
      for (std::size_t i = 0; i < outs.size(); ++i) {
        if (outs[i].kind != Out::Kind::text) continue;
        const auto* value = std::get_if<std::string>(texts[i]);
        const std::size_t needed = value == nullptr ? QUILLFERN_NO_VALUE : value->size();
        if (value != nullptr && needed > outs[i].capacity) room = false;
        if (outs[i].length != nullptr) *outs[i].length = needed;
      }
    }
    if (!room) {
      context->box.held.clear();
      return QUILLFERN_TOO_SMALL;
    }
    if (status == 0) {
      for (std::size_t i = 0; i < outs.size(); ++i) {
        if (outs[i].kind == Out::Kind::boolean) {
          *outs[i].flag = quillfern::to_bool(*texts[i]) ? 1 : 0;
        } else if (const auto* value = std::get_if<std::string>(texts[i]); value != nullptr && !value->empty()) {
          std::memcpy(outs[i].data, value->data(), value->size());
        }
      }
      if (state != nullptr) *state = reached;
    }
    // The boxes, now that the call is over; the callback may use the
    // context again.
    std::vector<quillfern::platform::Message> shown;
    shown.swap(context->box.held);
    for (const auto& message : shown) {
      if (message.style == style_refusal && status == 0) status = QUILLFERN_REFUSED;
      if (context->callback != nullptr) {
        (void)context->callback(context->user_data, message.text.c_str(), message.style, message.title.c_str());
      }
    }
    return status == 0 && lost ? QUILLFERN_LOST : status;
  } catch (const std::bad_alloc&) {
    return out_of_memory;
  } catch (...) {
    return QUILLFERN_INTERNAL;
  }
}

// The call of the row of Method; the number of arguments and outputs is
// held to the row while compiling.
template <auto Method, std::size_t I, std::size_t O>
int call(quillfern_context* context, const std::array<In, I>& ins, const std::array<Out, O>& outs,
         std::uint32_t* state = nullptr) {
  constexpr const Operation& op = quillfern::operation_of<Method>();
  static_assert(I == inputs_of(op), "the C function takes every argument the row reads");
  static_assert(O == outputs_of(op), "the C function gives every text the row writes");
  return run(op, context, ins, outs, state);
}

std::int32_t reading_kind(quillfern::ReadingKind kind) {
  switch (kind) {
    case quillfern::ReadingKind::hex: return QUILLFERN_READING_HEX;
    case quillfern::ReadingKind::password: return QUILLFERN_READING_PASSWORD;
    case quillfern::ReadingKind::shift: return QUILLFERN_READING_SHIFT;
    case quillfern::ReadingKind::text_box: return QUILLFERN_READING_TEXT_BOX;
    case quillfern::ReadingKind::cipher_text: return QUILLFERN_READING_CIPHER_TEXT;
  }
  return 0;
}

constexpr std::array<In, 0> none_in{};
constexpr std::array<Out, 0> none_out{};

}  // namespace

extern "C" {

QUILLFERN_API const char* QUILLFERN_CALL quillfern_version(void) { return quillfern::version_string; }

QUILLFERN_API const char* QUILLFERN_CALL quillfern_strerror(int status) {
  switch (status) {
    case 0: return "Success";
    case QUILLFERN_TOO_SMALL: return "An output buffer is too small: its length says how much room is needed";
    case QUILLFERN_REFUSED: return "The control refused the input and said so in a message box";
    case QUILLFERN_INVALID_ARGUMENT: return "Invalid argument: a NULL pointer, a length out of range or an unknown code page";
    case QUILLFERN_LOST: return "The result was written, but codes were dropped from it or it was cut short";
    case QUILLFERN_INTERNAL: return "Internal error of the library";
    case out_of_memory: return "Out of memory";
    default: break;
  }
  // The descriptions are literals, and so end with a NUL.
  return quillfern::describe(static_cast<quillfern::ErrorNumber>(status)).data();
}

QUILLFERN_API int QUILLFERN_CALL quillfern_context_new(int code_page, quillfern_context** context) {
  if (context == nullptr) return QUILLFERN_INVALID_ARGUMENT;
  *context = nullptr;
  quillfern::CodePage page;
  switch (code_page) {
    case QUILLFERN_CODE_PAGE_NONE: page = quillfern::CodePage::none; break;
    case QUILLFERN_CODE_PAGE_LATIN1: page = quillfern::CodePage::latin1; break;
    case QUILLFERN_CODE_PAGE_1252: page = quillfern::CodePage::cp1252; break;
    default: return QUILLFERN_INVALID_ARGUMENT;
  }
  *context = new (std::nothrow) quillfern_context(page);
  return *context == nullptr ? out_of_memory : 0;
}

QUILLFERN_API void QUILLFERN_CALL quillfern_context_free(quillfern_context* context) { delete context; }

QUILLFERN_API int QUILLFERN_CALL quillfern_set_message_box(quillfern_context* context, quillfern_message_box box,
                                                           void* user_data) {
  if (context == nullptr) return QUILLFERN_INVALID_ARGUMENT;
  context->callback = box;
  context->user_data = user_data;
  return 0;
}

QUILLFERN_API int QUILLFERN_CALL quillfern_get_generator_state(quillfern_context* context, std::uint32_t* state) {
  if (context == nullptr || state == nullptr) return QUILLFERN_INVALID_ARGUMENT;
  *state = context->host.runtime().random().state();
  return 0;
}

QUILLFERN_API int QUILLFERN_CALL quillfern_set_generator_state(quillfern_context* context, std::uint32_t state) {
  if (context == nullptr || state > 0xFFFFFF) return QUILLFERN_INVALID_ARGUMENT;
  context->host.runtime().random().set_state(state);
  return 0;
}

// ---- the generator -----------------------------------------------------------

QUILLFERN_API int QUILLFERN_CALL quillfern_rnd(std::uint32_t* state, float argument, float* value) {
  if (state == nullptr || value == nullptr || *state > quillfern::files::BasicRandom::state_mask) {
    return QUILLFERN_INVALID_ARGUMENT;
  }
  quillfern::files::BasicRandom random(*state);
  *value = random.rnd(argument);
  *state = random.state();
  return 0;
}

QUILLFERN_API int QUILLFERN_CALL quillfern_rnd_last(std::uint32_t state, float* value) {
  if (value == nullptr || state > quillfern::files::BasicRandom::state_mask) return QUILLFERN_INVALID_ARGUMENT;
  *value = quillfern::files::BasicRandom(state).last();
  return 0;
}

QUILLFERN_API int QUILLFERN_CALL quillfern_randomize(std::uint32_t* state, double value) {
  if (state == nullptr || *state > quillfern::files::BasicRandom::state_mask) return QUILLFERN_INVALID_ARGUMENT;
  quillfern::files::BasicRandom random(*state);
  random.randomize(value);
  *state = random.state();
  return 0;
}

QUILLFERN_API int QUILLFERN_CALL quillfern_randomize_timer(std::uint32_t* state, float seconds) {
  if (state == nullptr || *state > quillfern::files::BasicRandom::state_mask) return QUILLFERN_INVALID_ARGUMENT;
  quillfern::files::BasicRandom random(*state);
  random.randomize_timer(seconds);
  *state = random.state();
  return 0;
}

// ---- identify ---------------------------------------------------------------

QUILLFERN_API int QUILLFERN_CALL quillfern_identify(const char* text, size_t text_length, int all,
                                                    quillfern_reading* readings, size_t readings_capacity,
                                                    size_t* readings_count) {
  if ((text == nullptr && text_length > 0) || text_length > QUILLFERN_MAX_LENGTH ||
      (readings == nullptr && readings_capacity > 0)) {
    return QUILLFERN_INVALID_ARGUMENT;
  }
  try {
    quillfern::IdentifyOptions options;
    options.all = all != 0;
    options.kept = 0;
    const std::vector<quillfern::Reading> found =
        quillfern::identify(std::string_view(text == nullptr ? "" : text, text_length), options);
    if (readings_count != nullptr) *readings_count = found.size();
    if (found.size() > readings_capacity) return QUILLFERN_TOO_SMALL;
    for (std::size_t i = 0; i < found.size(); ++i) {
      const quillfern::Reading& from = found[i];
      quillfern_reading to{};
      to.kind = reading_kind(from.kind);
      to.plausible = from.plausible ? 1 : 0;
      to.key = static_cast<std::uint32_t>(from.key);
      const std::size_t kept = std::min(from.password.size(), sizeof to.password - 1);
      to.password_length = static_cast<std::uint32_t>(kept);
      std::memcpy(to.password, from.password.data(), kept);
      to.bits = from.bits;
      to.bits_per_code = from.bits_per_code;
      to.length = from.length;
      readings[i] = to;
    }
    return 0;
  } catch (const std::bad_alloc&) {
    return out_of_memory;
  } catch (...) {
    return QUILLFERN_INTERNAL;
  }
}

// ---- the operations ---------------------------------------------------------

QUILLFERN_API int QUILLFERN_CALL quillfern_get_Enabled(quillfern_context* context, int* Result) {
  return call<quillfern::member<bool() const noexcept>(&Encryption::Enabled)>(context, none_in,
                                                                              std::array{boolean_out(Result)});
}
QUILLFERN_API int QUILLFERN_CALL quillfern_put_Enabled(quillfern_context* context, int Enabled) {
  return call<quillfern::member<void(bool)>(&Encryption::Enabled)>(context, std::array{boolean_in(Enabled)}, none_out);
}
QUILLFERN_API int QUILLFERN_CALL quillfern_About(quillfern_context* context) {
  return call<&Encryption::About>(context, none_in, none_out);
}
QUILLFERN_API int QUILLFERN_CALL quillfern_EncryptPassword(quillfern_context* context, unsigned char Number, const char* DecryptedPassword, size_t DecryptedPassword_length, char* OutPut, size_t OutPut_capacity, size_t* OutPut_length) {
  return call<&Encryption::EncryptPassword>(context, std::array{byte_in(Number), text_in(DecryptedPassword, DecryptedPassword_length)}, std::array{text_out(OutPut, OutPut_capacity, OutPut_length)});
}
QUILLFERN_API int QUILLFERN_CALL quillfern_DecryptPassword(quillfern_context* context, unsigned char Number, const char* EncryptedPassword, size_t EncryptedPassword_length, char* OutPut, size_t OutPut_capacity, size_t* OutPut_length) {
  return call<&Encryption::DecryptPassword>(context, std::array{byte_in(Number), text_in(EncryptedPassword, EncryptedPassword_length)}, std::array{text_out(OutPut, OutPut_capacity, OutPut_length)});
}
QUILLFERN_API int QUILLFERN_CALL quillfern_convert(quillfern_context* context, const char* InPutString, size_t InPutString_length, char* OutPut, size_t OutPut_capacity, size_t* OutPut_length) {
  return call<&Encryption::convert>(context, std::array{text_in(InPutString, InPutString_length)}, std::array{text_out(OutPut, OutPut_capacity, OutPut_length)});
}
QUILLFERN_API int QUILLFERN_CALL quillfern_DeConvert(quillfern_context* context, const char* InPutString, size_t InPutString_length, char* OutPut, size_t OutPut_capacity, size_t* OutPut_length) {
  return call<&Encryption::DeConvert>(context, std::array{text_in(InPutString, InPutString_length)}, std::array{text_out(OutPut, OutPut_capacity, OutPut_length)});
}
QUILLFERN_API int QUILLFERN_CALL quillfern_EasyCryptEnCode(quillfern_context* context, const char* InPutString, size_t InPutString_length, char* OutPut, size_t OutPut_capacity, size_t* OutPut_length) {
  return call<&Encryption::EasyCryptEnCode>(context, std::array{text_in(InPutString, InPutString_length)}, std::array{text_out(OutPut, OutPut_capacity, OutPut_length)});
}
QUILLFERN_API int QUILLFERN_CALL quillfern_EasyCryptDeCode(quillfern_context* context, const char* InPutString, size_t InPutString_length, char* OutPut, size_t OutPut_capacity, size_t* OutPut_length) {
  return call<&Encryption::EasyCryptDeCode>(context, std::array{text_in(InPutString, InPutString_length)}, std::array{text_out(OutPut, OutPut_capacity, OutPut_length)});
}
QUILLFERN_API int QUILLFERN_CALL quillfern_EncodeDecodeFile(quillfern_context* context, const quillfern_path_char* InputFile, const quillfern_path_char* OutputFile, const char* Password, size_t Password_length, uint32_t* state) {
  if (state != nullptr && *state > 0xFFFFFF) return QUILLFERN_INVALID_ARGUMENT;
  return call<&Encryption::EncodeDecodeFile>(context, std::array{path_in(InputFile), path_in(OutputFile), text_in(Password, Password_length)}, none_out, state);
}
QUILLFERN_API int QUILLFERN_CALL quillfern_PowerEncryption(quillfern_context* context, const char* InPutString, size_t InPutString_length, char* Result, size_t Result_capacity, size_t* Result_length) {
  return call<&Encryption::PowerEncryption>(context, std::array{text_in(InPutString, InPutString_length)}, std::array{text_out(Result, Result_capacity, Result_length)});
}
QUILLFERN_API int QUILLFERN_CALL quillfern_FastBlowFish(quillfern_context* context, const char* InPutString, size_t InPutString_length, char* OutPut, size_t OutPut_capacity, size_t* OutPut_length, const char* Password, size_t Password_length) {
  return call<&Encryption::FastBlowFish>(context, std::array{text_in(InPutString, InPutString_length), text_in(Password, Password_length)}, std::array{text_out(OutPut, OutPut_capacity, OutPut_length)});
}
QUILLFERN_API int QUILLFERN_CALL quillfern_SeedEncryption(quillfern_context* context, const char* InPutString, size_t InPutString_length, const char* SeedPassword, size_t SeedPassword_length, char* Result, size_t Result_capacity, size_t* Result_length) {
  return call<&Encryption::SeedEncryption>(context, std::array{text_in(InPutString, InPutString_length), text_in(SeedPassword, SeedPassword_length)}, std::array{text_out(Result, Result_capacity, Result_length)});
}
QUILLFERN_API int QUILLFERN_CALL quillfern_TextBoxCrypt(quillfern_context* context, const char* InPutText, size_t InPutText_length, const char* Password, size_t Password_length, char* Password_out, size_t Password_out_capacity, size_t* Password_out_length, char* Result, size_t Result_capacity, size_t* Result_length) {
  return call<&Encryption::TextBoxCrypt>(context, std::array{text_in(InPutText, InPutText_length), text_in(Password, Password_length)}, std::array{text_out(Password_out, Password_out_capacity, Password_out_length), text_out(Result, Result_capacity, Result_length)});
}
QUILLFERN_API int QUILLFERN_CALL quillfern_TextBoxDeCrypt(quillfern_context* context, const char* InPutText, size_t InPutText_length, const char* Password, size_t Password_length, char* Password_out, size_t Password_out_capacity, size_t* Password_out_length, char* Result, size_t Result_capacity, size_t* Result_length) {
  return call<&Encryption::TextBoxDeCrypt>(context, std::array{text_in(InPutText, InPutText_length), text_in(Password, Password_length)}, std::array{text_out(Password_out, Password_out_capacity, Password_out_length), text_out(Result, Result_capacity, Result_length)});
}
QUILLFERN_API int QUILLFERN_CALL quillfern_DeCipherText(quillfern_context* context, const char* CipherString, size_t CipherString_length, const char* Password, size_t Password_length, char* Result, size_t Result_capacity, size_t* Result_length) {
  return call<&Encryption::DeCipherText>(context, std::array{text_in(CipherString, CipherString_length), text_in(Password, Password_length)}, std::array{text_out(Result, Result_capacity, Result_length)});
}
QUILLFERN_API int QUILLFERN_CALL quillfern_EnCipherText(quillfern_context* context, const char* CipherInString, size_t CipherInString_length, const char* Password, size_t Password_length, char* Result, size_t Result_capacity, size_t* Result_length) {
  return call<&Encryption::EnCipherText>(context, std::array{text_in(CipherInString, CipherInString_length), text_in(Password, Password_length)}, std::array{text_out(Result, Result_capacity, Result_length)});
}
QUILLFERN_API int QUILLFERN_CALL quillfern_WipeFileClean(quillfern_context* context, const quillfern_path_char* FileName) {
  return call<&Encryption::WipeFileClean>(context, std::array{path_in(FileName)}, none_out);
}

}  // extern "C"
