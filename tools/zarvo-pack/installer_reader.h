// An installer opened for reading: its payload found and its archive's headers read.
#pragma once

#include "zarvo-pack/archive_reader.h"
#include "zarvo-pack/commands.h"
#include "zarvo-pack/image_layout.h"

#include <fstream>
#include <string>

namespace zpack {

struct OpenedInstaller {
  std::string Shown; // the installer's path, for messages
  std::ifstream In;
  uint64_t Size = 0;
  PayloadPlace Place;
  ArchiveInfo Archive;
};

// Opens the installer, finds its payload (or takes the offset given) and reads the archive's
// headers. Returns why that failed, or empty.
std::string OpenInstaller(const InspectOptions& options, OpenedInstaller& installer);

struct EntryData {
  Bytes Data;
  std::string Problem; // why the installer would not get this entry's content
  std::string Note;    // bytes after the stream, which the installer ignores
};

// Reads and decodes an entry's stream as the installer does, and checks the decoded count
// against the header's decoded size.
EntryData DecodeEntry(OpenedInstaller& installer, const EntryHeader& entry);

// `entry 2 "A.DCW"`, for messages.
std::string DescribeEntry(size_t number, const EntryHeader& entry);

} // namespace zpack
