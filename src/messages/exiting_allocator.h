#pragma once

#include <cstddef>
#include <cstdlib>

#include "messages/messages.h"

// For the standard containers of a run: memory that cannot be had ends the run as the tokenizer's buffer
// does, with one line on standard error and status 2, never with an uncaught exception and a signal.
template <typename T>
struct exiting_allocator {
  using value_type = T;

  exiting_allocator() = default;
  template <typename U>
  constexpr exiting_allocator(const exiting_allocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    void* memory = n <= SIZE_MAX / sizeof(T) ? std::malloc(n * sizeof(T)) : nullptr;
    if (memory == nullptr) {
      fatal("telem2kml: no memory for the files and names of the command line (%llu bytes more)\n",
            static_cast<unsigned long long>(n) * sizeof(T));
    }
    return static_cast<T*>(memory);
  }
  void deallocate(T* memory, std::size_t) noexcept { std::free(memory); }

  template <typename U>
  friend constexpr bool operator==(const exiting_allocator&, const exiting_allocator<U>&) noexcept {
    return true;
  }
};
