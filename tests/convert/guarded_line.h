// A copy of a line that ends exactly where readable memory ends: the page after it is
// PROT_NONE, so reading one byte past the line faults instead of passing unseen.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

class GuardedLine {
public:
  GuardedLine() {
    page_ = size_t(sysconf(_SC_PAGESIZE));
    void* map =
        mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map == MAP_FAILED) {
      ADD_FAILURE() << "mmap failed";
      return;
    }
    base_ = static_cast<uint8_t*>(map);
    if (mprotect(base_ + page_, page_, PROT_NONE) != 0) ADD_FAILURE() << "mprotect failed";
  }
  ~GuardedLine() {
    if (base_ != nullptr) munmap(base_, 2 * page_);
  }
  GuardedLine(const GuardedLine&) = delete;
  GuardedLine& operator=(const GuardedLine&) = delete;

  // The first `count` bytes of `line`, placed so that their last byte is the page's last.
  const uint8_t* Place(const std::string& line, size_t count) {
    uint8_t* at = base_ + page_ - count;
    std::memcpy(at, line.data(), count);
    return at;
  }

private:
  size_t page_ = 0;
  uint8_t* base_ = nullptr;
};
