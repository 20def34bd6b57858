// The two cursors the installer uses. There is no screen: a change shows in the transcript.
#include "platform/posix/layer.h"

using namespace posix_layer;

static char arrowCursor, waitCursor; // their addresses are the handles
static HCURSOR currentCursor = &arrowCursor;

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
  if (InjectedFault(kLoadCursorA)) return nullptr;
  if (!instance && name == IDC_ARROW) return &arrowCursor;
  if (!instance && name == IDC_WAIT) return &waitCursor;
  return Fail(1814u, static_cast<HCURSOR>(nullptr)); // ERROR_RESOURCE_NAME_NOT_FOUND
}

HCURSOR SetCursor(HCURSOR cursor) {
  if (InjectedFault(kSetCursor)) return nullptr;
  const char* name;
  if (cursor == &arrowCursor)
    name = "arrow";
  else if (cursor == &waitCursor)
    name = "wait";
  else if (!cursor)
    name = "none";
  else
    return Fail(ERROR_INVALID_HANDLE, static_cast<HCURSOR>(nullptr));
  HCURSOR previous = currentCursor;
  currentCursor = cursor;
  TranscriptLine(std::string("cursor\t") + name);
  return previous;
}
