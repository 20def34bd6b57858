// Finding the payload behind a stub: the image's end from its ELF or PE headers, then the
// first non-zero byte of the padding, which must begin the payload's magic.
#include "pack_fixture.h"

#include "zarvo-pack/image_layout.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace zpack;

namespace {

const std::string Magic = "\x15\xCD\x5B\x07";

void Put(std::string& image, size_t at, uint64_t value, size_t width, bool bigEndian = false) {
  if (image.size() < at + width) image.resize(at + width, '\0');
  for (size_t i = 0; i < width; i++)
    image[at + (bigEndian ? width - 1 - i : i)] = char(value >> (8 * i));
}

// An ELF image whose last bytes are its section header table, after a section of data
// that ends in zero bytes (which must not be taken for padding).
std::string ElfImage(bool wide, bool bigEndian) {
  std::string image;
  image = "\x7F"
          "ELF";
  image.resize(wide ? 64 : 52, '\0');
  image[4] = wide ? 2 : 1;
  image[5] = bigEndian ? 2 : 1;
  const size_t word = wide ? 8 : 4;
  const size_t dataAt = 0x100, dataSize = 0x40, tableAt = 0x200, entry = wide ? 64 : 40;
  image.resize(dataAt, '\0');
  image += std::string(dataSize - 8, '\x11') + std::string(8, '\0');
  Put(image, wide ? 40 : 32, tableAt, word, bigEndian);     // e_shoff
  Put(image, wide ? 52 : 40, wide ? 64 : 52, 2, bigEndian); // e_ehsize
  Put(image, wide ? 58 : 46, entry, 2, bigEndian);          // e_shentsize
  Put(image, wide ? 60 : 48, 3, 2, bigEndian);              // e_shnum
  image.resize(tableAt + 3 * entry, '\0');
  // Section 1: PROGBITS with the data; section 2: NOBITS far beyond, which has no bytes.
  const size_t s1 = tableAt + entry, s2 = tableAt + 2 * entry;
  Put(image, s1 + 4, 1, 4, bigEndian);
  Put(image, s1 + (wide ? 24 : 16), dataAt, word, bigEndian);
  Put(image, s1 + (wide ? 32 : 20), dataSize, word, bigEndian);
  Put(image, s2 + 4, 8, 4, bigEndian);
  Put(image, s2 + (wide ? 24 : 16), 0x100000, word, bigEndian);
  Put(image, s2 + (wide ? 32 : 20), 0x100000, word, bigEndian);
  return image;
}

// A PE image: headers, one section of raw data, and optionally a COFF symbol table with
// its string table after it (as an unstripped MinGW build has).
std::string PeImage(bool plus, bool symbols) {
  std::string image = "MZ";
  image.resize(0x80, '\0');
  Put(image, 60, 0x80, 4);
  image += std::string("PE\0\0", 4);
  const size_t coff = 0x84, optional = coff + 20, optionalSize = plus ? 240 : 224;
  Put(image, coff + 2, 1, 2); // one section
  Put(image, coff + 16, optionalSize, 2);
  Put(image, optional, plus ? 0x20B : 0x10B, 2);
  Put(image, optional + 60, 0x200, 4); // SizeOfHeaders
  Put(image, optional + (plus ? 108 : 92), 16, 4);
  const size_t section = optional + optionalSize;
  Put(image, section + 16, 0x200, 4); // SizeOfRawData
  Put(image, section + 20, 0x200, 4); // PointerToRawData
  image.resize(0x400, '\x22');
  if (symbols) {
    Put(image, coff + 8, 0x400, 4); // PointerToSymbolTable
    Put(image, coff + 12, 2, 4);    // two symbols of 18 bytes
    image.resize(0x400 + 36, '\x33');
    Put(image, 0x400 + 36, 10, 4); // string table of 10 bytes, its size included
    image += std::string("ab\0cd\0", 6);
  }
  return image;
}

PayloadPlace Locate(const std::string& file) {
  std::istringstream in(file);
  return LocatePayload(in, file.size());
}

} // namespace

TEST(PayloadLocation, ElfImagesOfEveryWidthAndByteOrder) {
  for (bool wide : {true, false}) {
    for (bool big : {false, true}) {
      std::string image = ElfImage(wide, big);
      std::istringstream in(image);
      ImageInfo info = InspectImage(in, image.size());
      ASSERT_EQ(info.Format, ImageFormat::Elf) << info.Problem;
      EXPECT_EQ(info.End, image.size()) << wide << big;
      std::string stub = image;
      stub.resize(0x3000, '\0');
      PayloadPlace place = Locate(stub + Magic + "rest");
      ASSERT_TRUE(place.Offset) << place.Problem;
      EXPECT_EQ(*place.Offset, 0x3000u);
    }
  }
}

TEST(PayloadLocation, PeImagesWithAndWithoutSymbols) {
  for (bool plus : {false, true}) {
    for (bool symbols : {false, true}) {
      std::string image = PeImage(plus, symbols);
      std::istringstream in(image);
      ImageInfo info = InspectImage(in, image.size());
      ASSERT_EQ(info.Format, ImageFormat::Pe) << info.Problem;
      EXPECT_EQ(info.End, image.size());
      std::string stub = image;
      stub.resize(28160, '\0');
      PayloadPlace place = Locate(stub + Magic);
      ASSERT_TRUE(place.Offset) << place.Problem;
      EXPECT_EQ(*place.Offset, 28160u);
    }
  }
}

TEST(PayloadLocation, ThereIsNoPayloadAndItSaysWhy) {
  struct Case {
    std::string File;
    const char* Problem;
  } cases[] = {
      {pt::ElfStub(4096), "only zero padding follows it"},
      {pt::ElfStub(64), "nothing follows it"},
      {pt::ElfStub(4096) + "\x15\xCD\x5B\x08", "does not begin the payload magic"},
      {"#!/bin/sh\n", "neither an ELF nor a PE executable"},
      {std::string("MZ") + std::string(62, '\0'), "no PE header"},
  };
  for (const Case& c : cases) {
    PayloadPlace place = Locate(c.File);
    EXPECT_FALSE(place.Offset);
    EXPECT_NE(place.Problem.find(c.Problem), std::string::npos) << place.Problem;
  }
}

TEST(PayloadLocation, ABareArchiveStartsAtZero) {
  PayloadPlace place = Locate(Magic + std::string(5, '\0'));
  ASSERT_TRUE(place.Offset);
  EXPECT_EQ(*place.Offset, 0u);
}

TEST(PayloadLocation, SecurityDirectoryIsRead) {
  std::string image = PeImage(false, false);
  Put(image, 0x84 + 20 + 96 + 32, 0x5000, 4);
  Put(image, 0x84 + 20 + 96 + 36, 0x40, 4);
  std::istringstream in(image);
  ImageInfo info = InspectImage(in, image.size());
  EXPECT_EQ(info.CertificateOffset, 0x5000u);
  EXPECT_EQ(info.CertificateSize, 0x40u);
}
