#include "quillfern/control/identify.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <random>
#include <tuple>

#include "quillfern/ciphers/cipher_text.hpp"
#include "quillfern/ciphers/textbox.hpp"
#include "quillfern/core/ascii.hpp"
#include "quillfern/core/codepage.hpp"
#include "quillfern/transforms/hex.hpp"
#include "quillfern/transforms/password.hpp"
#include "quillfern/transforms/shift.hpp"
#include "support.hpp"

namespace quillfern {
namespace {

constexpr const char* dictionary_path = "/usr/share/dict/american-english";

// The half of the dictionary that the model never learned from (see
// scripts/make_text_model.py): the words whose stem, the word lower-cased
// with the first of these endings that leaves three bytes taken off,
// hashes to an odd number. A word and its common forms share a half.
bool unseen_half(std::string_view utf8) {
  std::string stem(utf8);
  std::transform(stem.begin(), stem.end(), stem.begin(), ascii::to_lower);
  for (const std::string_view ending : {"'s", "s'", "ing", "ed", "es", "s", "ly", "er", "est"}) {
    if (stem.size() >= ending.size() + 3 && stem.ends_with(ending)) {
      stem.resize(stem.size() - ending.size());
      break;
    }
  }
  std::uint32_t h = 0x811C9DC5u;
  for (const char c : stem) h = (h ^ static_cast<unsigned char>(c)) * 0x01000193u;
  return ((h >> 16) & 1u) == 1u;
}

// The unseen words, as codes of Windows-1252.
const std::vector<std::string>& unseen_words() {
  static const std::vector<std::string> words = [] {
    std::vector<std::string> out;
    std::ifstream in(dictionary_path);
    std::string line;
    while (std::getline(in, line)) {
      if (line.empty() || !unseen_half(line)) continue;
      try {
        out.push_back(from_utf8(line, CodePage::cp1252));
      } catch (const EncodingError&) {
        // A word the code page cannot write.
      }
    }
    return out;
  }();
  return words;
}

// A made text and what identify should read first in it.
struct Made {
  std::string text;
  ReadingKind kind;
  std::string restored;  // the text, or for a cipher text the message
  std::uint64_t key = 0;
  std::string password;
};

using Maker = std::function<std::optional<Made>(const std::string& text, std::mt19937& gen)>;

std::optional<Made> by_convert(const std::string& text, std::mt19937&) {
  return Made{transforms::convert(text), ReadingKind::hex, text, 0, {}};
}

std::optional<Made> by_password(const std::string& text, std::mt19937& gen) {
  const auto number = static_cast<std::uint8_t>(gen() % 11);
  try {
    return Made{transforms::encrypt_password(number, text), ReadingKind::password, text, number, {}};
  } catch (const Error&) {
    return std::nullopt;  // a text this Number cannot scramble
  }
}

std::optional<Made> by_shift(const std::string& text, std::mt19937&) {
  try {
    return Made{transforms::easy_crypt_encode(text), ReadingKind::shift, text, 0, {}};
  } catch (const Error&) {
    return std::nullopt;
  }
}

// The password of a text-box or cipher text: another unseen word.
std::string some_password(std::mt19937& gen) {
  const auto& words = unseen_words();
  return words[gen() % words.size()];
}

std::optional<Made> by_text_box(const std::string& text, std::mt19937& gen) {
  const std::uint64_t key = ciphers::text_box_key(some_password(gen));
  const auto result = ciphers::text_box_crypt(text, key);
  if (result.dropped != 0) return std::nullopt;  // not restorable by anything
  return Made{*result.text, ReadingKind::text_box, text, key, {}};
}

std::optional<Made> by_cipher_text(const std::string& text, std::mt19937& gen) {
  const std::string password = some_password(gen);
  const auto result = ciphers::encipher_text(text, password);
  if (result.cut_at != 0) return std::nullopt;
  return Made{result.text, ReadingKind::cipher_text, text, 0, password};
}

bool read_first(const Made& made) {
  const auto readings = identify(made.text);
  if (readings.empty()) return false;
  const Reading& r = readings.front();
  // Two key numbers may restore the same text; either is right.
  return r.kind == made.kind && r.text == made.restored && r.password == made.password;
}

const std::string sentence = "The quick brown fox jumps over the lazy dog, twice.";

// Words of running English for long texts, without the dictionary.
std::string long_text(std::size_t length) {
  static constexpr std::string_view words[] = {"the", "stored", "password", "of", "each", "user", "is",
                                               "kept", "in", "a", "column", "and", "nobody", "knows",
                                               "which", "key", "made", "it,", "so", "we", "look."};
  std::mt19937 gen(7);
  std::string text;
  while (text.size() < length) {
    text += words[gen() % std::size(words)];
    text += gen() % 12 == 0 ? "\n" : " ";
  }
  text.resize(length);
  return text;
}

TEST(Identify, EmptyTextHasNoReading) {
  EXPECT_TRUE(identify("").empty());
  IdentifyOptions all;
  all.all = true;
  EXPECT_TRUE(identify("", all).empty());
  EXPECT_EQ(text_bits(""), 0.0);
}

TEST(Identify, ReadsEachOperationWithItsKeyFirst) {
  const auto box = ciphers::text_box_crypt(sentence, 23);
  ASSERT_EQ(box.dropped, 0u);
  const struct {
    std::string text;
    ReadingKind kind;
    std::uint64_t key;
    std::string password;
    std::string restored;
  } cases[] = {
      {transforms::convert(sentence), ReadingKind::hex, 0, "", sentence},
      {transforms::encrypt_password(7, sentence), ReadingKind::password, 7, "", sentence},
      {transforms::easy_crypt_encode(sentence), ReadingKind::shift, 0, "", sentence},
      {*box.text, ReadingKind::text_box, 23, "", sentence},
      {ciphers::encipher_text(sentence, "Tr0ub4dor").text, ReadingKind::cipher_text, 0, "Tr0ub4dor", sentence},
      // An empty message: the cipher text is the password block alone.
      {ciphers::encipher_text("", "Correct horse").text, ReadingKind::cipher_text, 0, "Correct horse", ""},
  };
  for (const auto& c : cases) {
    const auto readings = identify(c.text);
    ASSERT_FALSE(readings.empty()) << made_by(c.kind);
    const Reading& r = readings.front();
    EXPECT_EQ(r.kind, c.kind) << made_by(c.kind) << " read as " << made_by(r.kind) << ": " << r.text;
    EXPECT_EQ(r.key, c.key) << made_by(c.kind);
    EXPECT_EQ(r.password, c.password) << made_by(c.kind);
    EXPECT_EQ(r.text, c.restored) << made_by(c.kind);
    EXPECT_EQ(r.length, c.restored.size()) << made_by(c.kind);
    EXPECT_TRUE(r.plausible);
  }
}

bool has_kind(const std::vector<Reading>& readings, ReadingKind kind, std::uint64_t key = UINT64_MAX) {
  return std::any_of(readings.begin(), readings.end(),
                     [&](const Reading& r) { return r.kind == kind && (key == UINT64_MAX || r.key == key); });
}

TEST(Identify, ReadingsExistOnlyWhereTheRestoringOperationTakesTheWholeText) {
  IdentifyOptions all;
  all.all = true;
  // The hexadecimal form is convert's: an even number of upper-case digits.
  EXPECT_TRUE(has_kind(identify("616263", all), ReadingKind::hex));
  for (const char* not_convert : {"61626", "6a6b", "4G", "6", " 616263"}) {
    EXPECT_FALSE(has_kind(identify(not_convert, all), ReadingKind::hex)) << not_convert;
  }
  // The password cipher takes at most 254 codes; the shift cipher no code 0
  // and at most 32766 codes.
  EXPECT_TRUE(has_kind(identify(std::string(254, 'k'), all), ReadingKind::password));
  EXPECT_FALSE(has_kind(identify(std::string(255, 'k'), all), ReadingKind::password));
  EXPECT_FALSE(has_kind(identify(std::string("ab\0cd", 5), all), ReadingKind::shift));
  EXPECT_TRUE(has_kind(identify(std::string(32766, 'k'), all), ReadingKind::shift));
  EXPECT_FALSE(has_kind(identify(std::string(32767, 'k'), all), ReadingKind::shift));
  // Text-box key numbers up to max_key, and only those that drop nothing.
  const std::string box = *ciphers::text_box_crypt(sentence, 40).text;
  IdentifyOptions bounded = all;
  bounded.max_key = 39;
  EXPECT_TRUE(has_kind(identify(box, all), ReadingKind::text_box, 40));
  EXPECT_FALSE(has_kind(identify(box, bounded), ReadingKind::text_box, 40));
  for (const Reading& r : identify(box, all)) {
    if (r.kind == ReadingKind::text_box) {
      EXPECT_EQ(ciphers::text_box_decrypt(box, r.key).dropped, 0u) << r.key;
      EXPECT_EQ(r.length, box.size());
    }
  }
  // Carried passwords up to max_password codes.
  const std::string carried = ciphers::encipher_text(sentence, "longpassword").text;
  IdentifyOptions shorter = all;
  shorter.max_password = 11;
  const auto with = identify(carried, all), without = identify(carried, shorter);
  EXPECT_TRUE(std::any_of(with.begin(), with.end(), [](const Reading& r) { return r.password == "longpassword"; }));
  EXPECT_FALSE(std::any_of(without.begin(), without.end(), [](const Reading& r) { return r.password == "longpassword"; }));
}

TEST(Identify, CodesOutsideAnyPlausibleReadingGiveNone) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  IdentifyOptions all;
  all.all = true;
  for (unsigned round = 0; round < 50; ++round) {
    const std::string noise = test::random_text(40 + round, seed + round);
    EXPECT_TRUE(identify(noise).empty()) << identify(noise).front().text;
    for (const Reading& r : identify(noise, all)) EXPECT_FALSE(r.plausible);
  }
  // Control codes only: nothing reads as text.
  EXPECT_TRUE(identify(std::string(100, '\x01')).empty());
}

TEST(Identify, PutsPlausibleReadingsFirstAndFewerBitsFirst) {
  IdentifyOptions all;
  all.all = true;
  for (const std::string& text : {transforms::convert("Hi there"), std::string("Uif!dbu"), std::string("AAAA")}) {
    const auto readings = identify(text, all);
    ASSERT_FALSE(readings.empty()) << text;
    for (std::size_t i = 1; i < readings.size(); ++i) {
      const Reading &a = readings[i - 1], &b = readings[i];
      EXPECT_TRUE(a.plausible >= b.plausible && (a.plausible != b.plausible || a.bits <= b.bits)) << text << " at " << i;
    }
    const auto plausible = identify(text);
    EXPECT_EQ(plausible.size(), static_cast<std::size_t>(std::count_if(readings.begin(), readings.end(),
                                                                       [](const Reading& r) { return r.plausible; })));
  }
}

TEST(Identify, ReadsAMegabyteAndKeepsItsStart) {
  const std::string text = long_text(1 << 20);
  const auto made_box = ciphers::text_box_crypt(text, 12);
  ASSERT_EQ(made_box.dropped, 0u);
  const std::string box = *made_box.text;
  const std::string carried = ciphers::encipher_text(text, "secret").text;
  const std::string hex = transforms::convert(text.substr(0, 1 << 19));
  for (const auto& [made, kind, restored] : {std::tuple{box, ReadingKind::text_box, text},
                                             std::tuple{carried, ReadingKind::cipher_text, text},
                                             std::tuple{hex, ReadingKind::hex, text.substr(0, 1 << 19)}}) {
    const auto readings = identify(made);
    ASSERT_FALSE(readings.empty()) << made_by(kind);
    EXPECT_EQ(readings.front().kind, kind);
    EXPECT_EQ(readings.front().text, restored.substr(0, 256));
    EXPECT_EQ(readings.front().length, restored.size());
  }
  EXPECT_EQ(identify(box).front().key, 12u);
  EXPECT_EQ(identify(carried).front().password, "secret");
}

TEST(Identify, ModelPricesEnglishBelowNoise) {
  const double english = text_bits(sentence) / static_cast<double>(sentence.size());
  EXPECT_LT(english, 5.0);
  std::string reversed(sentence.rbegin(), sentence.rend());
  EXPECT_LT(english, text_bits(reversed) / static_cast<double>(reversed.size()));
  const std::string noise = test::random_text(1000, 1, 33, 126);
  EXPECT_GT(text_bits(noise) / 1000.0, 8.0);
  // Case: a capital at a word's start costs less than one inside it.
  EXPECT_LT(text_bits("Hello"), text_bits("hEllo"));
}

struct Tally {
  int texts = 0;
  int read_first = 0;
  std::string missed;  // the first few texts read wrongly, for the message
  [[nodiscard]] double share() const { return static_cast<double>(read_first) / static_cast<double>(texts); }
};

// Makes `cases` texts of `words` unseen words each and counts those that
// identify reads first.
Tally tally(const Maker& make, int words, int cases, std::mt19937& gen) {
  const auto& dictionary = unseen_words();
  Tally t;
  while (t.texts < cases) {
    std::string text = dictionary[gen() % dictionary.size()];
    for (int w = 1; w < words; ++w) text += " " + dictionary[gen() % dictionary.size()];
    const auto made = make(text, gen);
    if (!made) continue;
    ++t.texts;
    if (read_first(*made)) {
      ++t.read_first;
    } else if (t.texts - t.read_first <= 5) {
      const auto readings = identify(made->text);
      t.missed += " '" + text + "' (read as '" + (readings.empty() ? std::string() : readings.front().text) + "')";
    }
  }
  return t;
}

// How often the right text comes first, for texts made by each operation
// from real words that the model never saw: 5000 texts per operation and
// size, each read first in at least 95 percent of cases. Single words are
// the hard case: a wrong key often gives another word-like text ("leave"
// for "heave"); under the password cipher and the text box they come first
// in 96.4 to 97.7 percent of cases over seeds 1 to 5 and the default one.
TEST(Identify, ReadsTextsMadeFromRealWordsFirst) {
  if (unseen_words().size() < 1000) GTEST_SKIP() << dictionary_path << " is missing: scripts/deps.sh installs wamerican";
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  const struct {
    const char* name;
    Maker make;
  } operations[] = {{"convert", by_convert},
                    {"EncryptPassword", by_password},
                    {"EasyCryptEnCode", by_shift},
                    {"TextBoxCrypt", by_text_box},
                    {"EnCipherText", by_cipher_text}};
  constexpr int cases = 5000;
  for (const auto& op : operations) {
    for (const int words : {1, 2}) {
      std::mt19937 gen(seed + static_cast<unsigned>(words));
      const Tally t = tally(op.make, words, cases, gen);
      std::printf("identify: %-16s %d word%s: %5.1f%% read first of %d texts (seed %u)\n", op.name, words,
                  words == 1 ? " " : "s", 100.0 * t.share(), t.texts, seed);
      EXPECT_GE(t.share(), 0.95)
          << op.name << ", " << words << " words; missed:" << t.missed;
    }
  }
}

}  // namespace
}  // namespace quillfern
