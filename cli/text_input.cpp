#include "cli/text_input.hpp"

#include <algorithm>

namespace quillfern::cli {
namespace {

constexpr std::size_t piece_size = std::size_t{64} << 10;

}  // namespace

TextReader::TextReader(const std::string& path, CodePage encoding) : input_(path) {
  if (encoding != CodePage::none) decoder_.emplace(encoding);
}

std::size_t TextReader::read(std::string& codes, std::size_t most) {
  const std::size_t before = codes.size();
  if (!decoder_) {
    // Every byte is a code: read straight into the text.
    const std::size_t wanted = std::min(most, piece_size);
    codes.resize(before + wanted);
    const std::size_t got = input_.read(codes.data() + before, wanted);
    codes.resize(before + got);
    return got;
  }
  const std::size_t target = before + std::min(most, codes.max_size() - before);
  try {
    while (codes.size() < target) {
      if (decoded_ == bytes_.size()) {
        if (ended_) break;
        // At least one byte per code: a limited read never reads more than
        // the rest of the last character past the limit.
        const std::size_t wanted = std::min(piece_size, target - codes.size());
        bytes_.resize(wanted);
        bytes_.resize(input_.read(bytes_.data(), wanted));
        decoded_ = 0;
        if (bytes_.empty()) {
          ended_ = true;
          decoder_->finish();
          break;
        }
      }
      decoded_ += decoder_->decode(std::string_view(bytes_).substr(decoded_), codes, target);
    }
  } catch (const EncodingError& e) {
    throw IoError(std::string("input: ") + e.what());
  }
  return codes.size() - before;
}

std::string read_text(const std::string& path, CodePage encoding, std::size_t most) {
  TextReader reader(path, encoding);
  std::string codes;
  while (codes.size() < most && reader.read(codes, most - codes.size()) != 0) {
  }
  return codes;
}

}  // namespace quillfern::cli
