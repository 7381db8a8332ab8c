#include "cut/unset_list.h"

#include <cstdint>

#include <sys/mman.h>
#include <unistd.h>

namespace mv {

void Prefault(void* data, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto from = (reinterpret_cast<std::uintptr_t>(data) + page - 1) & ~(page - 1);
  const auto to = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(page - 1);
  if (to > from) (void)madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
#else
  (void)data, (void)bytes;
#endif
}

}  // namespace mv
