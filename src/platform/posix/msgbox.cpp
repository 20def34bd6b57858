// Message boxes on a terminal: the box is written to stderr in UTF-8 and a Yes/No box takes its
// answer from one line of stdin.
#include "platform/posix/layer.h"

#include <errno.h>
#include <stdio.h>
#include <unistd.h>

using namespace posix_layer;

// Code page 1252's 0x80-0x9F; the five bytes it leaves undefined map to the C1 controls of the
// same value, as Windows maps them.
static const uint16_t cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

static void AppendUtf8(std::string* out, unsigned code) {
  if (code < 0x80) {
    *out += static_cast<char>(code);
  } else if (code < 0x800) {
    *out += static_cast<char>(0xC0 | code >> 6);
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out += static_cast<char>(0xE0 | code >> 12);
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// A 1252 text as UTF-8 lines; CR, LF and CR LF each break the line.
static std::string Utf8Lines(const char* text) {
  std::string out;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    unsigned char c = *p;
    if (c == 0x0D) {
      out += '\n';
      if (p[1] == 0x0A) ++p;
    } else if (c >= 0x80 && c <= 0x9F) {
      AppendUtf8(&out, cp1252High[c - 0x80]);
    } else {
      AppendUtf8(&out, c);
    }
  }
  return out;
}

static void WriteAll(int fd, const std::string& s) {
  size_t done = 0;
  while (done < s.size()) {
    ssize_t n = write(fd, s.data() + done, s.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

// One line of stdin, read a byte at a time so that the next box gets the next line.
static bool ReadAnswerLine(std::string* line) {
  line->clear();
  for (;;) {
    char c;
    ssize_t n = read(0, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return !line->empty();
    if (c == '\n') return true;
    *line += c;
  }
}

static const char* IconName(UINT type) {
  switch (type & 0xF0) {
  case MB_ICONERROR:
    return " [stop]";
  case MB_ICONEXCLAMATION:
    return " [!]";
  case MB_ICONINFORMATION:
    return " [i]";
  case 0x20: // MB_ICONQUESTION
    return " [?]";
  default:
    return "";
  }
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  (void)owner;
  // Windows titles a box without a caption "Error".
  if (!caption) caption = "Error";
  if (!text) text = "";
  char flags[16];
  snprintf(flags, sizeof flags, "0x%02x", type);
  std::string line = std::string("box\t") + flags + "\t" + TranscriptEscape(caption) + "\t" +
                     TranscriptEscape(text) + "\t";
  if (InjectedFault(kMessageBoxA)) {
    TranscriptLine(line + "0");
    return 0;
  }
  UINT buttons = type & 0x0F;
  if (buttons != MB_OK && buttons != MB_YESNO) {
    TranscriptLine(line + "0");
    return Fail(ERROR_INVALID_PARAMETER, 0);
  }
  std::string box =
      "=== " + Utf8Lines(caption) + " ===" + IconName(type) + "\n" + Utf8Lines(text) + "\n";
  int answer = IDOK;
  if (buttons == MB_OK) {
    WriteAll(2, box + "[OK]\n");
  } else {
    WriteAll(2, box + "[Yes] [No] ? ");
    std::string reply;
    bool got = ReadAnswerLine(&reply);
    char first = got && !reply.empty() ? static_cast<char>(reply[0] | 0x20) : 0;
    answer = first == 'y' || first == 'o' ? IDYES : IDNO;
    // A terminal has echoed the typed line already; a script's answer is shown here.
    if (!isatty(0)) WriteAll(2, answer == IDYES ? "Yes\n" : "No\n");
  }
  TranscriptLine(line + std::to_string(answer));
  return answer;
}
