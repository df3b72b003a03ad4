#include "quillfern/control/identify.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <span>

#include "quillfern/ciphers/textbox.hpp"
#include "quillfern/core/error.hpp"
#include "quillfern/control/identify_model.hpp"
#include "quillfern/transforms/hex.hpp"
#include "quillfern/transforms/password.hpp"
#include "quillfern/transforms/shift.hpp"

namespace quillfern {
namespace {

constexpr int symbols = 28;
constexpr int apostrophe = 26;
constexpr int boundary = 27;
constexpr std::size_t contexts = symbols * symbols * symbols;

// Quarter bits of the fixed parts of the model: an accented letter, and
// the case of a letter after a word's start, a lower-case letter, one
// upper-case letter, or a run of them (probabilities 0.8/0.2, 0.99/0.01,
// 0.85/0.15 and 0.1/0.9 for lower/upper).
constexpr std::uint64_t accent_cost = 24;
constexpr std::uint64_t start_lower_cost = 1, start_upper_cost = 9;
constexpr std::uint64_t lower_lower_cost = 0, lower_upper_cost = 27;
constexpr std::uint64_t first_lower_cost = 1, first_upper_cost = 11;
constexpr std::uint64_t run_lower_cost = 13, run_upper_cost = 1;

enum class Tag : std::uint8_t { lower, upper, accented_lower, accented_upper, kind };
enum class Case : std::uint8_t { none, lower, first_upper, upper_run };

// The model's tables by name, from the embedded file.
std::string_view model_table(std::string_view name) {
  std::string_view rest(reinterpret_cast<const char*>(detail::text_model::data), detail::text_model::data_size);
  while (!rest.empty()) {
    const std::size_t end = std::min(rest.find('\n'), rest.size());
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    if (line.size() > name.size() && line.starts_with(name) && line[name.size()] == ' ') {
      return line.substr(name.size() + 1);
    }
  }
  throw std::logic_error("the text model has no table " + std::string(name));
}

unsigned quarters(char c) noexcept { return static_cast<unsigned>(static_cast<unsigned char>(c) - '!'); }

int symbol_of(char c) noexcept {
  if (c >= 'a' && c <= 'z') return c - 'a';
  return c == '\'' ? apostrophe : boundary;
}

// The model, unpacked once from its tables: every 4-gram cost dense, each
// way, so that pricing a code is a few lookups.
struct TextModel {
  std::array<Tag, 256> tag{};
  std::array<std::uint8_t, 256> value{};  // symbol, or kind
  std::vector<std::uint8_t> cost4;        // (context * 28 + symbol), left to right
  std::vector<std::uint8_t> cost4_back;   // the same, right to left
  std::size_t kinds = 0;
  std::vector<std::uint8_t> kind_cost;    // (before * kinds + kind); before == kinds: a letter
  std::vector<std::uint8_t> letter_after;
  std::vector<std::uint8_t> other_after;

  static std::vector<std::uint8_t> costs(std::string_view table) {
    std::vector<std::uint8_t> out;
    out.reserve(table.size());
    for (const char c : table) out.push_back(static_cast<std::uint8_t>(quarters(c)));
    return out;
  }

  static std::vector<std::uint8_t> letter_costs(std::string_view trigram, std::string_view backoff,
                                                std::string_view seen) {
    std::vector<std::uint8_t> cost(contexts * symbols);
    std::size_t at = 0;
    for (std::size_t context = 0; context < contexts; ++context) {
      for (std::size_t x = 0; x < symbols; ++x) {
        cost[context * symbols + x] = static_cast<std::uint8_t>(
            quarters(trigram[(context % (symbols * symbols)) * symbols + x]) + quarters(backoff[context]));
      }
      while (seen[at] != ' ') {
        cost[context * symbols + static_cast<std::size_t>(symbol_of(seen[at]))] =
            static_cast<std::uint8_t>(quarters(seen[at + 1]));
        at += 2;
      }
      ++at;
    }
    return cost;
  }

  TextModel()
      : cost4(letter_costs(model_table("trigram_costs"), model_table("backoff_costs"), model_table("seen_4grams"))),
        cost4_back(letter_costs(model_table("trigram_costs_back"), model_table("backoff_costs_back"),
                                model_table("seen_4grams_back"))),
        kind_cost(costs(model_table("kind_costs"))),
        letter_after(costs(model_table("letter_after_kind"))),
        other_after(costs(model_table("kind_after_kind"))) {
    kinds = letter_after.size();
    const std::string_view classes = model_table("code_classes");
    for (std::size_t code = 0; code < 256; ++code) {
      const char kind = classes[2 * code], what = classes[2 * code + 1];
      switch (kind) {
        case 'l': tag[code] = Tag::lower; break;
        case 'u': tag[code] = Tag::upper; break;
        case 'a': tag[code] = Tag::accented_lower; break;
        case 'U': tag[code] = Tag::accented_upper; break;
        default: tag[code] = Tag::kind; break;
      }
      value[code] = static_cast<std::uint8_t>(tag[code] == Tag::kind ? quarters(what) : static_cast<unsigned>(symbol_of(what)));
    }
  }

  // The price of `codes` in bits: letters cost the mean of the two ways.
  [[nodiscard]] double price(std::string_view codes) const noexcept {
    std::uint64_t total = 0, letters = 0;
    std::size_t context = contexts - 1;  // three boundaries
    std::size_t before = 0;              // the kind before: a blank at the start
    bool after_letter = false;
    Case state = Case::none;
    for (const char ch : codes) {
      const auto code = static_cast<unsigned char>(ch);
      const Tag t = tag[code];
      if (t != Tag::kind) {
        const std::size_t symbol = value[code];
        if (!after_letter) total += letter_after[before];
        letters += cost4[context * symbols + symbol];
        context = (context * symbols + symbol) % contexts;
        after_letter = true;
        if (symbol == apostrophe) {
          state = Case::none;
          continue;
        }
        if (t == Tag::accented_lower || t == Tag::accented_upper) total += accent_cost;
        const bool upper = t == Tag::upper || t == Tag::accented_upper;
        switch (state) {
          case Case::none: total += upper ? start_upper_cost : start_lower_cost; break;
          case Case::lower: total += upper ? lower_upper_cost : lower_lower_cost; break;
          case Case::first_upper: total += upper ? first_upper_cost : first_lower_cost; break;
          case Case::upper_run: total += upper ? run_upper_cost : run_lower_cost; break;
        }
        state = !upper ? Case::lower
                       : (state == Case::first_upper || state == Case::upper_run ? Case::upper_run : Case::first_upper);
        continue;
      }
      const std::size_t kind = value[code];
      if (after_letter) {
        letters += cost4[context * symbols + boundary];
        total += kind_cost[kinds * kinds + kind];
      } else {
        total += other_after[before];
        total += kind_cost[before * kinds + kind];
      }
      context = contexts - 1;
      before = kind;
      after_letter = false;
      state = Case::none;
    }
    if (after_letter) letters += cost4[context * symbols + boundary];
    // The letters once more, from right to left.
    std::uint64_t back = 0;
    context = contexts - 1;
    after_letter = false;
    for (auto it = codes.rbegin(); it != codes.rend(); ++it) {
      const auto code = static_cast<unsigned char>(*it);
      if (tag[code] != Tag::kind) {
        const std::size_t symbol = value[code];
        back += cost4_back[context * symbols + symbol];
        context = (context * symbols + symbol) % contexts;
        after_letter = true;
      } else {
        if (after_letter) back += cost4_back[context * symbols + boundary];
        context = contexts - 1;
        after_letter = false;
      }
    }
    if (after_letter) back += cost4_back[context * symbols + boundary];
    return (static_cast<double>(total) + static_cast<double>(letters + back) / 2.0) / 4.0;
  }
};

const TextModel& model() {
  static const TextModel instance;
  return instance;
}

// 0: not a text code; 1: a text code; 2: a letter or a digit.
const std::array<std::uint8_t, 256>& text_classes() {
  static const std::array<std::uint8_t, 256> table = [] {
    std::array<std::uint8_t, 256> t{};
    const TextModel& m = model();
    for (int code = 0; code < 256; ++code) {
      const auto index = static_cast<std::size_t>(code);
      const bool letter = m.tag[index] != Tag::kind && code != '\'';
      if (letter || (code >= '0' && code <= '9')) {
        t[index] = 2;
      } else if ((code >= 32 && code <= 126) || code == 9 || code == 10 || code == 13) {
        t[index] = 1;
      }
    }
    return t;
  }();
  return table;
}

// Whether the class rule of plausibility holds: every code a text code,
// letters and digits at least half.
bool text_codes_only(std::string_view text) noexcept {
  const auto& classes = text_classes();
  std::size_t alnum = 0;
  for (const char c : text) {
    const std::uint8_t k = classes[static_cast<unsigned char>(c)];
    if (k == 0) return false;
    alnum += k == 2;
  }
  return !text.empty() && 2 * alnum >= text.size();
}

// Prices the restored text (the first priced_codes of it when it is
// longer, scaled to its whole length) and decides plausibility, given
// whether the class rule holds over the whole of it.
void price(Reading& reading, std::string_view priced, std::size_t length, bool text_codes, double key_bits) {
  const double bits = model().price(priced);
  reading.bits_per_code = priced.empty() ? 0.0 : bits / static_cast<double>(priced.size());
  reading.bits = reading.bits_per_code * static_cast<double>(length) + key_bits;
  reading.plausible = text_codes && length > 0 &&
                      bits <= plausible_bits_per_code * static_cast<double>(priced.size()) + plausible_extra_bits;
}

void keep(std::vector<Reading>& out, Reading&& reading, const IdentifyOptions& options) {
  if (reading.plausible || options.all) out.push_back(std::move(reading));
}

Reading make_reading(ReadingKind kind, std::uint64_t key, std::string_view text, const IdentifyOptions& options) {
  Reading r;
  r.kind = kind;
  r.key = key;
  r.text = std::string(text.substr(0, options.kept));
  r.length = text.size();
  return r;
}

// A whole restored text.
void add_text(std::vector<Reading>& out, ReadingKind kind, std::uint64_t key, std::string_view text,
              double key_bits, const IdentifyOptions& options) {
  Reading r = make_reading(kind, key, text, options);
  price(r, text.substr(0, priced_codes), text.size(), text_codes_only(text), key_bits);
  keep(out, std::move(r), options);
}

bool is_convert_digit(char c) noexcept { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

void hex_reading(std::string_view text, std::vector<Reading>& out, const IdentifyOptions& options) {
  if (text.size() < 2 || text.size() % 2 != 0) return;
  if (!std::all_of(text.begin(), text.end(), is_convert_digit)) return;
  add_text(out, ReadingKind::hex, 0, transforms::deconvert(text), 0.0, options);
}

void password_readings(std::string_view text, std::vector<Reading>& out, const IdentifyOptions& options) {
  if (text.empty() || text.size() > transforms::password_max_length) return;
  // Numbers 11 to 255 fail on every text: their mask is negative, so the
  // first code comes out negative.
  for (std::uint8_t number = 0; number <= 10; ++number) {
    try {
      add_text(out, ReadingKind::password, number, transforms::decrypt_password(number, text),
               password_key_bits, options);
    } catch (const Error&) {
      // This Number cannot have made the text.
    }
  }
}

void shift_reading(std::string_view text, std::vector<Reading>& out, const IdentifyOptions& options) {
  if (text.empty() || text.size() > transforms::shift_max_length) return;
  if (text.find('\0') != std::string_view::npos) return;
  add_text(out, ReadingKind::shift, 0, transforms::easy_crypt_decode(text), 0.0, options);
}

// The change TextBoxDeCrypt makes to a code at `phase` under key number K:
// odd phases -K + odd_offset, even phases +K - even_offset.
constexpr std::array<std::int64_t, 6> phase_offset = {2, 4, 6, -1, 7, 0};  // by phase 0..5
constexpr bool phase_is_odd(std::size_t phase) noexcept { return phase % 2 == 1; }
constexpr std::int64_t phase_delta(std::size_t phase, std::int64_t key) noexcept {
  return phase_is_odd(phase) ? -key + phase_offset[phase] : key - phase_offset[phase];
}

void text_box_readings(std::string_view text, std::vector<Reading>& out, const IdentifyOptions& options) {
  if (text.empty()) return;
  // How often each code occurs at each phase (the first code has phase 1).
  std::vector<std::array<std::size_t, 256>> counts(6);
  for (auto& row : counts) row.fill(0);
  std::size_t phase = 0;
  for (const char c : text) {
    phase = phase == 5 ? 0 : phase + 1;
    ++counts[phase][static_cast<unsigned char>(c)];
  }
  // The codes present at each phase, and the key numbers under which none
  // leaves 0..255 (nothing would be dropped).
  std::array<std::vector<std::uint8_t>, 6> present;
  std::int64_t low = 0;
  auto high = static_cast<std::int64_t>(std::min<std::uint64_t>(options.max_key, std::uint64_t{1} << 40));
  for (std::size_t p = 0; p < 6; ++p) {
    for (int code = 0; code < 256; ++code) {
      if (counts[p][static_cast<std::size_t>(code)] != 0) present[p].push_back(static_cast<std::uint8_t>(code));
    }
    if (present[p].empty()) continue;
    const std::int64_t least = present[p].front(), most = present[p].back();
    if (phase_is_odd(p)) {
      high = std::min(high, least + phase_offset[p]);
      low = std::max(low, most + phase_offset[p] - 255);
    } else {
      low = std::max(low, phase_offset[p] - least);
      high = std::min(high, 255 + phase_offset[p] - most);
    }
  }
  const auto& classes = text_classes();
  std::string restored;
  for (std::int64_t key = low; key <= high; ++key) {
    std::size_t alnum = 0;
    bool text_codes = true;
    for (std::size_t p = 0; p < 6 && text_codes; ++p) {
      const std::int64_t delta = phase_delta(p, key);
      for (const std::uint8_t code : present[p]) {
        const std::uint8_t k = classes[static_cast<std::size_t>(code + delta)];
        if (k == 0) {
          text_codes = false;
          break;
        }
        if (k == 2) alnum += counts[p][code];
      }
    }
    text_codes = text_codes && 2 * alnum >= text.size();
    if (!text_codes && !options.all) continue;
    // Only the part that is priced or kept is restored.
    const std::string_view part = text.substr(0, std::max(priced_codes, options.kept));
    restored = ciphers::text_box_decrypt(part, static_cast<std::uint64_t>(key)).text.value_or(std::string());
    Reading r = make_reading(ReadingKind::text_box, static_cast<std::uint64_t>(key), restored, options);
    r.length = text.size();
    price(r, std::string_view(restored).substr(0, priced_codes), text.size(), text_codes, text_box_key_bits(static_cast<std::uint64_t>(key)));
    keep(out, std::move(r), options);
  }
}

void cipher_text_readings(std::string_view text, std::vector<Reading>& out, const IdentifyOptions& options) {
  const auto& classes = text_classes();
  const std::size_t longest = std::min(options.max_password, text.size());
  // Codes that are not letters or digits beyond this many make a reading
  // implausible.
  const std::size_t most_others = text.size() / 2;
  std::string whole;
  for (std::size_t length = 1; length <= longest; ++length) {
    // The password block holds every password code doubled.
    if (static_cast<unsigned char>(text[length - 1]) % 2 != 0) break;
    std::string password(length, '\0');
    for (std::size_t j = 0; j < length; ++j) password[j] = static_cast<char>(static_cast<unsigned char>(text[j]) / 2);
    // Deciphered: the password, then the text. A negative difference would
    // stop DeCipherText early, so no such reading restores the whole text.
    // Only the codes that are priced or kept are written down.
    const std::size_t written = std::min(text.size(), std::max(priced_codes, length + options.kept));
    whole.resize(written);
    bool complete = true, text_codes = true;
    std::size_t others = 0;
    for (std::size_t start = 0; start < text.size() && complete; start += length) {
      const std::size_t end = std::min(text.size(), start + length);
      for (std::size_t n = start; n < end; ++n) {
        const int code = static_cast<unsigned char>(text[n]) - static_cast<unsigned char>(password[n - start]);
        if (code < 0) {
          complete = false;
          break;
        }
        const std::uint8_t k = classes[static_cast<std::size_t>(code)];
        text_codes = text_codes && k != 0;
        others += k != 2;
        if (n < written) whole[n] = static_cast<char>(code);
      }
      if (!options.all && (!text_codes || others > most_others)) break;
    }
    if (!complete || (!options.all && (!text_codes || others > most_others))) continue;
    text_codes = text_codes && others <= most_others;
    Reading r = make_reading(ReadingKind::cipher_text, 0, std::string_view(whole).substr(length), options);
    r.password = std::move(password);
    r.length = text.size() - length;
    price(r, std::string_view(whole).substr(0, priced_codes), text.size(), text_codes, 0.0);
    keep(out, std::move(r), options);
  }
}

}  // namespace

std::string_view made_by(ReadingKind kind) noexcept {
  switch (kind) {
    case ReadingKind::hex: return "convert";
    case ReadingKind::password: return "EncryptPassword";
    case ReadingKind::shift: return "EasyCryptEnCode";
    case ReadingKind::text_box: return "TextBoxCrypt";
    case ReadingKind::cipher_text: return "EnCipherText";
  }
  return {};
}

std::string_view restored_by(ReadingKind kind) noexcept {
  switch (kind) {
    case ReadingKind::hex: return "DeConvert";
    case ReadingKind::password: return "DecryptPassword";
    case ReadingKind::shift: return "EasyCryptDeCode";
    case ReadingKind::text_box: return "TextBoxDeCrypt";
    case ReadingKind::cipher_text: return "DeCipherText";
  }
  return {};
}

std::vector<Reading> identify(std::string_view text, const IdentifyOptions& options) {
  std::vector<Reading> out;
  hex_reading(text, out, options);
  password_readings(text, out, options);
  shift_reading(text, out, options);
  text_box_readings(text, out, options);
  cipher_text_readings(text, out, options);
  // Several Numbers may restore the same text: that text is then as likely
  // as all of them together.
  for (Reading& r : out) {
    if (r.kind != ReadingKind::password) continue;
    const auto same = std::count_if(out.begin(), out.end(), [&](const Reading& o) {
      return o.kind == ReadingKind::password && o.text == r.text;
    });
    r.bits -= std::log2(static_cast<double>(same));
  }
  std::stable_sort(out.begin(), out.end(), [](const Reading& a, const Reading& b) {
    if (a.plausible != b.plausible) return a.plausible;
    if (a.bits != b.bits) return a.bits < b.bits;
    if (a.kind != b.kind) return a.kind < b.kind;
    return a.key < b.key;
  });
  return out;
}

double text_box_key_bits(std::uint64_t key) noexcept {
  // log2((usual + 1) / 0.75), and log2(the other key numbers of the
  // default bound / 0.25).
  constexpr double usual = 5.7725895038969280;
  constexpr double other = 12.026523442519766;
  return key <= usual_text_box_keys ? usual : other;
}

double text_bits(std::string_view text) { return model().price(text); }

}  // namespace quillfern
