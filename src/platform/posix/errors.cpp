// The thread's last error, and the one table from errno values to Win32 codes.
#include "platform/posix/layer.h"

#include <errno.h>

static thread_local DWORD lastError = 0;

DWORD GetLastError(void) {
  return lastError;
}

void SetLastError(DWORD code) {
  lastError = code;
}

namespace posix_layer {

struct ErrnoCode {
  int err;
  DWORD code;
};

// Where a call can tell a missing file from a missing folder it does so itself; ENOENT alone
// means the name was not there.
static const ErrnoCode errnoCodes[] = {
    {ENOENT, ERROR_FILE_NOT_FOUND},
    {ENOTDIR, ERROR_PATH_NOT_FOUND},
    {EACCES, ERROR_ACCESS_DENIED},
    {EPERM, ERROR_ACCESS_DENIED},
    {EROFS, ERROR_ACCESS_DENIED},
    {EISDIR, ERROR_ACCESS_DENIED},
    {EBUSY, ERROR_SHARING_VIOLATION},
    {ETXTBSY, ERROR_SHARING_VIOLATION},
    {EINVAL, ERROR_INVALID_PARAMETER},
    {ENOSPC, ERROR_DISK_FULL},
    {EDQUOT, ERROR_DISK_FULL},
    {EFBIG, ERROR_DISK_FULL},
    {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
    {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ENFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
    {EEXIST, ERROR_FILE_EXISTS},
    {EBADF, ERROR_INVALID_HANDLE},
    {EFAULT, 998},    // ERROR_NOACCESS
    {ENOTEMPTY, 145}, // ERROR_DIR_NOT_EMPTY
    {EXDEV, 17},      // ERROR_NOT_SAME_DEVICE
    {ELOOP, 1921},    // ERROR_CANT_RESOLVE_FILENAME
    {EIO, 1117},      // ERROR_IO_DEVICE
};

DWORD ErrorFromErrno(int err) {
  for (const ErrnoCode& e : errnoCodes)
    if (e.err == err) return e.code;
  return 31; // ERROR_GEN_FAILURE: a device error Windows has no closer word for
}

} // namespace posix_layer
