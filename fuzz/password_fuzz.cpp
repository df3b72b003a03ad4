// The password cipher: only errors 5 and 6, lengths kept, and a text that
// encrypts decrypts back to itself.
#include "fuzz_support.hpp"
#include "quillfern/transforms/password.hpp"

using namespace quillfern;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const std::uint8_t number = input.byte();
  const std::string text = input.text(600);
  try {
    std::string scrambled = transforms::encrypt_password(number, text);
    QF_FUZZ_CHECK(scrambled.size() == text.size());
    QF_FUZZ_CHECK(text.size() <= transforms::password_max_length);
    QF_FUZZ_CHECK(number <= 10 || text.empty());
    QF_FUZZ_CHECK(transforms::decrypt_password(number, scrambled) == text);
  } catch (const Error& e) {
    QF_FUZZ_CHECK(fuzz::error_is(e, {ErrorNumber::invalid_call, ErrorNumber::overflow}));
    QF_FUZZ_CHECK(e.number() != ErrorNumber::overflow || text.size() > transforms::password_max_length);
  }
  try {
    std::string restored = transforms::decrypt_password(number, text);
    QF_FUZZ_CHECK(restored.size() == text.size());
  } catch (const Error& e) {
    QF_FUZZ_CHECK(fuzz::error_is(e, {ErrorNumber::invalid_call, ErrorNumber::overflow}));
  }
  return 0;
}
