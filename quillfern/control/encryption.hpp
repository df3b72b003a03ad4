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

  // Shows the About window of the host's process, modeless. Throws
  // quillfern::Error 445 when the host has no window system.
  void About();

  // ---- character transforms -----------------------------------------------
  // Each is the plain function of quillfern/transforms of the same name,
  // with its errors and limits:
  //   EncryptPassword, DecryptPassword: at most 254 characters (error 6
  //     after the 255th); error 5 when a code leaves 0..255, so keys 11 to
  //     255 fail on every non-empty text;
  //   convert, DeConvert: any length, never fail;
  //   EasyCryptEnCode, EasyCryptDeCode, SeedEncryption: at most 32766
  //     characters (error 6); error 5 for code 255 (code 0) and for a seed
  //     shorter than the text;
  //   PowerEncryption: at most 255 characters (error 5 up to 32767, error 6
  //     past that), upper-cased through the host's code page.
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
  // None of these raises an error (except for allocation) or limits the
  // length. The codes that the text-box pair drops and those that the
  // cipher-text pair cuts off are added to the host's lost_codes(); the
  // control itself says nothing of them.
  // Enciphers or deciphers (the same operation); shows "ERROR Zero!" for
  // every position whose result is code 0.
  void FastBlowFish(const std::string& InPutString, std::string& OutPut,
                    const std::string& Password);
  // The result is empty (no value) when no character was produced, which
  // differs from an empty text. Password is overwritten with the decimal
  // text of the key number.
  [[nodiscard]] std::optional<std::string> TextBoxCrypt(const std::string& InPutText,
                                                        std::string& Password);
  [[nodiscard]] std::optional<std::string> TextBoxDeCrypt(const std::string& InPutText,
                                                          std::string& Password);
  // The text of a cipher text made by EnCipherText under the same password.
  // An empty password shows "Please put in a password" and gives an empty
  // text; a cipher text that does not decipher to the password followed by
  // the text shows "Access Denied" and is returned unchanged.
  [[nodiscard]] std::string DeCipherText(const std::string& CipherString,
                                         const std::string& Password);
  // The password followed by the text, each code raised by the aligned
  // password code; it ends before the first sum above 255. An empty password
  // shows "Please put in a password" and gives an empty text.
  [[nodiscard]] std::string EnCipherText(const std::string& CipherInString,
                                         const std::string& Password);

  // ---- file operations ----------------------------------------------------
  // Encodes or decodes InputFile into OutputFile with key bytes of the host
  // runtime's generator, which goes on from call to call. Throws
  // quillfern::Error 53 for a missing input, 5 for an empty password with a
  // non-empty input, and the file errors; a failed call leaves a regular
  // OutputFile and the generator as they were.
  void EncodeDecodeFile(const std::string& InputFile, const std::string& OutputFile,
                        const std::string& Password);
  // Overwrites the file with "X", then spaces, and deletes it. Throws
  // quillfern::Error 53 for a missing file, 75 for anything but a regular
  // file, and the file errors.
  void WipeFileClean(const std::string& FileName);

 protected:
  // The container reported the control hidden: raise Hide.
  void on_hidden() override;

 private:
  platform::Host* host_;
};

}  // namespace quillfern
