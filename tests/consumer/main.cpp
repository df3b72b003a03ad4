#include <quillfern/quillfern.hpp>

#include <iostream>

int main() {
  quillfern::platform::RecordingMessageBox box;
  quillfern::platform::Host host(box);
  quillfern::Encryption control(host);
  std::string scrambled, restored;
  control.EncryptPassword(5, "Secret1", scrambled);
  control.DecryptPassword(5, scrambled, restored);
  std::cout << quillfern::version_string << " " << restored << "\n";
  return restored == "Secret1" ? 0 : 1;
}
