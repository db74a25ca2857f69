// Reserved address space on POSIX systems: a mapping that nothing may touch
// until it is made readable and writable a piece at a time. On Linux the
// region is also offered to transparent huge pages, so that a large table
// costs one fault per 2 MB rather than one per 4 KB.
#include <sys/mman.h>

#include <cstdint>

#include "runtime/growable.hpp"
#include "runtime/platform.hpp"

namespace pl2html {

namespace {

void* Reserve(std::size_t size) {
  // Asks for a large page more than needed, then gives back what lies
  // before the first large-page boundary and after the region.
  if (size == 0 || size > SIZE_MAX - kLargePage) return nullptr;
  void* mapped = ::mmap(nullptr, size + kLargePage, PROT_NONE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  const auto begin = reinterpret_cast<std::uintptr_t>(mapped);
  const std::uintptr_t start = (begin + kLargePage - 1) & ~(std::uintptr_t{kLargePage} - 1);
  if (start > begin) ::munmap(mapped, start - begin);
  const std::uintptr_t end = begin + size + kLargePage;
  if (end > start + size) ::munmap(reinterpret_cast<void*>(start + size), end - (start + size));
#ifdef MADV_HUGEPAGE
  // Only a hint: without transparent huge pages the region works the same.
  ::madvise(reinterpret_cast<void*>(start), size, MADV_HUGEPAGE);
#endif
  return reinterpret_cast<void*>(start);
}

bool Commit(void* start, std::size_t size) {
  return size == 0 || ::mprotect(start, size, PROT_READ | PROT_WRITE) == 0;
}

void Release(void* start, std::size_t size) {
  ::munmap(start, size);
}

constexpr LargeMemory kSystemLargeMemory{&Reserve, &Commit, &Release};

}  // namespace

const LargeMemory& SystemLargeMemory() {
  return kSystemLargeMemory;
}

}  // namespace pl2html
