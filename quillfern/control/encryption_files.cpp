// The control's file operations, over the plain functions of
// quillfern/files.
#include "quillfern/control/encryption.hpp"
#include "quillfern/control/error.hpp"

namespace quillfern {

// Not yet part of this build: they report so instead of doing anything.
void Encryption::EncodeDecodeFile(const std::string&, const std::string&, const std::string&) {
  throw Error(ErrorNumber::not_supported, "EncodeDecodeFile is not available yet");
}
void Encryption::WipeFileClean(const std::string&) {
  throw Error(ErrorNumber::not_supported, "WipeFileClean is not available yet");
}

}  // namespace quillfern
