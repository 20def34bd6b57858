// Files: CreateFileA and the calls on its handles, with Windows' dispositions, attribute checks,
// sharing between the handles of this process and error codes.
#include "platform/posix/layer.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

namespace posix_layer {

static const DWORD kShareDelete = 0x00000004;  // FILE_SHARE_DELETE
static const DWORD kDeleteAccess = 0x00010000; // DELETE

// The read and write parts of an access mask; GENERIC_ALL counts as both.
static bool Reads(DWORD access) {
  return access & (GENERIC_READ | 0x10000000u | 0x0001u);
}
static bool Writes(DWORD access) {
  return access & (GENERIC_WRITE | 0x10000000u | 0x0002u);
}

bool SharingConflict(dev_t dev, ino_t ino, DWORD access, DWORD share) {
  for (void* object : ObjectsOf(HandleKind::kFile)) {
    FileObject* open = static_cast<FileObject*>(object);
    if (open->dev != dev || open->ino != ino) continue;
    // The new handle's wishes must fit what the open one shares, and the other way round.
    if (Reads(access) && !(open->share & FILE_SHARE_READ)) return true;
    if (Writes(access) && !(open->share & FILE_SHARE_WRITE)) return true;
    if ((access & kDeleteAccess) && !(open->share & kShareDelete)) return true;
    if (Reads(open->access) && !(share & FILE_SHARE_READ)) return true;
    if (Writes(open->access) && !(share & FILE_SHARE_WRITE)) return true;
  }
  return false;
}

FileObject* FileFromHandle(HANDLE handle) {
  FileObject* file = static_cast<FileObject*>(ObjectOf(handle, HandleKind::kFile));
  if (!file) SetLastError(ERROR_INVALID_HANDLE);
  return file;
}

} // namespace posix_layer

using namespace posix_layer;

static HANDLE OpenResolved(const Resolved& r, DWORD access, DWORD share, DWORD disposition,
                           DWORD flags) {
  bool exists = r.exists;
  if (exists && disposition == CREATE_NEW) return Fail(ERROR_FILE_EXISTS, INVALID_HANDLE_VALUE);
  if (exists && S_ISDIR(r.st.st_mode)) return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
  if (r.trailingSeparator) // a name ending in '\' can only be a folder
    return Fail(exists ? ERROR_INVALID_NAME : ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
  switch (disposition) {
  case CREATE_NEW:
    if (exists) return Fail(ERROR_FILE_EXISTS, INVALID_HANDLE_VALUE);
    break;
  case OPEN_EXISTING:
    if (!exists) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    break;
  case TRUNCATE_EXISTING:
    if (!Writes(access)) return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    if (!exists) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    break;
  case CREATE_ALWAYS:
  case OPEN_ALWAYS:
    break;
  default:
    return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  }
  bool truncate = exists && (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING);
  if (exists) {
    // Checked here rather than left to open(2): root may write anything, Windows users may not.
    DWORD attributes = AttributesOf(r.name, r.st);
    if ((attributes & FILE_ATTRIBUTE_READONLY) && (Writes(access) || truncate))
      return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    if (disposition == CREATE_ALWAYS && (attributes & FILE_ATTRIBUTE_HIDDEN) &&
        !(flags & FILE_ATTRIBUTE_HIDDEN))
      return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    if (SharingConflict(r.st.st_dev, r.st.st_ino, access, share))
      return Fail(ERROR_SHARING_VIOLATION, INVALID_HANDLE_VALUE);
  }

  // The descriptor can always read, so that a handle's own access decides, as on Windows.
  int mode = Writes(access) || truncate || !exists ? O_RDWR : O_RDONLY;
  int oflags = mode | O_CLOEXEC;
  if (!exists) oflags |= O_CREAT | O_EXCL;
  if (truncate) oflags |= O_TRUNC;
  std::string host = r.HostPath();
  int fd = open(host.c_str(), oflags, (flags & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666);
  if (fd < 0) return Fail(ErrorFromErrno(errno), INVALID_HANDLE_VALUE);
  struct stat st;
  if (fstat(fd, &st) != 0) {
    int err = errno;
    close(fd);
    return Fail(ErrorFromErrno(err), INVALID_HANDLE_VALUE);
  }
  FileObject* file = new FileObject{fd, access, share, st.st_dev, st.st_ino};
  HANDLE handle = NewHandle(HandleKind::kFile, file);
  bool existed = exists && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS);
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile) {
  (void)security;
  (void)templateFile;
  if (InjectedFault(kCreateFileA)) return INVALID_HANDLE_VALUE;
  Resolved r;
  DWORD error = ResolvePath(name, PathUse::kOpen, &r);
  if (error == ERROR_DIRECTORY) error = ERROR_PATH_NOT_FOUND;
  if (error) return Fail(error, INVALID_HANDLE_VALUE);
  if (r.isRoot) return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
  return OpenResolved(r, access, share, disposition, flags);
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED overlapped) {
  if (done) *done = 0;
  if (InjectedFault(kReadFile)) return FALSE;
  FileObject* file = FileFromHandle(handle);
  if (!file) return FALSE;
  if (overlapped) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  if (!Reads(file->access)) return Fail(ERROR_ACCESS_DENIED, FALSE);
  if (count && !buffer) return Fail(998u, FALSE); // ERROR_NOACCESS
  DWORD total = 0;
  while (total < count) {
    ssize_t n = read(file->fd, static_cast<char*>(buffer) + total, count - total);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Fail(ErrorFromErrno(errno), FALSE);
    if (n == 0) break; // the end of the file: success with what there was
    total += static_cast<DWORD>(n);
  }
  if (done) *done = total;
  return TRUE;
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED overlapped) {
  if (done) *done = 0;
  if (InjectedFault(kWriteFile)) return FALSE;
  FileObject* file = FileFromHandle(handle);
  if (!file) return FALSE;
  if (overlapped) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  if (!Writes(file->access)) return Fail(ERROR_ACCESS_DENIED, FALSE);
  if (count && !buffer) return Fail(998u, FALSE); // ERROR_NOACCESS
  DWORD total = 0;
  while (total < count) {
    ssize_t n = write(file->fd, static_cast<const char*>(buffer) + total, count - total);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int err = errno;
      if (done) *done = total;
      return Fail(ErrorFromErrno(err), FALSE);
    }
    total += static_cast<DWORD>(n);
  }
  if (done) *done = total;
  return TRUE;
}

DWORD SetFilePointer(HANDLE handle, LONG distance, PLONG distanceHigh, DWORD method) {
  if (InjectedFault(kSetFilePointer)) return INVALID_SET_FILE_POINTER;
  FileObject* file = FileFromHandle(handle);
  if (!file) return INVALID_SET_FILE_POINTER;
  int64_t move = distanceHigh ? static_cast<int64_t>((static_cast<uint64_t>(*distanceHigh) << 32) |
                                                     static_cast<DWORD>(distance))
                              : distance;
  int64_t base;
  if (method == FILE_BEGIN) {
    base = 0;
  } else if (method == FILE_CURRENT) {
    base = lseek(file->fd, 0, SEEK_CUR);
  } else if (method == FILE_END) {
    struct stat st;
    base = fstat(file->fd, &st) == 0 ? st.st_size : -1;
  } else {
    return Fail(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
  }
  if (base < 0) return Fail(ErrorFromErrno(errno), INVALID_SET_FILE_POINTER);
  if ((move > 0 && base > INT64_MAX - move))
    return Fail(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
  int64_t position = base + move;
  if (position < 0) return Fail(ERROR_NEGATIVE_SEEK, INVALID_SET_FILE_POINTER);
  // Without a high part the position must fit in 32 bits.
  if (!distanceHigh && position > 0xFFFFFFFFll)
    return Fail(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
  if (lseek(file->fd, position, SEEK_SET) < 0)
    return Fail(ErrorFromErrno(errno), INVALID_SET_FILE_POINTER);
  if (distanceHigh) *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(position) >> 32);
  DWORD low = static_cast<DWORD>(position);
  // A low part of 0xFFFFFFFF is then told from a failure by the error being 0.
  if (low == INVALID_SET_FILE_POINTER) SetLastError(ERROR_SUCCESS);
  return low;
}

BOOL CloseHandle(HANDLE handle) {
  if (InjectedFault(kCloseHandle)) return FALSE;
  FileObject* file = FileFromHandle(handle);
  if (!file) return FALSE;
  ReleaseHandle(handle);
  int result = close(file->fd);
  int err = errno;
  delete file;
  // The handle is gone even when close(2) reports an error, as on Windows.
  if (result != 0 && err != EINTR) return Fail(ErrorFromErrno(err), FALSE);
  return TRUE;
}

BOOL DeleteFileA(LPCSTR name) {
  if (InjectedFault(kDeleteFileA)) return FALSE;
  Resolved r;
  DWORD error = ResolvePath(name, PathUse::kOpen, &r);
  if (error == ERROR_DIRECTORY) error = ERROR_PATH_NOT_FOUND;
  if (error) return Fail(error, FALSE);
  if (r.isRoot) return Fail(ERROR_ACCESS_DENIED, FALSE);
  if (!r.exists) {
    // A dangling link is still a name that can go.
    struct stat st;
    if (lstat(r.HostPath().c_str(), &st) == 0 && unlink(r.HostPath().c_str()) == 0) return TRUE;
    return Fail(ERROR_FILE_NOT_FOUND, FALSE);
  }
  if (S_ISDIR(r.st.st_mode) || r.trailingSeparator) return Fail(ERROR_ACCESS_DENIED, FALSE);
  if (AttributesOf(r.name, r.st) & FILE_ATTRIBUTE_READONLY) return Fail(ERROR_ACCESS_DENIED, FALSE);
  if (SharingConflict(r.st.st_dev, r.st.st_ino, kDeleteAccess,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | kShareDelete))
    return Fail(ERROR_SHARING_VIOLATION, FALSE);
  if (unlink(r.HostPath().c_str()) != 0) return Fail(ErrorFromErrno(errno), FALSE);
  return TRUE;
}
