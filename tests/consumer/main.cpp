#include <quillfern/quillfern.hpp>

#include <iostream>

int main() {
  quillfern::platform::StreamMessageBox box(std::cerr);
  quillfern::platform::Host host(box);
  quillfern::Encryption control(host);
  std::string scrambled, restored;
  control.EncryptPassword(5, "Secret1", scrambled);
  control.DecryptPassword(5, scrambled, restored);
  std::cout << quillfern::version_string << " " << restored << "\n";
  return restored == "Secret1" ? 0 : 1;
}
