// The document's buffers come from here, so that running out of memory can
// be provoked in tests.
#pragma once

#include <cstddef>

// nullptr when the memory cannot be had.
unsigned char* AllocateBytes(size_t size);
void FreeBytes(unsigned char* bytes);

// How many further allocations succeed before they fail; negative means no
// limit. Tests set it; the program never does.
extern long allocationsBeforeFailure;
