// The Encryption control: the library's one creatable object and the
// faithful facade over its ciphers. Methods keep the published names and
// by-reference parameters; a method writes its output once, after the
// whole input has been processed, and leaves it untouched when it fails.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "quillfern/platform/container.hpp"
#include "quillfern/platform/host.hpp"
#include "quillfern/platform/property_bag.hpp"

namespace quillfern {

class Encryption : public platform::ControlBase {
 public:
  // The host lends its services; the container, when given, receives the
  // property-changed notifications and the Hide event.
  explicit Encryption(platform::Host& host, platform::Container* container = nullptr) noexcept;

  [[nodiscard]] platform::Host& host() const noexcept { return *host_; }

  // ---- the control's own operations ---------------------------------------
  // Enabled reads and writes the flag of the container-facing base; every
  // write sends one property-changed notification naming "Enabled".
  [[nodiscard]] bool Enabled() const noexcept;
  void Enabled(bool value);

  // Persistence: "Enabled" as a Boolean, default true. Loading sends no
  // notification.
  void ReadProperties(const platform::PropertyBag& bag);
  void WriteProperties(platform::PropertyBag& bag) const;

  // Shows the About window.
  void About();

  // ---- character transforms -----------------------------------------------
  void EncryptPassword(const std::uint8_t& Number, const std::string& DecryptedPassword,
                       std::string& OutPut);
  void DecryptPassword(const std::uint8_t& Number, const std::string& EncryptedPassword,
                       std::string& OutPut);
  void convert(const std::string& InPutString, std::string& OutPut);
  void DeConvert(const std::string& InPutString, std::string& OutPut);
  void EasyCryptEnCode(const std::string& InPutString, std::string& OutPut);
  void EasyCryptDeCode(const std::string& InPutString, std::string& OutPut);
  [[nodiscard]] std::string PowerEncryption(const std::string& InPutString);
  [[nodiscard]] std::string SeedEncryption(const std::string& InPutString,
                                           const std::string& SeedPassword);

  // ---- keyed text ciphers -------------------------------------------------
  void FastBlowFish(const std::string& InPutString, std::string& OutPut,
                    const std::string& Password);
  // The result is empty (no value) when no character was produced, which
  // differs from an empty text. Password is overwritten with the decimal
  // text of the key number.
  [[nodiscard]] std::optional<std::string> TextBoxCrypt(const std::string& InPutText,
                                                        std::string& Password);
  [[nodiscard]] std::optional<std::string> TextBoxDeCrypt(const std::string& InPutText,
                                                          std::string& Password);
  [[nodiscard]] std::string DeCipherText(const std::string& CipherString,
                                         const std::string& Password);
  [[nodiscard]] std::string EnCipherText(const std::string& CipherInString,
                                         const std::string& Password);

  // ---- file operations ----------------------------------------------------
  void EncodeDecodeFile(const std::string& InputFile, const std::string& OutputFile,
                        const std::string& Password);
  void WipeFileClean(const std::string& FileName);

 protected:
  // The container reported the control hidden: raise Hide.
  void on_hidden() override;

 private:
  platform::Host* host_;
};

}  // namespace quillfern
