#include "pack_fixture.h"

#include "zarvo-pack/dos_time.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <stdexcept>

namespace pt {

ScratchDir::ScratchDir() {
  std::random_device random;
  for (int attempt = 0; attempt < 100; attempt++) {
    fs::path candidate =
        fs::temp_directory_path() / ("zarvo-pack-test-" + std::to_string(random()));
    if (fs::create_directory(candidate)) {
      Path = candidate;
      return;
    }
  }
  throw std::runtime_error("no scratch directory");
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  fs::remove_all(Path, ignored);
}

std::string ElfStub(size_t size) {
  std::string image(64, '\0');
  image.replace(0, 4,
                "\x7F"
                "ELF");
  image[4] = 2; // 64-bit
  image[5] = 1; // little-endian
  image[6] = 1;
  image[52] = 64; // e_ehsize
  image.resize(size, '\0');
  return image;
}

namespace {

void Put(std::string& image, size_t at, uint32_t value, size_t width) {
  for (size_t i = 0; i < width; i++) image[at + i] = char(value >> (8 * i));
}

const size_t PeHeader = 0x80, PeOptional = PeHeader + 24;

} // namespace

std::string PeStub(size_t size) {
  std::string image(0x400, '\0');
  image.replace(0, 2, "MZ");
  Put(image, 60, PeHeader, 4);
  image.replace(PeHeader, 4, std::string("PE\0\0", 4));
  Put(image, PeHeader + 6, 1, 2);    // one section
  Put(image, PeHeader + 20, 224, 2); // the PE32 optional header's size
  Put(image, PeOptional, 0x10B, 2);
  Put(image, PeOptional + 60, 0x200, 4); // SizeOfHeaders
  Put(image, PeOptional + 92, 16, 4);    // data directories
  const size_t section = PeOptional + 224;
  Put(image, section + 16, 0x200, 4);
  Put(image, section + 20, 0x200, 4);
  for (size_t i = 0x200; i < 0x400; i++) image[i] = char(0x90);
  image.resize(size, '\0');
  return image;
}

void SetSecurityDirectory(std::string& file, uint32_t offset, uint32_t size) {
  Put(file, PeOptional + 96 + 32, offset, 4);
  Put(file, PeOptional + 96 + 36, size, 4);
}

zt::RunResult Pack(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {zt::BinPath("zarvo-pack").string()};
  argv.insert(argv.end(), args.begin(), args.end());
  return zt::Run(argv);
}

uint32_t DosOf(int64_t unixSeconds) {
  return *zpack::DosDateTimeFromCivil(zpack::LocalCivilFromUnix(unixSeconds));
}

std::string Hex(const std::string& bytes) {
  std::string out;
  char b[4];
  for (unsigned char c : bytes) {
    std::snprintf(b, sizeof b, "%02X ", c);
    out += b;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

std::string Str(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}
Bytes Data(const std::string& bytes) {
  return Bytes(bytes.begin(), bytes.end());
}

std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string IndexEntry(uint32_t position, uint32_t length, uint8_t type, const std::string& name) {
  std::string entry = zt::U32(position) + zt::U32(length);
  entry += char(type);
  entry += char(name.size());
  entry += name;
  entry.resize(18, '\x5A'); // filler of any value
  return entry;
}

std::string WorkedContent(uint32_t position1, uint32_t length1, uint32_t position2,
                          uint32_t length2) {
  return std::string("\x02") + IndexEntry(position1, length1, 0x0A, "A") +
         IndexEntry(position2, length2, 0x0C, "B") + "HEADER01" + zt::U32(9) + "le chat\n\n" +
         "\x01\x02\x03";
}

std::string WorkedInstalled(uint32_t position1, uint32_t length1, uint32_t position2,
                            uint32_t length2) {
  return std::string("\x02") + "HEADER01" + "\x05\x91\x0F\x1F\x94\x60" + std::string(1, '\0') +
         "\x01\x02\x03" + IndexEntry(position1, length1, 0x0A, "A") +
         IndexEntry(position2, length2, 0x0C, "B");
}

} // namespace pt
