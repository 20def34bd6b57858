// The installation driver: the installer's whole control flow, run once.
#pragma once

#include "util/short_string.h"

enum : uint32_t { ArchiveMagic = 123456789 };

// Byte offset of the payload archive in the installer's own executable; the build pads the
// executable to exactly this length.
#ifndef ZARVO_PAYLOAD_OFFSET
#error "ZARVO_PAYLOAD_OFFSET must be set by the build"
#endif
enum : uint32_t { PayloadOffset = ZARVO_PAYLOAD_OFFSET };

// The Zarvo directory with its trailing '\', set by FindProductDir.
extern ShortString<200> ProductDir;

void Setup();
