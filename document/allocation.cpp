#include "document/allocation.h"

#include <new>

long allocationsBeforeFailure = -1;

unsigned char* AllocateBytes(size_t size) {
  if (allocationsBeforeFailure == 0) return nullptr;
  if (allocationsBeforeFailure > 0) --allocationsBeforeFailure;
  return new (std::nothrow) unsigned char[size == 0 ? 1 : size];
}

void FreeBytes(unsigned char* bytes) {
  delete[] bytes;
}
