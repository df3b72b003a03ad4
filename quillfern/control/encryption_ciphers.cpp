// The control's keyed text ciphers, over the plain functions of
// quillfern/ciphers.
#include "quillfern/control/encryption.hpp"
#include "quillfern/control/error.hpp"

namespace quillfern {

// Not yet part of this build: they report so instead of returning anything.
void Encryption::FastBlowFish(const std::string&, std::string&, const std::string&) {
  throw Error(ErrorNumber::not_supported, "FastBlowFish is not available yet");
}
std::optional<std::string> Encryption::TextBoxCrypt(const std::string&, std::string&) {
  throw Error(ErrorNumber::not_supported, "TextBoxCrypt is not available yet");
}
std::optional<std::string> Encryption::TextBoxDeCrypt(const std::string&, std::string&) {
  throw Error(ErrorNumber::not_supported, "TextBoxDeCrypt is not available yet");
}
std::string Encryption::DeCipherText(const std::string&, const std::string&) {
  throw Error(ErrorNumber::not_supported, "DeCipherText is not available yet");
}
std::string Encryption::EnCipherText(const std::string&, const std::string&) {
  throw Error(ErrorNumber::not_supported, "EnCipherText is not available yet");
}

}  // namespace quillfern
