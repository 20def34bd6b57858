// malloc and free for an image that links no C runtime. libbz2 names them only as the
// defaults for the allocation hooks, which the installer always sets to its own heap
// operations; they exist so that the image links, and they are honest if ever called.
#include <windows.h>

extern "C" {

void* malloc(size_t size) {
  return HeapAlloc(GetProcessHeap(), 0, size);
}

void free(void* block) {
  if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}
}
