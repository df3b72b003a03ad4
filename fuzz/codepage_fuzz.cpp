// Code-page conversions: every code survives a round trip through UTF-8,
// any UTF-8 that converts comes back as the same text, and converting in
// pieces gives what converting whole gives, errors and their offsets too.
#include "fuzz_support.hpp"
#include "quillfern/core/codepage.hpp"

using namespace quillfern;

namespace {

// The codes of `bytes` decoded `piece` bytes at a time, or the offset of
// the error.
std::string decode_in_pieces(std::string_view bytes, CodePage page, std::size_t piece,
                             std::size_t& error_offset) {
  Utf8Decoder decoder(page);
  std::string codes;
  try {
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
      QF_FUZZ_CHECK(decoder.decode(bytes.substr(at, piece), codes) == std::min(piece, bytes.size() - at));
    }
    decoder.finish();
  } catch (const EncodingError& e) {
    error_offset = e.offset();
  }
  return codes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const std::uint8_t first = input.byte();
  const CodePage page = first % 2 == 0 ? CodePage::cp1252 : CodePage::latin1;
  const std::size_t piece = first / 2 % 8 + 1;
  const std::string bytes = input.rest();

  QF_FUZZ_CHECK(from_utf8(to_utf8(bytes, page), page) == bytes);
  std::size_t piece_error = static_cast<std::size_t>(-1);
  const std::string pieces = decode_in_pieces(bytes, page, piece, piece_error);
  try {
    const std::string codes = from_utf8(bytes, page);
    QF_FUZZ_CHECK(codes.size() <= bytes.size());
    QF_FUZZ_CHECK(to_utf8(codes, page) == bytes);
    QF_FUZZ_CHECK(piece_error == static_cast<std::size_t>(-1) && pieces == codes);
  } catch (const EncodingError& e) {
    QF_FUZZ_CHECK(e.offset() < bytes.size());
    QF_FUZZ_CHECK(piece_error == e.offset());
  }
  // A decoder told to stop after n codes gives the first n codes.
  Utf8Decoder decoder(page);
  std::string head;
  try {
    (void)decoder.decode(bytes, head, piece);
    QF_FUZZ_CHECK(head.size() <= piece && pieces.starts_with(head));
  } catch (const EncodingError&) {
  }
  return 0;
}
