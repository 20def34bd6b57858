// Ends the run through one of the utilities' stops, chosen by the first argument, so that
// the tests can watch the box, the transcript and the exit code of a real process.
#include "util/messages.h"

#include <cstring>

static CheckedFile File;

int main(int argc, char** argv) {
  const char* what = argc > 1 ? argv[1] : "";
  if (!strcmp(what, "fatal")) {
    Str255 message;
    ShortAssign(message, argc > 2 ? argv[2] : "");
    FatalStop(message);
  }
  if (!strcmp(what, "read-eof")) {
    char byte;
    CheckedOpenRead(File, "C:\\one.bin");
    CheckedRead(File, &byte, 1);
    CheckedRead(File, &byte, 0); // reads nothing, succeeds
    CheckedRead(File, &byte, 1);
  }
  if (!strcmp(what, "seek-past-end")) {
    char byte;
    CheckedOpenRead(File, "C:\\one.bin");
    CheckedSeek(File, 1000);
    CheckedRead(File, &byte, 1);
  }
  if (!strcmp(what, "open-missing")) CheckedOpenRead(File, "C:\\missing.bin");
  if (!strcmp(what, "create-readonly")) CheckedCreate(File, "C:\\readonly.bin");
  if (!strcmp(what, "write-read-only-handle")) {
    CheckedOpenRead(File, "C:\\one.bin");
    CheckedWrite(File, "x", 1);
  }
  if (!strcmp(what, "close-twice")) {
    CheckedOpenRead(File, "C:\\one.bin");
    CheckedClose(File);
    CheckedClose(File);
  }
  if (!strcmp(what, "chdir")) {
    ChangeDirectory("C:\\missing");
    DWORD first = TakePendingIoCode();
    DWORD second = TakePendingIoCode();
    if (first != ERROR_FILE_NOT_FOUND || second != 0) ExitProcess(99);
  }
  if (!strcmp(what, "heap-unknown")) {
    static char notFromTheHeap[16];
    HeapRelease(notFromTheHeap);
  }
  if (!strcmp(what, "heap-exhausted")) HeapAllocate(0x80000000u);
  if (!strcmp(what, "heap-release-twice")) {
    void* block = HeapAllocate(10);
    HeapRelease(block);
    HeapRelease(block);
  }
  ExitProcess(0);
}
