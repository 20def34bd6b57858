#include "util/messages.h"

static const char FatalCaption[] = " !!!! ERREUR - ERROR !!!!";

void StopProgram() {
  ExitProcess(0);
}

void FatalStop(const Str255& message) {
  ShortText text;
  ShortToText(message, text);
  MessageBoxA(nullptr, text.Chars, FatalCaption, MB_ICONEXCLAMATION);
  StopProgram();
}

void FatalStopText(const char* message) {
  Str255 s;
  ShortAssign(s, message);
  FatalStop(s);
}

#if !defined(_WIN32)
// Position-independent executables load anywhere: report offsets into the image, so that a
// failure shows the same location on every run.
extern "C" char __executable_start;
#endif

// Writes `value` right-aligned so that its last digit lands at `last`.
static void PutDigits(char* last, uint32_t value, unsigned base) {
  do {
    *last-- = "0123456789ABCDEF"[value % base];
    value /= base;
  } while (value != 0);
}

void RunError(DWORD number, uintptr_t location) {
#if !defined(_WIN32)
  location -= reinterpret_cast<uintptr_t>(&__executable_start);
#endif
  char text[] = "Runtime error     at 00000000";
  PutDigits(text + 16, number, 10);
  PutDigits(text + 28, static_cast<uint32_t>(location), 16);
  MessageBoxA(nullptr, text, "Error", MB_OK);
  ExitProcess(number);
}
