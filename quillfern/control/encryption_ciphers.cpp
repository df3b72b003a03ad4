// The control's keyed text ciphers, over the plain functions of
// quillfern/ciphers. The control adds what a host sees: the message boxes,
// the overwritten Password of the text-box pair and the output rule.
#include <exception>

#include "quillfern/ciphers/cipher_text.hpp"
#include "quillfern/ciphers/fastblowfish.hpp"
#include "quillfern/ciphers/textbox.hpp"
#include "quillfern/control/encryption.hpp"
#include "quillfern/core/identity.hpp"

namespace quillfern {
namespace {

// The style of the cipher-text boxes; not one of the platform's button
// sets, shown as the host's box shows it.
constexpr std::int32_t cipher_text_style = 12;

// One of the text-box pair. Password is overwritten with the key number's
// decimal text before the text is read, and the key number is read back
// from it; the codes the cipher drops are counted on the host.
template <typename Cipher>
std::optional<std::string> run_text_box(platform::Host& host, Cipher cipher, const std::string& text,
                                        std::string& Password) {
  Password = ciphers::text_box_key_text(ciphers::text_box_key(Password));
  ciphers::TextBoxResult result = cipher(text, ciphers::text_box_read_key(Password));
  host.add_lost_codes(result.dropped);
  return std::move(result.text);
}

void show_cipher_text_box(platform::Host& host, std::string_view text) {
  (void)host.message_box().show(text, cipher_text_style, identity::maker_name);
}

}  // namespace

void Encryption::FastBlowFish(const std::string& InPutString, std::string& OutPut,
                              const std::string& Password) {
  platform::MessageBox& box = host().message_box();
  std::string result = ciphers::fast_blow_fish(InPutString, Password, [&box](std::size_t) {
    // Only a notice: the answer is not used, and a box that fails is a
    // skipped step, not a failure of the cipher.
    try {
      (void)box.show("ERROR Zero!", platform::style_ok_only);
    } catch (const std::exception&) {
    }
  });
  OutPut = std::move(result);
}

std::optional<std::string> Encryption::TextBoxCrypt(const std::string& InPutText,
                                                    std::string& Password) {
  return run_text_box(host(), ciphers::text_box_crypt, InPutText, Password);
}

std::optional<std::string> Encryption::TextBoxDeCrypt(const std::string& InPutText,
                                                      std::string& Password) {
  return run_text_box(host(), ciphers::text_box_decrypt, InPutText, Password);
}

std::string Encryption::DeCipherText(const std::string& CipherString, const std::string& Password) {
  ciphers::DeCipherResult result = ciphers::decipher_text(CipherString, Password);
  switch (result.verdict) {
    case ciphers::CipherVerdict::no_password:
      show_cipher_text_box(host(), "Please put in a password");
      return {};
    case ciphers::CipherVerdict::access_denied:
      show_cipher_text_box(host(), "Access Denied");
      return CipherString;
    case ciphers::CipherVerdict::done:
      break;
  }
  // Stopped at a code below its password code: the rest is not deciphered.
  if (result.stopped_at != 0) host().add_lost_codes(CipherString.size() - result.stopped_at + 1);
  return std::move(result.text);
}

std::string Encryption::EnCipherText(const std::string& CipherInString,
                                     const std::string& Password) {
  ciphers::EnCipherResult result = ciphers::encipher_text(CipherInString, Password);
  if (result.verdict == ciphers::CipherVerdict::no_password) {
    show_cipher_text_box(host(), "Please put in a password");
    return {};
  }
  // Cut at a sum above 255: the password and text codes from there on are
  // not in the cipher text.
  if (result.cut_at != 0) host().add_lost_codes(Password.size() + CipherInString.size() - result.cut_at + 1);
  return std::move(result.text);
}

}  // namespace quillfern
