// Finding the Zarvo directory and checking Zarvo's version.
#pragma once

#include "util/short_string.h"

enum : int32_t { MinProductSize = 900000 };

// True when `directory` holds both "ab.ini" and "zarvowin.exe"; then it becomes ProductDir.
bool IsProductDir(const Str255& directory);
// Own directory first, then C: to Z: at \ZARVO\, \PROGRA~1\ZARVO\, \ZARVOWIN\; or the
// can't-find box and the end of the run.
void FindProductDir();
// FatalStop unless ProductDir's zarvowin.exe exists and has at least MinProductSize bytes.
void CheckProductVersion();
