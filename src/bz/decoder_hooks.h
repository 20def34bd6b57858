// The memory hooks handed to libbz2, so that all of the decoder's memory comes from the
// program heap. Declared here only so that tests can reach them.
#pragma once

// items × size bytes from HeapAllocate. A product that does not fit 32 bits is a request
// the heap can't meet (runtime error 203); the decoder is never handed a null block.
void* DecoderAllocate(void* opaque, int items, int size);
// HeapRelease; a null block does nothing.
void DecoderRelease(void* opaque, void* block);
