#include "simulation/vector_state.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define ZINTREL_X86 1
#endif

namespace zintrel {

#if ZINTREL_X86
namespace {

struct VectorSupport {
  bool avx = false;          // vzeroupper may be executed
  bool readsInUse = false;   // xgetbv accepts ECX = 1
};

std::uint64_t ReadExtendedControl(unsigned int index) {
  unsigned int low = 0;
  unsigned int high = 0;
  // Spelled out rather than _xgetbv, which needs the xsave target.
  __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(index));
  return (static_cast<std::uint64_t>(high) << 32) | low;
}

VectorSupport DetectVectorSupport() {
  VectorSupport support;
  unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return support;
  // Without OSXSAVE, xgetbv itself is an invalid instruction.
  if ((ecx & bit_OSXSAVE) == 0) return support;
  // The operating system must save both the SSE and the upper ymm state.
  const bool osSavesYmm = (ReadExtendedControl(0) & 0x6) == 0x6;
  support.avx = (ecx & bit_AVX) != 0 && osSavesYmm;
  if (__get_cpuid_count(0xD, 1, &eax, &ebx, &ecx, &edx) != 0) support.readsInUse = (eax & 0x4) != 0;
  return support;
}

// A function-local static, so that callers in other files' static
// initialisers find it ready.
const VectorSupport& Support() {
  static const VectorSupport support = DetectVectorSupport();
  return support;
}

// Only this function is compiled for AVX, so the rest of the program stays
// runnable on any x86-64.
__attribute__((target("avx"))) void ZeroUpper() { _mm256_zeroupper(); }

}  // namespace

void ClearUpperVectorState() {
  if (Support().avx) ZeroUpper();
}

std::optional<std::uint64_t> VectorStateInUse() {
  if (!Support().readsInUse) return std::nullopt;
  return ReadExtendedControl(1);
}

bool DirtyUpperVectorState() {
  if (!Support().avx) return false;
  // An asm statement, because the compiler would end any function whose own
  // 256-bit code it can see with vzeroupper.
  __asm__ volatile("vpcmpeqd %%ymm15, %%ymm15, %%ymm15" ::: "xmm15");
  return true;
}

#else

void ClearUpperVectorState() {}
std::optional<std::uint64_t> VectorStateInUse() { return std::nullopt; }
bool DirtyUpperVectorState() { return false; }

#endif

}  // namespace zintrel
