#include "quillfern/core/secret.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillfern {
namespace {

// What the allocator under a secret buffer got back: every block, and
// those that still held a byte other than zero.
struct Returned {
  std::size_t blocks = 0;
  std::size_t dirty = 0;
};
Returned returned;

// std::allocator, looking at each block as it is given back.
template <typename T>
struct Inspecting {
  using value_type = T;
  Inspecting() noexcept = default;
  template <typename U>
  Inspecting(const Inspecting<U>&) noexcept {}
  T* allocate(std::size_t count) { return std::allocator<T>{}.allocate(count); }
  void deallocate(T* data, std::size_t count) noexcept {
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    ++returned.blocks;
    if (std::any_of(bytes, bytes + count * sizeof(T), [](unsigned char b) { return b != 0; })) ++returned.dirty;
    std::allocator<T>{}.deallocate(data, count);
  }
  template <typename U>
  bool operator==(const Inspecting<U>&) const noexcept {
    return true;
  }
};

using Text = BasicSecretString<Inspecting<char>>;
using Codes = SecretVector<std::uint32_t, Inspecting<std::uint32_t>>;

class SecretBuffers : public ::testing::Test {
 protected:
  void SetUp() override { returned = {}; }
};

TEST_F(SecretBuffers, EveryBlockIsWipedWhenGivenBack) {
  // Each way a secret's block goes: growth, destruction, a move over an
  // older text, clearing and reuse, and an exception unwinding.
  const struct {
    const char* path;
    void (*run)();
  } cases[] = {
      {"growth", [] {
         Text text;
         for (int i = 0; i < 5000; ++i) text += static_cast<char>('a' + i % 26);
         EXPECT_EQ(text.size(), 5000u);
       }},
      {"destruction", [] { Text text("a password of some length"); }},
      {"resize", [] {
         Text text("pw");
         text.resize(1000, 'x');
         text.truncate(3);
         EXPECT_EQ(text.view(), "pwx");
       }},
      {"move", [] {
         Text from("moved password");
         Text to("older password");
         to = std::move(from);
         EXPECT_EQ(to.view(), "moved password");
         Text third(std::move(to));
         EXPECT_EQ(third.view(), "moved password");
         to += "reused";
         EXPECT_EQ(to.view(), "reused");
       }},
      {"copy", [] {
         const Text text("copied password");
         Text copy = text;
         copy = text;
         EXPECT_EQ(copy.view(), text.view());
       }},
      {"exception", [] {
         try {
           Text text("thrown past");
           Codes codes(100, 0xA5A5A5A5u);
           throw std::runtime_error("unwinding");
         } catch (const std::runtime_error&) {
         }
       }},
      {"vector growth", [] {
         Codes codes;
         for (std::uint32_t i = 1; i <= 3000; ++i) codes.push_back(i);
       }},
  };
  for (const auto& c : cases) {
    returned = {};
    c.run();
    EXPECT_GT(returned.blocks, 0u) << c.path;
    EXPECT_EQ(returned.dirty, 0u) << c.path << ": " << returned.dirty << " of " << returned.blocks;
  }
}

TEST_F(SecretBuffers, ASecretNeverSitsInTheObjectItself) {
  // A short secret still lives in an allocated block, which a move hands
  // over: the object's own bytes never hold it.
  alignas(Text) unsigned char storage[sizeof(Text)];
  auto* text = new (storage) Text("abc");
  EXPECT_GT(text->capacity(), 22u);
  Text moved(std::move(*text));
  text->~Text();
  EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(storage), sizeof storage).find("abc"),
            std::string_view::npos);
  EXPECT_EQ(moved.view(), "abc");
  text = new (storage) Text();
  *text += 'z';
  EXPECT_EQ(text->view(), "z");
  text->~Text();
}

TEST_F(SecretBuffers, AWipedStringClearsItsOwnBuffer) {
  // The converted arguments of a call: a short text sits in the string's
  // own buffer, which destruction and a move out both clear.
  alignas(WipedString) unsigned char storage[sizeof(WipedString)];
  auto* text = new (storage) WipedString(std::string("pw12"));
  std::string taken = std::move(*text);
  EXPECT_EQ(taken, "pw12");
  text->~WipedString();
  const std::string_view bytes(reinterpret_cast<const char*>(storage), sizeof storage);
  EXPECT_EQ(bytes.find("pw12"), std::string_view::npos);

  text = new (storage) WipedString(std::string("pw34"));
  text->~WipedString();
  EXPECT_EQ(bytes.find("pw34"), std::string_view::npos);
}

TEST_F(SecretBuffers, ClearingWipesInPlace) {
  Text text("erase me");
  const char* at = text.data();
  const std::size_t capacity = text.capacity();
  text.clear();
  EXPECT_TRUE(text.empty());
  EXPECT_TRUE(std::all_of(at, at + capacity, [](char ch) { return ch == 0; }));
}

}  // namespace
}  // namespace quillfern
