// The control's character transforms, over the plain functions of
// quillfern/transforms.
#include "quillfern/control/encryption.hpp"
#include "quillfern/control/error.hpp"
#include "quillfern/transforms/password.hpp"

namespace quillfern {

void Encryption::EncryptPassword(const std::uint8_t& Number, const std::string& DecryptedPassword,
                                 std::string& OutPut) {
  OutPut = transforms::encrypt_password(Number, DecryptedPassword);
}

void Encryption::DecryptPassword(const std::uint8_t& Number, const std::string& EncryptedPassword,
                                 std::string& OutPut) {
  OutPut = transforms::decrypt_password(Number, EncryptedPassword);
}

// Not yet part of this build: they report so instead of returning anything.
void Encryption::convert(const std::string&, std::string&) {
  throw Error(ErrorNumber::not_supported, "convert is not available yet");
}
void Encryption::DeConvert(const std::string&, std::string&) {
  throw Error(ErrorNumber::not_supported, "DeConvert is not available yet");
}
void Encryption::EasyCryptEnCode(const std::string&, std::string&) {
  throw Error(ErrorNumber::not_supported, "EasyCryptEnCode is not available yet");
}
void Encryption::EasyCryptDeCode(const std::string&, std::string&) {
  throw Error(ErrorNumber::not_supported, "EasyCryptDeCode is not available yet");
}
std::string Encryption::PowerEncryption(const std::string&) {
  throw Error(ErrorNumber::not_supported, "PowerEncryption is not available yet");
}
std::string Encryption::SeedEncryption(const std::string&, const std::string&) {
  throw Error(ErrorNumber::not_supported, "SeedEncryption is not available yet");
}

}  // namespace quillfern
