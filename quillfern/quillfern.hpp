// Quillfern: the Encryption control and its text and file ciphers.
// Including this header gives the whole public library.
#pragma once

#include "quillfern/control/dispatcher.hpp"
#include "quillfern/control/encryption.hpp"
#include "quillfern/control/error.hpp"
#include "quillfern/control/identity.hpp"
#include "quillfern/control/interface.hpp"
#include "quillfern/platform/codepage.hpp"
#include "quillfern/platform/container.hpp"
#include "quillfern/platform/host.hpp"
#include "quillfern/platform/message_box.hpp"
#include "quillfern/platform/property_bag.hpp"
#include "quillfern/platform/variant.hpp"
#include "quillfern/transforms/hex.hpp"
#include "quillfern/transforms/password.hpp"
#include "quillfern/transforms/power.hpp"
#include "quillfern/transforms/seed.hpp"
#include "quillfern/transforms/shift.hpp"
#include "quillfern/version.hpp"
