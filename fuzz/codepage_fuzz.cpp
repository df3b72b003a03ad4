// Code-page conversions: every code survives a round trip through UTF-8,
// and any UTF-8 that converts comes back as the same text.
#include "fuzz_support.hpp"
#include "quillfern/core/codepage.hpp"

using namespace quillfern;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const CodePage page = input.byte() % 2 == 0 ? CodePage::cp1252 : CodePage::latin1;
  const std::string bytes = input.rest();

  QF_FUZZ_CHECK(from_utf8(to_utf8(bytes, page), page) == bytes);
  try {
    const std::string codes = from_utf8(bytes, page);
    QF_FUZZ_CHECK(codes.size() <= bytes.size());
    QF_FUZZ_CHECK(to_utf8(codes, page) == bytes);
  } catch (const EncodingError& e) {
    QF_FUZZ_CHECK(e.offset() < bytes.size());
  }
  return 0;
}
