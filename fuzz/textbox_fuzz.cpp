// The text-box pair: never fails, never lengthens the text, tells an empty
// result apart from an empty text, counts every dropped code, undoes itself
// when nothing was dropped, and agrees with the step-by-step cipher and
// across its kernels.
#include "fuzz_support.hpp"
#include "quillfern/ciphers/textbox.hpp"
#include "quillfern/ciphers/textbox_kernels.hpp"
#include "tests/reference/textbox_reference.hpp"

using namespace quillfern;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const std::uint8_t flags = input.byte();
  const bool crypt = (flags & 1) != 0;
  const std::string password = input.text(600);
  const std::string text = input.rest();
  const std::uint64_t key = ciphers::text_box_key(password);
  const auto result = crypt ? ciphers::text_box_crypt(text, key) : ciphers::text_box_decrypt(text, key);
  const std::size_t produced = result.text ? result.text->size() : 0;
  QF_FUZZ_CHECK(!result.text || !result.text->empty());
  QF_FUZZ_CHECK(produced + result.dropped == text.size());
  QF_FUZZ_CHECK((result.dropped == 0) == (result.first_dropped == 0));
  QF_FUZZ_CHECK(result.first_dropped <= text.size());
  if (result.dropped == 0 && result.text) {
    const auto back = crypt ? ciphers::text_box_decrypt(*result.text, key) : ciphers::text_box_crypt(*result.text, key);
    QF_FUZZ_CHECK(back.text == text);
  }
  // The stream, cut at random places, gives the same, through the chosen
  // kernel and the portable one.
  for (const cpu::Kernel kernel : {cpu::kernel_level(), cpu::Kernel::portable}) {
    ciphers::TextBoxStream stream(crypt ? ciphers::TextBoxStream::Direction::crypt
                                        : ciphers::TextBoxStream::Direction::decrypt, key);
    ciphers::TextBoxKernels::use(stream, kernel);
    std::string streamed;
    std::size_t at = 0;
    for (std::size_t piece : fuzz::cut_points(text.size(), flags >> 1)) {
      std::string chunk = text.substr(at, piece);
      at += piece;
      chunk.resize(stream.process(chunk.data(), chunk.size(), chunk.data()));
      streamed += chunk;
    }
    QF_FUZZ_CHECK(streamed == result.text.value_or(""));
    QF_FUZZ_CHECK(stream.dropped() == result.dropped && stream.first_dropped() == result.first_dropped);
  }
  std::string reference_password = password;
  QF_FUZZ_CHECK(reference::text_box(crypt, text, reference_password) == result.text);
  QF_FUZZ_CHECK(reference_password == ciphers::text_box_key_text(key));
  QF_FUZZ_CHECK(ciphers::text_box_read_key(reference_password) == key);
  return 0;
}
