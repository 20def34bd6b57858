// The few things the tool needs from the operating system beyond the C++ library, kept here
// so that the rest builds alike for POSIX and for Windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zpack {

// Local time minus UTC, in seconds, as it stands now (daylight saving included).
int64_t CurrentUtcBias();
// Whether standard error is a terminal (progress is shown only there).
bool StderrIsTerminal();
// The command line as UTF-8 strings: on Windows read again as UTF-16 (argv holds the ANSI
// code page there); elsewhere argv as it is.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

} // namespace zpack
