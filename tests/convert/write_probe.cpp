// Runs one writer in a process of its own, so that fault injection (ZARVO_SETUP_FAULTS) counts
// the writer's system calls and nothing else.
//
//   write_probe indexed|packed|plain ENTRY-NAME CONTENT-HOST-FILE
//
// Writes into C:\out of $WINEPREFIX and exits 0, or ends as the writer's failure ends the run.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "convert/writers.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: write_probe indexed|packed|plain ENTRY-NAME CONTENT-FILE\n");
    return 64;
  }
  std::ifstream in(argv[3], std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  std::string content = bytes.str();

  Str255 name;
  ShortAssign(name, argv[2]);
  if (!SetCurrentDirectoryA("C:\\out")) return 65;
  CheckedFile file{};
  const uint8_t* data = reinterpret_cast<const uint8_t*>(content.data());
  uint32_t size = uint32_t(content.size());
  if (std::strcmp(argv[1], "indexed") == 0) {
    WriteIndexedTextFile(file, name, data, size);
  } else if (std::strcmp(argv[1], "packed") == 0) {
    WritePackedTextFile(file, name, data, size);
  } else if (std::strcmp(argv[1], "plain") == 0) {
    WritePlainFile(file, name, data, size);
  } else {
    return 64;
  }
  CheckedClose(file);
  return 0;
}
