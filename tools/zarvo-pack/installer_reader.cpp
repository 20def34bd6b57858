#include "zarvo-pack/installer_reader.h"

#include "zarvo-pack/bzip2_codec.h"
#include "zarvo-pack/code_pages.h"
#include "zarvo-pack/entry_content.h"
#include "zarvo-pack/staged_file.h"

namespace zpack {

std::string OpenInstaller(const InspectOptions& options, OpenedInstaller& installer) {
  installer.Shown = Utf8FromPath(options.Installer);
  std::error_code error;
  installer.Size = std::filesystem::file_size(options.Installer, error);
  installer.In.open(options.Installer, std::ios::binary);
  if (error || !installer.In) return "can't be read";
  if (options.Offset) {
    installer.Place.Offset = *options.Offset;
    installer.Place.Image = InspectImage(installer.In, installer.Size);
  } else {
    installer.Place = LocatePayload(installer.In, installer.Size);
    if (!installer.Place.Offset) return installer.Place.Problem + " (--offset gives it)";
  }
  return ReadArchive(installer.In, installer.Size, *installer.Place.Offset, installer.Archive);
}

EntryData DecodeEntry(OpenedInstaller& installer, const EntryHeader& entry) {
  EntryData result;
  if (entry.CompressedSize > MaxEntrySize) {
    result.Problem = "its compressed size " + std::to_string(entry.CompressedSize) +
                     " is 2 GiB or more, past what the installer can read";
    return result;
  }
  if (entry.DecodedSize > MaxEntrySize) {
    result.Problem = "its decoded size " + std::to_string(entry.DecodedSize) +
                     " is 2 GiB or more, past what the installer can decode";
    return result;
  }
  Bytes stream;
  if (!ReadStream(installer.In, entry, stream)) {
    result.Problem = "its stream can't be read";
    return result;
  }
  DecodedStream decoded = DecodeStream(stream.data(), stream.size(), entry.DecodedSize);
  if (decoded.OverLimit) {
    result.Problem = "it decodes to more than the " + std::to_string(entry.DecodedSize) +
                     " bytes its header gives (the installer stops with \"tdec\")";
    return result;
  }
  if (!decoded.Complete) {
    result.Problem = decoded.Problem;
    return result;
  }
  if (decoded.Data.size() != entry.DecodedSize) {
    result.Problem = "it decodes to " + std::to_string(decoded.Data.size()) +
                     " bytes, but its header gives " + std::to_string(entry.DecodedSize) +
                     " (the installer stops with \"tdec\")";
    return result;
  }
  if (decoded.Consumed < stream.size()) {
    result.Note = std::to_string(stream.size() - decoded.Consumed) +
                  " bytes follow its bzip2 stream; the installer ignores them";
  }
  result.Data = std::move(decoded.Data);
  return result;
}

std::string DescribeEntry(size_t number, const EntryHeader& entry) {
  return "entry " + std::to_string(number) + " \"" + ToUtf8(entry.Name, CodePage::Windows1252) +
         "\"";
}

} // namespace zpack
