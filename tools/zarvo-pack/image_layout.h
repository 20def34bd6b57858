// Where a stub's executable image ends, and so where the payload of an installer starts.
//
// A stub is the linked image padded with zero bytes to exactly its PayloadOffset, and the
// payload archive follows. The image's end comes from its own headers: for ELF the furthest
// of the headers, the section and program header tables, and every section and segment with
// bytes in the file; for PE the furthest of the headers, every section's raw data and the
// COFF symbol and string tables. The payload is the first non-zero byte after that end.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string>

namespace zpack {

enum class ImageFormat { Unknown, Elf, Pe };

struct ImageInfo {
  ImageFormat Format = ImageFormat::Unknown;
  uint64_t End = 0;
  // PE: the certificate table named by the security directory (a file offset and size),
  // which signing (osslsigncode, signtool) appends after everything else; 0 when unsigned.
  uint64_t CertificateOffset = 0, CertificateSize = 0;
  std::string Problem; // why the headers could not be read, when Format is Unknown
};

const char* FormatName(ImageFormat format);

ImageInfo InspectImage(std::istream& in, uint64_t fileSize);

struct PayloadPlace {
  std::optional<uint64_t> Offset; // nothing when there is no payload
  ImageInfo Image;
  std::string Problem; // why there is no payload
};

// The payload offset of an installer: 0 for a bare archive (a file that starts with the
// magic), else the first non-zero byte after the image's end, which must hold the magic.
PayloadPlace LocatePayload(std::istream& in, uint64_t fileSize);

} // namespace zpack
