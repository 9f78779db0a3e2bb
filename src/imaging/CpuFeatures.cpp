#include "imaging/CpuFeatures.h"

#include <atomic>

namespace km::cpu {

namespace {

bool ProcessorHasAvx2() {
#if KM_HAVE_AVX2_PATHS
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
#else
  return false;
#endif
}

std::atomic<bool>& Allowed() {
  static std::atomic<bool> allowed{true};
  return allowed;
}

}  // namespace

bool UseAvx2() {
  static const bool present = ProcessorHasAvx2();
  return present && Allowed().load(std::memory_order_relaxed);
}

void AllowAvx2(bool allowed) { Allowed().store(allowed, std::memory_order_relaxed); }

}  // namespace km::cpu
