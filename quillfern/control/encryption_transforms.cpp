// The control's character transforms, over the plain functions of
// quillfern/transforms.
#include "quillfern/control/encryption.hpp"
#include "quillfern/transforms/hex.hpp"
#include "quillfern/transforms/password.hpp"
#include "quillfern/transforms/power.hpp"
#include "quillfern/transforms/seed.hpp"
#include "quillfern/transforms/shift.hpp"

namespace quillfern {

void Encryption::EncryptPassword(const std::uint8_t& Number, const std::string& DecryptedPassword,
                                 std::string& OutPut) {
  OutPut = transforms::encrypt_password(Number, DecryptedPassword);
}

void Encryption::DecryptPassword(const std::uint8_t& Number, const std::string& EncryptedPassword,
                                 std::string& OutPut) {
  OutPut = transforms::decrypt_password(Number, EncryptedPassword);
}

void Encryption::convert(const std::string& InPutString, std::string& OutPut) {
  OutPut = transforms::convert(InPutString);
}

void Encryption::DeConvert(const std::string& InPutString, std::string& OutPut) {
  OutPut = transforms::deconvert(InPutString);
}

void Encryption::EasyCryptEnCode(const std::string& InPutString, std::string& OutPut) {
  OutPut = transforms::easy_crypt_encode(InPutString);
}

void Encryption::EasyCryptDeCode(const std::string& InPutString, std::string& OutPut) {
  OutPut = transforms::easy_crypt_decode(InPutString);
}

// Upper-cases as the host's code page does.
std::string Encryption::PowerEncryption(const std::string& InPutString) {
  return transforms::power_encryption(InPutString, host().code_page());
}

std::string Encryption::SeedEncryption(const std::string& InPutString,
                                       const std::string& SeedPassword) {
  return transforms::seed_encryption(InPutString, SeedPassword);
}

}  // namespace quillfern
