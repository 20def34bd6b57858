// The writers that turn one decoded payload entry into the file Zarvo reads.
#pragma once

#include "convert/pack_line.h"
#include "util/messages.h"
#include "util/short_string.h"

// The one record buffer both text writers reuse for every line.
extern PackedLine RecordBuffer;

// Creates `file` under the lower-cased name and writes the indexed text file (.dcw):
// count byte, sections with their text blocks packed, then the index moved to the end.
void WriteIndexedTextFile(CheckedFile& file, const Str255& entryName, const uint8_t* content,
                          uint32_t decodedSize);
// Creates `file` under the lower-cased name with the .dcc renaming; one record per line.
void WritePackedTextFile(CheckedFile& file, const Str255& entryName, const uint8_t* content,
                         uint32_t decodedSize);
// Creates `file` under the lower-cased name and writes the bytes unchanged.
void WritePlainFile(CheckedFile& file, const Str255& entryName, const uint8_t* content,
                    uint32_t decodedSize);
// Cuts `length` bytes (at least 1) of text lines at their LFs and writes one record for each.
void WritePackedLines(CheckedFile& file, const uint8_t* start, uint32_t length);
