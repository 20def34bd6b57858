// The handle table shared by files and searches. Handles are small multiples of four, as on
// Windows, and a freed slot is reused; a stale or foreign value is simply not found.
#include "platform/posix/layer.h"

#include <mutex>

namespace posix_layer {

struct Slot {
  HandleKind kind;
  void* object; // null when the slot is free
};

static std::vector<Slot> slots;
static std::mutex slotsLock;

static const uintptr_t kFirstHandle = 0x100;

static size_t IndexOf(HANDLE handle, bool* ok) {
  uintptr_t value = reinterpret_cast<uintptr_t>(handle);
  *ok = value >= kFirstHandle && value % 4 == 0 && (value - kFirstHandle) / 4 < slots.size();
  return *ok ? (value - kFirstHandle) / 4 : 0;
}

HANDLE NewHandle(HandleKind kind, void* object) {
  std::lock_guard<std::mutex> guard(slotsLock);
  size_t i = 0;
  while (i < slots.size() && slots[i].object) ++i;
  if (i == slots.size()) slots.push_back(Slot{kind, nullptr});
  slots[i] = Slot{kind, object};
  return reinterpret_cast<HANDLE>(kFirstHandle + 4 * i);
}

void* ObjectOf(HANDLE handle, HandleKind kind) {
  std::lock_guard<std::mutex> guard(slotsLock);
  bool ok;
  size_t i = IndexOf(handle, &ok);
  if (!ok || !slots[i].object || slots[i].kind != kind) return nullptr;
  return slots[i].object;
}

void ReleaseHandle(HANDLE handle) {
  std::lock_guard<std::mutex> guard(slotsLock);
  bool ok;
  size_t i = IndexOf(handle, &ok);
  if (ok) slots[i].object = nullptr;
}

std::vector<void*> ObjectsOf(HandleKind kind) {
  std::lock_guard<std::mutex> guard(slotsLock);
  std::vector<void*> objects;
  for (const Slot& slot : slots)
    if (slot.object && slot.kind == kind) objects.push_back(slot.object);
  return objects;
}

} // namespace posix_layer
