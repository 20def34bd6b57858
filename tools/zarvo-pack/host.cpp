#include "zarvo-pack/host.h"

#include "zarvo-pack/dos_time.h"

#include <ctime>

#if defined(_WIN32)
#include <windows.h>

// These need windows.h first.
#include <io.h>
#include <shellapi.h>
#include <stdio.h>
#else
#include <unistd.h>
#endif

namespace zpack {

int64_t CurrentUtcBias() {
#if defined(_WIN32)
  // The installer turns dates into file times with the system's own conversion, which
  // follows the Windows time zone; msvcrt's localtime would follow a TZ variable instead.
  FILETIME utc, local;
  GetSystemTimeAsFileTime(&utc);
  if (!FileTimeToLocalFileTime(&utc, &local)) return 0;
  auto ticks = [](const FILETIME& t) {
    return int64_t(uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime);
  };
  // 100-nanosecond ticks, rounded to whole seconds.
  int64_t difference = ticks(local) - ticks(utc);
  return (difference + (difference < 0 ? -5000000 : 5000000)) / 10000000;
#else
  std::time_t now = std::time(nullptr);
  std::tm local{};
  if (!localtime_r(&now, &local)) return 0;
  CivilTime civil{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                  local.tm_hour,        local.tm_min,     local.tm_sec};
  return UnixUtcFromCivil(civil) - int64_t(now);
#endif
}

bool StderrIsTerminal() {
#if defined(_WIN32)
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  std::vector<std::string> args;
#if defined(_WIN32)
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide) {
    for (int i = 0; i < count; i++) {
      int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
      std::string arg(size > 0 ? size - 1 : 0, '\0');
      if (size > 1)
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), size, nullptr, nullptr);
      args.push_back(arg);
    }
    LocalFree(wide);
    return args;
  }
#endif
  for (int i = 0; i < argc; i++) args.emplace_back(argv[i]);
  return args;
}

} // namespace zpack
