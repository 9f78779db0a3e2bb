#include "support/AllocationWatch.h"

#include <atomic>

#if defined(__SANITIZE_ADDRESS__)
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, std::size_t),
                                                         void (*)(const volatile void*));
#endif

namespace km::test {

namespace {

std::atomic<std::size_t> gLargest{0};
std::atomic<bool> gWatching{false};

[[maybe_unused]] void OnMalloc(const volatile void*, std::size_t size) {
  if (gWatching.load(std::memory_order_relaxed)) {
    std::size_t top = gLargest.load();
    while (size > top && !gLargest.compare_exchange_weak(top, size)) {
    }
  }
}
[[maybe_unused]] void OnFree(const volatile void*) {}

bool Install() {
#if defined(__SANITIZE_ADDRESS__)
  return __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
#else
  return false;
#endif
}

}  // namespace

bool CanWatchAllocations() {
  static const bool installed = Install();
  return installed;
}

std::size_t LargestAllocation(const std::function<void()>& f) {
  const bool watching = CanWatchAllocations();
  gLargest = 0;
  gWatching = watching;
  f();
  gWatching = false;
  return gLargest.load();
}

}  // namespace km::test
