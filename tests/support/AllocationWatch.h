#pragma once

// The largest single heap allocation made while a function runs, seen through the
// address sanitizer's allocator hooks. Without the sanitizer nothing can be seen and
// the answer is 0.

#include <cstddef>
#include <functional>

namespace km::test {

bool CanWatchAllocations();
std::size_t LargestAllocation(const std::function<void()>& f);

}  // namespace km::test
