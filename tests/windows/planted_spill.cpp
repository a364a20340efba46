// A plant for check-stack-alignment: AVX2 code that keeps 256-bit vectors on
// the stack across a call, which clobbers the upper halves of every vector
// register under the Windows calling convention.
//
// Debian's mingw compiler already writes unaligned moves for such spills, so
// KeepAcrossCall is the case as this compiler handles it. The other three
// write the instructions an unpatched GCC emits for spills (aligned moves of
// a ymm or zmm register relative to %rsp or %rbp): the check must find all
// three unless the assembler turns them into unaligned moves.
#include <immintrin.h>

void Clobber(double* values);

__attribute__((target("avx2"))) double KeepAcrossCall(const double* p) {
  const __m256d a = _mm256_loadu_pd(p);
  const __m256d b = _mm256_loadu_pd(p + 4);
  const __m256d c = _mm256_loadu_pd(p + 8);
  double t[4];
  Clobber(t);
  const __m256d sum = _mm256_add_pd(_mm256_add_pd(a, b), _mm256_mul_pd(c, _mm256_loadu_pd(t)));
  _mm256_storeu_pd(t, sum);
  return t[0] + t[3];
}

// Each store or load below is never run; only its encoding matters. They use
// 32(%rsp) and 64(%rsp) above the 32-byte shadow space after making room, so
// even run they would touch only their own frame.
__attribute__((target("avx2"))) void StoreAligned(const double* p) {
  const __m256d v = _mm256_loadu_pd(p);
  asm volatile("sub $160, %%rsp\n\tvmovapd %0, 32(%%rsp)\n\tadd $160, %%rsp" : : "x"(v) : "memory");
}

__attribute__((target("avx512f"))) void StoreAlignedWide(const double* p) {
  const __m512i v = _mm512_loadu_si512(p);
  asm volatile("sub $160, %%rsp\n\tvmovdqa64 %0, 64(%%rsp)\n\tadd $160, %%rsp" : : "v"(v) : "memory");
}

// With a frame pointer, GCC addresses spill slots through %rbp.
__attribute__((target("avx2"))) double LoadAlignedFromFrame() {
  __m256d v;
  asm volatile("push %%rbp\n\tmov %%rsp, %%rbp\n\tsub $96, %%rsp\n\t"
               "vmovaps -64(%%rbp), %0\n\tleave"
               : "=x"(v) : : "memory");
  return _mm256_cvtsd_f64(v);
}
