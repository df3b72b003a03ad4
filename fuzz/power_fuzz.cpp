// PowerEncryption: the same result or error as the step-by-step passes in
// every code page; success exactly up to 255 characters with the length
// kept, error 5 from 256 and error 6 past 32767; lower and upper case of
// a to z give the same result.
#include "fuzz_support.hpp"
#include "quillfern/transforms/power.hpp"
#include "tests/reference/transforms_reference.hpp"

using namespace quillfern;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const std::uint8_t choice = input.byte();
  const CodePage page = choice % 3 == 0 ? CodePage::cp1252 : choice % 3 == 1 ? CodePage::latin1 : CodePage::none;
  std::string text = input.rest();
  // Now and then stretch the text past the 32767 limit.
  if ((choice & 0x80) != 0 && !text.empty()) {
    const std::string pattern = text;
    while (text.size() <= 32767) text += pattern;
  }

  const std::string got = fuzz::outcome([&] { return transforms::power_encryption(text, page); });
  QF_FUZZ_CHECK(got == fuzz::outcome([&] { return reference::power_encryption(text, page); }));
  if (text.size() <= transforms::power_max_length) {
    QF_FUZZ_CHECK(got.size() == 3 + text.size());
    std::string flipped = text;
    for (char& ch : flipped) {
      if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 32);
      else if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
    }
    QF_FUZZ_CHECK(transforms::power_encryption(flipped, page) == got.substr(3));
  } else {
    QF_FUZZ_CHECK(got == (text.size() > 32767 ? "error 6" : "error 5"));
  }
  return 0;
}
