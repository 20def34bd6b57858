// The process heap over malloc. Requests of 2 GiB or more fail as in a 32-bit process, and
// ZARVO_SETUP_HEAP_LIMIT (bytes) caps the live total so that tests can run out of memory.
#include "platform/posix/layer.h"

#include <mutex>
#include <stdlib.h>
#include <string.h>
#include <unordered_map>

using namespace posix_layer;

static const SIZE_T kLargestRequest = 0x7FFFFFFF;

// Every live block and its size: a block the heap does not know is refused, not freed.
static std::unordered_map<void*, SIZE_T>& Blocks() {
  static std::unordered_map<void*, SIZE_T>* blocks = new std::unordered_map<void*, SIZE_T>;
  return *blocks;
}
static SIZE_T liveTotal = 0;
static std::mutex heapLock;
static char processHeap; // its address is the heap's handle

static bool WithinLimit(SIZE_T freed, SIZE_T wanted) {
  const char* limit = getenv("ZARVO_SETUP_HEAP_LIMIT");
  if (!limit || !*limit) return true;
  unsigned long long cap = strtoull(limit, nullptr, 10);
  return liveTotal - freed + wanted <= cap;
}

HANDLE GetProcessHeap(void) {
  if (InjectedFault(kGetProcessHeap)) return nullptr;
  return &processHeap;
}

LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
  if (InjectedFault(kHeapAlloc)) return nullptr;
  if (heap != &processHeap) return Fail(ERROR_INVALID_HANDLE, static_cast<LPVOID>(nullptr));
  std::lock_guard<std::mutex> guard(heapLock);
  if (bytes > kLargestRequest || !WithinLimit(0, bytes))
    return Fail(ERROR_NOT_ENOUGH_MEMORY, static_cast<LPVOID>(nullptr));
  void* block =
      (flags & HEAP_ZERO_MEMORY) ? calloc(bytes ? bytes : 1, 1) : malloc(bytes ? bytes : 1);
  if (!block) return Fail(ERROR_NOT_ENOUGH_MEMORY, static_cast<LPVOID>(nullptr));
  Blocks()[block] = bytes;
  liveTotal += bytes;
  return block;
}

LPVOID HeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T bytes) {
  if (InjectedFault(kHeapReAlloc)) return nullptr;
  if (heap != &processHeap) return Fail(ERROR_INVALID_HANDLE, static_cast<LPVOID>(nullptr));
  std::lock_guard<std::mutex> guard(heapLock);
  auto it = Blocks().find(block);
  if (it == Blocks().end()) return Fail(ERROR_INVALID_PARAMETER, static_cast<LPVOID>(nullptr));
  SIZE_T old = it->second;
  if (bytes > kLargestRequest || !WithinLimit(old, bytes))
    return Fail(ERROR_NOT_ENOUGH_MEMORY, static_cast<LPVOID>(nullptr));
  // Forgotten before realloc(3) may free it; put back if realloc fails and the block stays.
  Blocks().erase(it);
  void* moved = realloc(block, bytes ? bytes : 1);
  if (!moved) {
    Blocks()[block] = old;
    return Fail(ERROR_NOT_ENOUGH_MEMORY, static_cast<LPVOID>(nullptr));
  }
  if ((flags & HEAP_ZERO_MEMORY) && bytes > old)
    memset(static_cast<char*>(moved) + old, 0, bytes - old);
  Blocks()[moved] = bytes;
  liveTotal = liveTotal - old + bytes;
  return moved;
}

BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block) {
  (void)flags;
  if (InjectedFault(kHeapFree)) return FALSE;
  if (heap != &processHeap) return Fail(ERROR_INVALID_HANDLE, FALSE);
  if (!block) return TRUE;
  std::lock_guard<std::mutex> guard(heapLock);
  auto it = Blocks().find(block);
  if (it == Blocks().end()) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  liveTotal -= it->second;
  Blocks().erase(it);
  free(block);
  return TRUE;
}
