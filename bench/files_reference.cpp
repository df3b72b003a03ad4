// The draw-by-draw file cipher as a program, for bench/peers/files.sh to
// time beside the quillfern command: files_reference INPUT OUTPUT PASSWORD.
// Built by that script only; not part of the tool.
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "tests/reference/file_cipher_reference.hpp"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: files_reference INPUT OUTPUT PASSWORD\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::string data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  quillfern::reference::ClassicRandom random;
  const std::string out = quillfern::reference::file_cipher(data, argv[3], random);
  std::ofstream(argv[2], std::ios::binary).write(out.data(), static_cast<std::streamsize>(out.size()));
  return 0;
}
