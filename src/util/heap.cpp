#include "util/messages.h"

// Every block the installer holds at one time: at most an entry's two buffers and the
// decoder's working memory. Knowing them lets a release of a stranger end the run cleanly
// instead of corrupting the system heap.
enum { LiveBlockSlots = 16 };
static void* LiveBlocks[LiveBlockSlots];

static void** SlotOf(void* block) {
  for (void*& slot : LiveBlocks)
    if (slot == block) return &slot;
  return nullptr;
}

static void* Allocate(DWORD size, uintptr_t caller) {
  if (size == 0) return nullptr;
  void** slot = SlotOf(nullptr);
  void* block = slot ? HeapAlloc(GetProcessHeap(), 0, size) : nullptr;
  if (block == nullptr) RunError(ErrorHeapExhausted, caller);
  *slot = block;
  return block;
}

static void** KnownSlot(void* block, uintptr_t caller) {
  void** slot = SlotOf(block);
  if (slot == nullptr) RunError(ErrorHeapUnknownBlock, caller);
  return slot;
}

__attribute__((noinline)) void* HeapAllocate(DWORD size) {
  return Allocate(size, CALLER);
}

__attribute__((noinline)) void* HeapResize(void* block, DWORD size) {
  if (block == nullptr) return Allocate(size, CALLER);
  void** slot = KnownSlot(block, CALLER);
  if (size == 0) {
    HeapFree(GetProcessHeap(), 0, block);
    *slot = nullptr;
    return nullptr;
  }
  void* moved = HeapReAlloc(GetProcessHeap(), 0, block, size);
  if (moved == nullptr) RunError(ErrorHeapExhausted, CALLER);
  *slot = moved;
  return moved;
}

__attribute__((noinline)) void HeapRelease(void* block) {
  if (block == nullptr) return;
  void** slot = KnownSlot(block, CALLER);
  HeapFree(GetProcessHeap(), 0, block);
  *slot = nullptr;
}
