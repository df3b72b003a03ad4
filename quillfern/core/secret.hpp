// Buffers for secrets (passwords, key streams, converted arguments) that
// clear themselves: every byte they ever held is overwritten, with a wipe
// the compiler cannot remove, when the buffer grows, when it is destroyed
// and when its content moves to another one, on every path, exceptions
// included.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillfern {

// Overwrites `size` bytes at `data` with zeros; never optimised away.
void secure_wipe(void* data, std::size_t size) noexcept;

// An allocator that overwrites every block it gives back before handing it
// on to `Base` (std::allocator, or a test's allocator that looks at what
// it gets back). A container that reallocates frees the old block through
// it, so growth leaves no copy behind.
template <typename T, typename Base = std::allocator<T>>
class WipingAllocator : public Base {
 public:
  using value_type = T;
  template <typename U>
  struct rebind {
    using other = WipingAllocator<U, typename std::allocator_traits<Base>::template rebind_alloc<U>>;
  };

  WipingAllocator() noexcept = default;
  template <typename U, typename B>
  WipingAllocator(const WipingAllocator<U, B>& other) noexcept : Base(static_cast<const B&>(other)) {}

  T* allocate(std::size_t count) { return std::allocator_traits<Base>::allocate(*this, count); }
  void deallocate(T* data, std::size_t count) noexcept {
    secure_wipe(data, count * sizeof(T));
    std::allocator_traits<Base>::deallocate(*this, data, count);
  }

  template <typename U, typename B>
  friend bool operator==(const WipingAllocator& a, const WipingAllocator<U, B>& b) noexcept {
    return static_cast<const Base&>(a) == static_cast<const B&>(b);
  }
};

// An allocator whose blocks start on a multiple of `Alignment` bytes (a
// cache line, say), for tables that vector loads read.
template <typename T, std::size_t Alignment>
struct AlignedAllocator {
  using value_type = T;
  template <typename U>
  struct rebind {
    using other = AlignedAllocator<U, Alignment>;
  };

  AlignedAllocator() noexcept = default;
  template <typename U>
  AlignedAllocator(const AlignedAllocator<U, Alignment>&) noexcept {}

  T* allocate(std::size_t count) {
    if (count > std::numeric_limits<std::size_t>::max() / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(::operator new(count * sizeof(T), std::align_val_t{Alignment}));
  }
  void deallocate(T* data, std::size_t) noexcept { ::operator delete(data, std::align_val_t{Alignment}); }

  template <typename U>
  friend bool operator==(const AlignedAllocator&, const AlignedAllocator<U, Alignment>&) noexcept {
    return true;
  }
};

// A vector whose blocks are wiped when they are freed (growth, destruction,
// exceptions). It has no inline buffer, so nothing else needs wiping.
template <typename T, typename Base = std::allocator<T>>
using SecretVector = std::vector<T, WipingAllocator<T, Base>>;
using SecretBytes = SecretVector<std::uint8_t>;

// A text that holds a secret. Its characters always live in a block of the
// wiping allocator, never in the small-string buffer inside the object
// (which a move would copy and leave behind), so the allocator's wipe
// covers every copy: the old block when it grows, its block when it is
// destroyed; a move hands the block over.
template <typename Base = std::allocator<char>>
class BasicSecretString {
 public:
  using string_type = std::basic_string<char, std::char_traits<char>, WipingAllocator<char, Base>>;

  BasicSecretString() { make_room(0); }
  explicit BasicSecretString(std::string_view text) {
    make_room(text.size());
    text_.assign(text.data(), text.size());
  }
  BasicSecretString(const BasicSecretString& other) : BasicSecretString(other.view()) {}
  BasicSecretString(BasicSecretString&& other) noexcept : text_(std::move(other.text_)) { other.wipe_inline(); }
  BasicSecretString& operator=(const BasicSecretString& other) {
    if (this != &other) {
      make_room(other.size());
      text_.assign(other.text_.data(), other.size());
    }
    return *this;
  }
  BasicSecretString& operator=(BasicSecretString&& other) noexcept {
    text_.swap(other.text_);
    other.clear();
    return *this;
  }
  ~BasicSecretString() { wipe_inline(); }

  [[nodiscard]] std::string_view view() const noexcept { return {text_.data(), text_.size()}; }
  operator std::string_view() const noexcept { return view(); }  // NOLINT: a secret reads as a view
  [[nodiscard]] const char* data() const noexcept { return text_.data(); }
  [[nodiscard]] char* data() noexcept { return text_.data(); }
  [[nodiscard]] std::size_t size() const noexcept { return text_.size(); }
  [[nodiscard]] bool empty() const noexcept { return text_.empty(); }
  [[nodiscard]] std::size_t capacity() const noexcept { return text_.capacity(); }

  BasicSecretString& operator+=(char ch) {
    make_room(size() + 1);
    text_.push_back(ch);
    return *this;
  }
  BasicSecretString& operator+=(std::string_view text) {
    make_room(size() + text.size());
    text_.append(text.data(), text.size());
    return *this;
  }
  void push_back(char ch) { *this += ch; }
  void resize(std::size_t size, char fill = '\0') {
    make_room(size);
    text_.resize(size, fill);
  }
  // Shortens to `size` characters, wiping the ones cut off.
  void truncate(std::size_t size) noexcept {
    if (size >= text_.size()) return;
    secure_wipe(text_.data() + size, text_.size() - size);
    text_.resize(size);
  }
  // Empties the text, wiping its characters; the block is kept.
  void clear() noexcept {
    secure_wipe(text_.data(), text_.capacity());
    text_.clear();
  }

  // A plain string with the same characters, for an interface that takes
  // one; the caller wipes it.
  [[nodiscard]] std::string copy() const { return std::string(view()); }

 private:
  // More than any library's small-string buffer (15 to 22 characters).
  static constexpr std::size_t smallest_block = 32;

  // Ensures the characters live in an allocated block of at least `size`
  // characters, growing by doubling; a move may have left an inline buffer.
  void make_room(std::size_t size) {
    if (size <= text_.capacity() && text_.capacity() >= smallest_block) return;
    text_.reserve(std::max({size, smallest_block, 2 * text_.capacity()}));
  }
  void wipe_inline() noexcept { secure_wipe(text_.data(), text_.capacity()); }

  string_type text_;
};

using SecretString = BasicSecretString<>;

// A plain string that wipes its characters (the heap block or the small-
// string buffer) when it is destroyed: for temporaries that must be a
// std::string, such as the converted arguments of a call. It does not
// cover copies left by its own growth; build a growing secret in a
// SecretString.
class WipedString : public std::string {
 public:
  WipedString() noexcept = default;
  WipedString(std::string&& text) noexcept : std::string(std::move(text)) {}  // NOLINT: taken as it is
  WipedString(const WipedString&) = default;
  WipedString(WipedString&& other) noexcept : std::string(std::move(other)) { other.wipe(); }
  WipedString& operator=(const WipedString&) = default;
  WipedString& operator=(WipedString&& other) noexcept {
    wipe();
    std::string::operator=(std::move(other));
    other.wipe();
    return *this;
  }
  ~WipedString() { wipe(); }

 private:
  void wipe() noexcept {
    secure_wipe(data(), capacity());
    clear();
  }
};

}  // namespace quillfern
