#pragma once

// Run-time choice of the wide (AVX2) row loops. A row loop is written once as an
// always-inline body and compiled twice: plainly, for any x86-64 (or other) processor,
// and inside a KM_TARGET_AVX2 function; UseAvx2() picks one per image. Both compile
// the same integer arithmetic, so they give the same bytes.

#if defined(__x86_64__) || defined(__i386__)
#define KM_HAVE_AVX2_PATHS 1
#define KM_TARGET_AVX2 __attribute__((target("avx2")))
#else
#define KM_HAVE_AVX2_PATHS 0
#define KM_TARGET_AVX2
#endif

#define KM_ALWAYS_INLINE inline __attribute__((always_inline))

namespace km::cpu {

// True when the processor runs AVX2 and the wide loops have not been switched off.
bool UseAvx2();

// Switches the wide loops off (false) or back on where the processor has AVX2; the
// tests compare the two paths byte for byte.
void AllowAvx2(bool allowed);

}  // namespace km::cpu
