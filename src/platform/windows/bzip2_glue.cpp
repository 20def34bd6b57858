// libbz2 built without stdio (BZ_NO_STDIO) calls this when one of its internal consistency
// checks fails, instead of printing and exiting. It never happens with a sound library;
// should it, the run ends at once rather than go on with a decoder in an unknown state,
// with bzip2's own exit code for internal errors.
#include "platform/win32.h"

extern "C" void bz_internal_error(int code) {
  char text[] = "libbz2 internal error 0000";
  char* digit = text + sizeof text - 2;
  for (unsigned value = static_cast<unsigned>(code); value != 0 && digit >= text + 22; value /= 10)
    *digit-- = static_cast<char>('0' + value % 10);
  MessageBoxA(nullptr, text, "Error", MB_ICONERROR);
  ExitProcess(3);
}
