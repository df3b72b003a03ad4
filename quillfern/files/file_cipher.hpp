// The file cipher of EncodeDecodeFile: every byte of a file exclusive-ored
// with a key byte from the runtime's generator, seeded from a password.
// Encoding and decoding are the same operation; the encoded file has the
// input's length and no header.
//
// The key stream: for each password character c, draw c times and reseed
// with the last draw rounded (0 or 1; a character 0 draws nothing and
// reseeds with the value before). Then for byte n (from 0): draw once, the
// key byte is the top 8 bits of the new state, and skip 2 * p draws, p
// being the code of password character n mod (password length). Each byte
// is thus one affine map of the state per password position, and lanes
// that leap a fixed number of bytes ahead make the stream as fast as memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "quillfern/core/secret.hpp"

#include "quillfern/core/basic_random.hpp"
#include "quillfern/platform/replace_options.hpp"

namespace quillfern::files {

// The key stream of one password, from a generator state on.
class KeyStream {
 public:
  // Seeds `random` from `password` as the cipher does (draws and reseeds)
  // and starts the stream at its new state; `random` itself is left as it
  // was. Throws Error 5 for an empty password: it has no character to skip
  // by.
  KeyStream(std::string_view password, const BasicRandom& random);
  KeyStream(const KeyStream&) = default;
  KeyStream& operator=(const KeyStream&) = default;
  // Clears the tables, which are derived from the password.
  ~KeyStream();

  // Writes `size` bytes of `in` exclusive-ored with the next key bytes to
  // `out`, which may be `in` itself (or not overlap it at all).
  void apply(const unsigned char* in, unsigned char* out, std::size_t size) noexcept;
  void apply(unsigned char* data, std::size_t size) noexcept { apply(data, data, size); }

  // The generator's state after the bytes applied so far.
  [[nodiscard]] std::uint32_t state() const noexcept { return state_; }

  // The state a generator reaches when seeded from `password` starting at
  // `state`; any password, the empty one included (which changes nothing).
  [[nodiscard]] static std::uint32_t seeded_state(std::string_view password, std::uint32_t state) noexcept;

  // Chooses the lanes' kernel for the tests and the benchmarks that
  // compare them (quillfern/files/file_cipher_kernels.hpp).
  friend class KeyStreamKernels;

  // Number of bytes a lane leaps per step.
  static constexpr std::size_t lanes = 32;

 private:
  void apply_bytes(const unsigned char* in, unsigned char* out, std::size_t size) noexcept;

  SecretVector<AffineMap> skip_maps_;  // per password position: the 2p draws skipped
  std::uint32_t state_;               // generator state before the next byte's draw
  std::size_t position_ = 0;          // password position of the next byte

  // Lane tables: for step phase f and lane m, the map that carries lane m
  // 32 bytes ahead, stored as multipliers then increments (phase-major).
  // A lane step starts at a password position that is a multiple of
  // `alignment_`; phase_of_[q / alignment_] is the phase for position q.
  // Cache-line aligned, so no vector load of a phase straddles two lines.
  SecretVector<std::uint32_t, AlignedAllocator<std::uint32_t, 64>> lane_multipliers_;
  SecretVector<std::uint32_t, AlignedAllocator<std::uint32_t, 64>> lane_increments_;
  SecretVector<std::uint32_t> phase_of_;
  std::size_t alignment_ = 1;
  std::size_t phases_ = 0;  // 0: lanes not used (a very long password)
  bool fast_lanes_ = false;  // the AVX2 lanes, else the portable ones
};

// The file cipher over bytes in memory: `data` under `password`, with the
// generator `random`, which is left where the cipher leaves it (seeded
// from the password even for empty data). Throws Error 5 for an empty
// password with non-empty data, and then nothing changes.
[[nodiscard]] std::string encode_decode(std::string_view data, std::string_view password,
                                        BasicRandom& random);

// Told how many bytes of how many are done; called once per block, so it
// may also stop the work by throwing.
using FileProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// EncodeDecodeFile: writes `output_file` as the bytes of `input_file`
// under `password`, drawing from `random`, which is advanced only when the
// call succeeds. The output is written through platform::ReplacingFile
// with `output_options`: a new file beside it, flushed to the device and
// renamed over it only on success, so the output is either complete
// (exactly the input's length) or as it was; an output that is the input
// itself, by its name or another, works. A symbolic link is replaced where
// its chain ends; a device, a pipe or /dev/stdout is written in place. The
// input is read to the length it had when opened (to its end when that
// length is 0 or unknown: pipes, the files of /proc).
// Throws Error: 53 for a missing input (nothing is created), 5 for an
// empty password with a non-empty input (before any output), 57 for an
// input that became shorter while it was read, 70 (ReadOnlyOutput) for a
// read-only output unless the options allow it, and the file errors 52,
// 57, 61, 70, 75, 76.
void encode_decode_file(const std::string& input_file, const std::string& output_file,
                        std::string_view password, BasicRandom& random,
                        const FileProgress& progress = {},
                        const platform::ReplaceOptions& output_options = {});

}  // namespace quillfern::files
