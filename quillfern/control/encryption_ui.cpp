// The control's About operation, over the About window of quillfern/ui.
#include "quillfern/control/encryption.hpp"
#include "quillfern/ui/about_form.hpp"

namespace quillfern {

// The About window is one per process, not per control: every control of
// the host shows the same window object, which the host keeps.
void Encryption::About() { ui::show_about(host()); }

}  // namespace quillfern
