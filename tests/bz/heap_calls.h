// The program heap's calls as the code under test makes them, seen through the linker's
// --wrap of HeapAllocate, HeapResize and HeapRelease (see CMakeLists.txt).
#pragma once

#include <cstdint>
#include <set>
#include <vector>

struct HeapCalls {
  std::vector<uint32_t> Allocations; // sizes, in call order
  std::vector<uint32_t> Resizes;     // new sizes, in call order
  std::set<void*> Live;              // blocks handed out and not yet released
};

// Starts a fresh record of the heap calls; the record ends with StopHeapCalls.
void StartHeapCalls();
HeapCalls StopHeapCalls();
