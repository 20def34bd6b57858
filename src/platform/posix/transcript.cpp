// The run's transcript: with ZARVO_SETUP_LOG naming a file, every box, launch, cursor change and
// the exit are appended to it, one line each, so that tests can see what a user would have seen.
#include "platform/posix/layer.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

namespace posix_layer {

std::string TranscriptEscape(const char* text) {
  std::string out;
  if (!text) return out;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    unsigned char c = *p;
    if (c == '\\') {
      out += "\\\\";
    } else if (c == 0x0D) {
      out += "\\r";
    } else if (c == 0x0A) {
      out += "\\n";
    } else if (c == 0x09) {
      out += "\\t";
    } else if (c >= 0x20 && c <= 0x7E) {
      out += static_cast<char>(c);
    } else {
      char hex[5];
      snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    }
  }
  return out;
}

// Opened for each line, with O_APPEND and one write(2), so that the lines of several processes
// sharing a transcript never interleave and nothing waits in a buffer when the process ends.
void TranscriptLine(const std::string& line) {
  const char* path = getenv("ZARVO_SETUP_LOG");
  if (!path || !*path) return;
  int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  std::string whole = line + "\n";
  ssize_t written = write(fd, whole.data(), whole.size());
  (void)written; // a transcript that can't be written must not change the run
  close(fd);
}

} // namespace posix_layer
