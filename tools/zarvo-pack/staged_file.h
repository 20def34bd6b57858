// An output file written under a temporary name beside its destination and renamed over
// it only once complete, so that a failure never leaves a partial file under its name.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

namespace zpack {

class StagedFile {
public:
  explicit StagedFile(std::filesystem::path destination);
  ~StagedFile(); // removes the temporary file unless it was committed
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  bool Open(std::string& problem);
  std::ofstream& Stream() { return stream_; }
  // Closes the file and checks that every write went through; false (and the temporary
  // file gone) when one did not.
  bool Finish(std::string& problem);
  // Renames the finished file to its destination, replacing what stands there.
  bool Commit(std::string& problem);

  const std::filesystem::path& Destination() const { return destination_; }
  const std::filesystem::path& TemporaryPath() const { return temporary_; }

private:
  std::filesystem::path destination_, temporary_;
  std::ofstream stream_;
  bool committed_ = false;
};

std::filesystem::path PathFromUtf8(const std::string& text);
std::string Utf8FromPath(const std::filesystem::path& path);

} // namespace zpack
