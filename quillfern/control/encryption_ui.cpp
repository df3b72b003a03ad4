// The control's About operation, over the About window of quillfern/ui.
#include "quillfern/control/encryption.hpp"
#include "quillfern/control/error.hpp"

namespace quillfern {

// Not yet part of this build: it reports so instead of showing anything.
void Encryption::About() {
  throw Error(ErrorNumber::not_supported, "About is not available yet");
}

}  // namespace quillfern
