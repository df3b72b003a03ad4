// The control's file operations, over the plain functions of
// quillfern/files. EncodeDecodeFile draws from the host's runtime, whose
// generator keeps its state from one call to the next.
#include "quillfern/control/encryption.hpp"
#include "quillfern/files/file_cipher.hpp"
#include "quillfern/files/wipe.hpp"

namespace quillfern {

void Encryption::EncodeDecodeFile(const std::string& InputFile, const std::string& OutputFile,
                                  const std::string& Password) {
  files::encode_decode_file(InputFile, OutputFile, Password, host().runtime().random());
}

void Encryption::WipeFileClean(const std::string& FileName) { files::wipe_file_clean(FileName); }

}  // namespace quillfern
