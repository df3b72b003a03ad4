// The file cipher's protocol: a text or a whole file combined with the key
// stream, the file read in blocks and written through the one replacing
// writer, the generator left where the stream ended.
#include "quillfern/files/file_cipher.hpp"

#include <optional>
#include <vector>

#include "quillfern/core/error.hpp"
#include "quillfern/files/block_reader.hpp"
#include "quillfern/platform/file_system.hpp"

namespace quillfern::files {
namespace {

constexpr std::size_t file_block = std::size_t{1} << 20;
// The output is sent on to the device in pieces of this size while the
// rest is being written, so the final flush has little left to wait for.
constexpr std::uint64_t writeback_block = std::uint64_t{8} << 20;

}  // namespace

std::string encode_decode(std::string_view data, std::string_view password, BasicRandom& random) {
  if (data.empty()) {
    random.set_state(KeyStream::seeded_state(password, random.state()));
    return {};
  }
  KeyStream keys(password, random);
  std::string result(data);
  keys.apply(reinterpret_cast<unsigned char*>(result.data()), result.size());
  random.set_state(keys.state());
  return result;
}

void encode_decode_file(const std::string& input_file, const std::string& output_file,
                        std::string_view password, BasicRandom& random, const FileProgress& progress,
                        const platform::ReplaceOptions& output_options) {
  using namespace platform;
  File input = File::open_read(input_file);
  BlockReader reader(input, input_file);
  const std::uint64_t total = reader.size();

  std::vector<unsigned char> buffer(file_block);
  std::size_t got = reader.next(buffer.data(), buffer.size());
  // Checked before any output exists: an empty password has nothing to
  // skip by once the first byte is done.
  if (got != 0 && password.empty()) throw Error(ErrorNumber::invalid_call);

  ReplacingFile output(output_file, output_options);
  std::optional<KeyStream> keys;
  if (got != 0) keys.emplace(password, random);
  std::uint64_t done = 0, sent = 0;
  while (got != 0) {
    keys->apply(buffer.data(), got);
    output.write(buffer.data(), got);
    done += got;
    if (done - sent >= writeback_block) {
      output.start_writeback(sent, done - sent);
      sent = done;
    }
    if (progress) progress(done, total);
    got = reader.next(buffer.data(), buffer.size());
  }
  input.close();
  output.commit();
  random.set_state(keys ? keys->state() : KeyStream::seeded_state(password, random.state()));
}

}  // namespace quillfern::files
