// A control on a host whose message box and container record what they
// are given: the fixture of the control's and the dispatcher's tests.
#pragma once

#include <gtest/gtest.h>

#include "quillfern/control/encryption.hpp"
#include "testing/doubles.hpp"

namespace quillfern {

struct ControlFixture : ::testing::Test {
  testing::RecordingMessageBox box;
  platform::Host host{box};
  testing::RecordingContainer container;
  Encryption control{host, &container};
};

}  // namespace quillfern
