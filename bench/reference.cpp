// The floor with the writes: decodes every entry of an installer's payload with libbz2, as the
// installer does (whole stream in memory, one block of the decoded size, normal mode), then
// makes exactly the installer's write(2) calls for that entry, the sizes taken from a plan
// worked out beforehand. Nothing is packed or looked at: what the installer costs beyond this
// program is the cost of its own code.
//
//   bench-reference INSTALLER PLAN OUTDIR
#include "payload_reader.h"

#include <bzlib.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "bench-reference: %s %s\n", what, detail.c_str());
  std::exit(1);
}

// The plan file, read whole: per entry a short-string name, a count and that many sizes.
struct Plan {
  std::string Bytes;
  // The sizes of `name`'s writes, or null.
  const uint32_t* Find(const std::string& name, uint32_t& count) const {
    size_t at = 0;
    while (at < Bytes.size()) {
      size_t length = uint8_t(Bytes[at]);
      std::string entry = Bytes.substr(at + 1, length);
      at += 1 + length;
      std::memcpy(&count, Bytes.data() + at, 4);
      at += 4;
      if (entry == name) return reinterpret_cast<const uint32_t*>(Bytes.data() + at);
      at += 4 * size_t(count);
    }
    return nullptr;
  }
};

Plan ReadPlan(const char* path) {
  int fd = open(path, O_RDONLY);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0) Fail("can't open", path);
  Plan plan;
  // Kept 4-aligned for the sizes: std::string's storage comes from operator new.
  plan.Bytes.resize(size_t(st.st_size));
  if (!bench::ReadExactly(fd, plan.Bytes.data(), plan.Bytes.size())) Fail("can't read", path);
  close(fd);
  return plan;
}

void Decode(const char* compressed, uint32_t compressedSize, char* decoded, uint32_t decodedSize,
            const std::string& name) {
  bz_stream s = {};
  if (BZ2_bzDecompressInit(&s, 0, 0) != BZ_OK) Fail("decoder start failed for", name);
  s.next_in = const_cast<char*>(compressed);
  s.avail_in = compressedSize;
  s.next_out = decoded;
  s.avail_out = decodedSize;
  int status;
  do status = BZ2_bzDecompress(&s);
  while (status == BZ_OK && s.avail_out > 0 && s.avail_in > 0);
  if (status != BZ_STREAM_END || s.total_out_lo32 != decodedSize) Fail("bad stream in", name);
  BZ2_bzDecompressEnd(&s);
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "Usage: bench-reference INSTALLER PLAN OUTDIR\n");
    return 2;
  }
  Plan plan = ReadPlan(argv[2]);
  int in = open(argv[1], O_RDONLY);
  if (in < 0 || !bench::OpenArchive(in, BENCH_PAYLOAD_OFFSET)) Fail("no payload in", argv[1]);
  std::string outDir = argv[3];

  for (;;) {
    bench::EntryHeader h;
    if (!bench::ReadEntryHeader(in, h)) Fail("archive cut short in", argv[1]);
    if (h.CompressedSize == 0) break;
    uint32_t count;
    const uint32_t* writes = plan.Find(h.Name, count);
    if (!writes) Fail("no plan for", h.Name);

    char* compressed = static_cast<char*>(std::malloc(h.CompressedSize));
    if (!compressed || !bench::ReadExactly(in, compressed, h.CompressedSize))
      Fail("can't read the stream of", h.Name);
    char* decoded = static_cast<char*>(std::malloc(h.DecodedSize ? h.DecodedSize : 1));
    if (!decoded) Fail("out of memory for", h.Name);
    Decode(compressed, h.CompressedSize, decoded, h.DecodedSize, h.Name);
    std::free(compressed);

    std::string path = outDir + "/" + h.Name;
    int out = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (out < 0) Fail("can't create", path);
    // The bytes come from the decoded block, as the installer's do; only their sizes matter.
    uint32_t at = 0;
    for (uint32_t i = 0; i < count; i++) {
      uint32_t size = writes[i];
      if (size > h.DecodedSize) Fail("a write larger than the entry in", h.Name);
      if (size > h.DecodedSize - at) at = 0;
      if (write(out, decoded + at, size) != ssize_t(size)) Fail("can't write", path);
      at += size;
    }
    close(out);
    std::free(decoded);
  }
  close(in);
  return 0;
}
