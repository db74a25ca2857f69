// Reserved address space on Windows: reserved first, committed a piece at a
// time, so that a large array grows where it lies.
#include <windows.h>

#include "runtime/growable.hpp"
#include "runtime/platform.hpp"

namespace pl2html {

namespace {

void* Reserve(std::size_t size) {
  return ::VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS);
}

bool Commit(void* start, std::size_t size) {
  return size == 0 || ::VirtualAlloc(start, size, MEM_COMMIT, PAGE_READWRITE) != nullptr;
}

void Release(void* start, std::size_t /*size*/) {
  ::VirtualFree(start, 0, MEM_RELEASE);
}

constexpr LargeMemory kSystemLargeMemory{&Reserve, &Commit, &Release};

}  // namespace

const LargeMemory& SystemLargeMemory() {
  return kSystemLargeMemory;
}

}  // namespace pl2html
