// The inverse of PackLine, for tools and tests: a packed line back to its text.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Decodes the `count` packed bytes at `packed` into `text` (room for `capacity` bytes) and
// returns the text's length, or -1 when the bytes are not a well-formed packed line or the
// text does not fit. A number element comes back as '~' and its decimal value.
long UnpackLine(const uint8_t* packed, size_t count, uint8_t* text, size_t capacity);
