#include "heap_calls.h"

#include "util/messages.h"

static bool recording = false;
static HeapCalls calls;

void StartHeapCalls() {
  calls = HeapCalls{};
  recording = true;
}

HeapCalls StopHeapCalls() {
  recording = false;
  return calls;
}

// The mangled names of HeapAllocate(DWORD), HeapResize(void*, DWORD) and HeapRelease(void*).
extern "C" {
void* __real__Z12HeapAllocatej(DWORD size);
void* __real__Z10HeapResizePvj(void* block, DWORD size);
void __real__Z11HeapReleasePv(void* block);

void* __wrap__Z12HeapAllocatej(DWORD size) {
  void* block = __real__Z12HeapAllocatej(size);
  if (recording) {
    calls.Allocations.push_back(size);
    if (block != nullptr) calls.Live.insert(block);
  }
  return block;
}

void* __wrap__Z10HeapResizePvj(void* block, DWORD size) {
  void* moved = __real__Z10HeapResizePvj(block, size);
  if (recording) {
    calls.Resizes.push_back(size);
    calls.Live.erase(block);
    if (moved != nullptr) calls.Live.insert(moved);
  }
  return moved;
}

void __wrap__Z11HeapReleasePv(void* block) {
  __real__Z11HeapReleasePv(block);
  if (recording) calls.Live.erase(block);
}
}
