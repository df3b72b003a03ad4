#include "cli/explain.hpp"

#include <array>
#include <optional>
#include <vector>

#include "quillfern/control/encryption.hpp"
#include "quillfern/control/interface.hpp"
#include "quillfern/transforms/password.hpp"
#include "quillfern/transforms/power.hpp"
#include "quillfern/transforms/seed.hpp"
#include "quillfern/transforms/shift.hpp"

namespace quillfern::cli {
namespace {

using Cipher = std::string (*)(std::uint8_t, std::string_view);

bool succeeds(Cipher cipher, std::uint8_t key, std::string_view probe) {
  try {
    (void)cipher(key, probe);
    return true;
  } catch (const Error&) {
    return false;
  }
}

// Which codes the cipher takes under `key` at odd and at even positions,
// found by asking the cipher itself one code at a time (an even position
// after a code that the odd one takes).
struct Accepted {
  std::array<bool, 256> odd{};
  std::array<bool, 256> even{};
};

Accepted accepted(Cipher cipher, std::uint8_t key) {
  Accepted result;
  std::optional<char> lead;
  for (int c = 0; c < 256; ++c) {
    result.odd[static_cast<std::size_t>(c)] = succeeds(cipher, key, std::string(1, static_cast<char>(c)));
    if (!lead && result.odd[static_cast<std::size_t>(c)]) lead = static_cast<char>(c);
  }
  for (int c = 0; lead && c < 256; ++c) {
    result.even[static_cast<std::size_t>(c)] = succeeds(cipher, key, std::string{*lead, static_cast<char>(c)});
  }
  return result;
}

// "at most 250", "at least 5", "from 3 to 9", "no code", or the codes it
// does not take.
std::string describe(const std::array<bool, 256>& takes) {
  int first = -1;
  int last = -1;
  int count = 0;
  for (int c = 0; c < 256; ++c) {
    if (!takes[static_cast<std::size_t>(c)]) continue;
    if (first < 0) first = c;
    last = c;
    ++count;
  }
  if (count == 0) return "no code";
  if (count == 256) return "every code";
  if (count == last - first + 1) {
    if (first == 0) return "at most " + std::to_string(last);
    if (last == 255) return "at least " + std::to_string(first);
    return "codes " + std::to_string(first) + " to " + std::to_string(last);
  }
  std::string refused;
  int shown = 0;
  for (int c = 0; c < 256; ++c) {
    if (takes[static_cast<std::size_t>(c)]) continue;
    if (shown++ == 8) {
      refused += ", ...";
      break;
    }
    refused += (refused.empty() ? "" : ", ") + std::to_string(c);
  }
  return "every code but " + refused;
}

std::string at(std::size_t index, std::string_view text) {
  return "at character " + std::to_string(index + 1) + " (code " +
         std::to_string(static_cast<unsigned char>(text[index])) + ")";
}

std::string too_long(std::size_t size, std::size_t most) {
  // The length-limited commands read no further than 32768 characters.
  return "the text has " + std::to_string(size) + (size >= 32768 ? " or more" : "") +
         " characters; at most " + std::to_string(most) + " are taken";
}

std::string explain_password(Cipher cipher, const FailedCall& call, const Error& error) {
  if (error.number() == ErrorNumber::overflow) {
    return "the text has more than " + std::to_string(transforms::password_max_length) +
           " characters; the password cipher takes at most " + std::to_string(transforms::password_max_length);
  }
  const Accepted takes = accepted(cipher, call.number);
  for (std::size_t k = 0; k < call.text.size() && k < transforms::password_max_length; ++k) {
    const bool odd = k % 2 == 0;
    const auto code = static_cast<unsigned char>(call.text[k]);
    if ((odd ? takes.odd : takes.even)[code]) continue;
    return at(k, call.text) + ": key " + std::to_string(call.number) + " takes " +
           describe(odd ? takes.odd : takes.even) + (odd ? " at odd positions" : " at even positions");
  }
  return {};
}

std::string explain_shift(const FailedCall& call, const Error& error, char failing, std::string_view what) {
  if (error.number() == ErrorNumber::overflow) return too_long(call.text.size(), transforms::shift_max_length);
  const std::size_t k = call.text.find(failing);
  if (k == std::string_view::npos) return {};
  return at(k, call.text) + ": " + std::string(what);
}

}  // namespace

std::string explain(const FailedCall& call, const Error& error) {
  if (error.number() != ErrorNumber::invalid_call && error.number() != ErrorNumber::overflow) return {};
  const Operation* op = &call.operation;
  if (op == &operation_of<&Encryption::EncryptPassword>()) {
    return explain_password(transforms::encrypt_password, call, error);
  }
  if (op == &operation_of<&Encryption::DecryptPassword>()) {
    return explain_password(transforms::decrypt_password, call, error);
  }
  if (op == &operation_of<&Encryption::EasyCryptEnCode>()) {
    return explain_shift(call, error, '\xff', "code 255 cannot be raised");
  }
  if (op == &operation_of<&Encryption::EasyCryptDeCode>()) {
    return explain_shift(call, error, '\0', "code 0 cannot be lowered");
  }
  if (op == &operation_of<&Encryption::SeedEncryption>()) {
    if (error.number() == ErrorNumber::overflow) return too_long(call.text.size(), transforms::seed_max_length);
    return "the seed has " + std::to_string(call.seed_size) + " codes, fewer than the text's " +
           std::to_string(call.text.size());
  }
  if (op == &operation_of<&Encryption::PowerEncryption>()) {
    return too_long(call.text.size(), transforms::power_max_length);
  }
  return {};
}

Error explained(const FailedCall& call, const Error& error) {
  std::string detail = explain(call, error);
  if (detail.empty()) return error;
  return Error(error.number(), detail);
}

}  // namespace quillfern::cli
