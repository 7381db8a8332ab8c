#pragma once
// Lists whose elements are written right after they grow, left unset until
// then, their room faulted in at once.

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

namespace mv {

// Faults in the whole pages of a buffer about to be filled, in one call
// rather than one trap a page; only a hint, which older systems ignore.
void Prefault(void* data, std::size_t bytes);

// Leaves the elements a list grows by unset, for lists written by index
// right after they grow: a value-initialised one is written twice. Its room
// is faulted in as it is taken.
template <class T>
struct UnsetAllocator : std::allocator<T> {
  T* allocate(std::size_t n) {
    T* data = std::allocator<T>::allocate(n);
    Prefault(data, n * sizeof(T));
    return data;
  }
  template <class U>
  struct rebind {
    using other = UnsetAllocator<U>;
  };
  UnsetAllocator() = default;
  template <class U>
  UnsetAllocator(const UnsetAllocator<U>&) noexcept {}
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};
template <class T>
using UnsetList = std::vector<T, UnsetAllocator<T>>;

}  // namespace mv
