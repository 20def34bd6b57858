// Copies each entry's bzip2 stream out of an installer's payload, for timing `bzip2 -dc` on
// exactly the streams the installer decodes.
//
//   bench-split-streams INSTALLER OUTDIR    writes OUTDIR/NN.bz2, one line per entry on stdout:
//                                           NN.bz2 NAME COMPRESSED DECODED
#include "payload_reader.h"

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "Usage: bench-split-streams INSTALLER OUTDIR\n");
    return 2;
  }
  int in = open(argv[1], O_RDONLY);
  if (in < 0 || !bench::OpenArchive(in, BENCH_PAYLOAD_OFFSET)) {
    std::fprintf(stderr, "bench-split-streams: no payload in %s\n", argv[1]);
    return 1;
  }
  for (unsigned n = 1;; n++) {
    bench::EntryHeader h;
    if (!bench::ReadEntryHeader(in, h)) {
      std::fprintf(stderr, "bench-split-streams: archive cut short\n");
      return 1;
    }
    if (h.CompressedSize == 0) break;
    std::vector<char> stream(h.CompressedSize);
    char file[16];
    std::snprintf(file, sizeof file, "%02u.bz2", n % 100);
    std::string path = std::string(argv[2]) + "/" + file;
    int out = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!bench::ReadExactly(in, stream.data(), stream.size()) || out < 0 ||
        write(out, stream.data(), stream.size()) != ssize_t(stream.size()) || close(out) != 0) {
      std::fprintf(stderr, "bench-split-streams: can't copy the stream of %s\n", h.Name.c_str());
      return 1;
    }
    std::printf("%s %s %u %u\n", file, h.Name.c_str(), h.CompressedSize, h.DecodedSize);
  }
  return 0;
}
