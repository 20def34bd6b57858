#include "zarvo-pack/staged_file.h"

#include <chrono>
#include <cstdio>
#include <random>

namespace zpack {

std::filesystem::path PathFromUtf8(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

StagedFile::StagedFile(std::filesystem::path destination) : destination_(std::move(destination)) {}

StagedFile::~StagedFile() {
  if (stream_.is_open()) stream_.close();
  if (!committed_ && !temporary_.empty()) {
    std::error_code ignored;
    std::filesystem::remove(temporary_, ignored);
  }
}

bool StagedFile::Open(std::string& problem) {
  thread_local std::mt19937_64 random(
      std::random_device{}() ^
      uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()));
  const std::filesystem::path directory = destination_.parent_path();
  for (int attempt = 0; attempt < 100; attempt++) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".part-%08llx", (unsigned long long)(random() >> 32));
    std::filesystem::path candidate =
        directory / PathFromUtf8("." + Utf8FromPath(destination_.filename()) + suffix);
    std::error_code error;
    if (std::filesystem::exists(candidate, error) || error) continue;
    stream_.open(candidate, std::ios::binary | std::ios::trunc);
    if (!stream_) {
      problem = "can't be written in " + Utf8FromPath(directory.empty() ? "." : directory);
      return false;
    }
    temporary_ = candidate;
    return true;
  }
  problem = "no free temporary name beside it";
  return false;
}

bool StagedFile::Finish(std::string& problem) {
  stream_.flush();
  const bool written = bool(stream_);
  stream_.close();
  if (!written || stream_.fail()) {
    problem = "writing it failed (disk full?)";
    std::error_code ignored;
    std::filesystem::remove(temporary_, ignored);
    temporary_.clear();
    return false;
  }
  return true;
}

bool StagedFile::Commit(std::string& problem) {
  std::error_code error;
  std::filesystem::rename(temporary_, destination_, error);
  if (error) {
    problem = "can't be put in place: " + error.message();
    return false;
  }
  committed_ = true;
  return true;
}

} // namespace zpack
