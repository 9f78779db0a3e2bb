#pragma once

// Operations with wide (AVX2) row loops pick them at run time. Tests run such an
// operation both ways and expect the same bytes; on a processor without AVX2 both runs
// take the plain loops.

#include "imaging/CpuFeatures.h"

namespace km::test {

// Calls f(wide) with the wide loops allowed, then with the plain loops only.
template <class F>
void ForBothLoopKinds(F&& f) {
  f(true);
  cpu::AllowAvx2(false);
  f(false);
  cpu::AllowAvx2(true);
}

inline const char* LoopKindName(bool wide) { return wide ? "wide loops" : "plain loops"; }

}  // namespace km::test
