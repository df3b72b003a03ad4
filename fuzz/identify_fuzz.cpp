// identify on any text: every reading restores the text through its own
// operation (the kept codes are the restored text's first ones, the length
// is its whole length), the readings come plausible first and fewer bits
// first, the plausible ones are exactly those shown without --all, and the
// bounds on key numbers and password lengths hold.
#include "fuzz_support.hpp"
#include "quillfern/ciphers/cipher_text.hpp"
#include "quillfern/ciphers/textbox.hpp"
#include "quillfern/control/identify.hpp"
#include "quillfern/transforms/hex.hpp"
#include "quillfern/transforms/password.hpp"
#include "quillfern/transforms/shift.hpp"

using namespace quillfern;

namespace {

// The whole text the reading's operation restores.
std::string restored(const Reading& r, std::string_view text) {
  switch (r.kind) {
    case ReadingKind::hex: return transforms::deconvert(text);
    case ReadingKind::password: return transforms::decrypt_password(static_cast<std::uint8_t>(r.key), text);
    case ReadingKind::shift: return transforms::easy_crypt_decode(text);
    case ReadingKind::text_box: {
      const auto result = ciphers::text_box_decrypt(text, r.key);
      QF_FUZZ_CHECK(result.dropped == 0);
      return result.text.value_or(std::string());
    }
    case ReadingKind::cipher_text: {
      const auto result = ciphers::decipher_text(text, r.password);
      QF_FUZZ_CHECK(result.verdict == ciphers::CipherVerdict::done && result.stopped_at == 0);
      return result.text;
    }
  }
  return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  IdentifyOptions options;
  options.all = true;
  options.max_key = input.byte() * 5u;
  options.max_password = input.byte();
  options.kept = input.byte();
  const std::string text = input.rest();

  const auto readings = identify(text, options);
  std::size_t plausible = 0;
  for (std::size_t i = 0; i < readings.size(); ++i) {
    const Reading& r = readings[i];
    const std::string whole = restored(r, text);
    QF_FUZZ_CHECK(r.length == whole.size());
    QF_FUZZ_CHECK(r.text == whole.substr(0, options.kept));
    QF_FUZZ_CHECK(r.kind != ReadingKind::text_box || r.key <= options.max_key);
    QF_FUZZ_CHECK(r.kind != ReadingKind::cipher_text ||
                  (!r.password.empty() && r.password.size() <= options.max_password));
    QF_FUZZ_CHECK(!r.plausible || r.length > 0 || r.kind == ReadingKind::cipher_text);
    plausible += r.plausible ? 1 : 0;
    if (i > 0) {
      const Reading& before = readings[i - 1];
      QF_FUZZ_CHECK(before.plausible >= r.plausible);
      QF_FUZZ_CHECK(before.plausible != r.plausible || before.bits <= r.bits);
    }
  }
  options.all = false;
  const auto shown = identify(text, options);
  QF_FUZZ_CHECK(shown.size() == plausible);
  for (const Reading& r : shown) QF_FUZZ_CHECK(r.plausible);
  return 0;
}
