// Shared between the portable transform and its vector kernels: the layout of
// the work tables and the entry points of the kernels.
//
// Table layout in w (nw doubles, then nc doubles):
// - twiddle part: for every radix-4 stage of size L = 16, 64, ... up to a
//   quarter of the complex length, the factors w(j) = e^(2 pi i j / L) for
//   j < L/4, from double offset (L - 16) / 3 on, in blocks of four j with
//   the values doubled up for the vector multiply: cos(j) cos(j) cos(j+1)
//   cos(j+1) ... cos(j+3) cos(j+3), then the sines alike. The stages use w,
//   w^2, w^3; the powers are formed from w.
// - cosine part: the pairs 0.5 cos(pi K / N), 0.5 sin(pi K / N) for
//   K < N/4, N being the complex length the tables were built for. The real
//   pass and the last stages take their factors from it by symmetry.
#pragma once
#include <cstdint>

namespace fft_detail {

// The tables of one call: twiddle part, cosine part, and the step through the
// cosine part (1 when the tables were built for this size, larger when they
// were built for a bigger one).
struct FftTables {
  const double* tw;
  const double* ct;
  int32_t ct_step;
};

// Every file that includes these compiles its own copy, for its own
// instruction set.
namespace {

// Offset in doubles of the table of radix-4 stage size `l` (l >= 16).
inline int32_t stage_offset(int32_t l) { return (l - 16) / 3; }
// w(j) of stage `l` from the twiddle part.
inline void stage_factor(const double* tw, int32_t l, int32_t j, double* c, double* s) {
  const double* b = tw + stage_offset(l) + (j / 4) * 16 + 2 * (j & 3);
  *c = b[0];
  *s = b[8];
}

}  // namespace

// A vector kernel. The transforms work in place exactly like the portable
// code (to rounding), for tables built for this n (ct_step 1) and
// n >= MIN_VECTOR_N.
constexpr int32_t MIN_VECTOR_N = 256;
struct FftKernel {
  void (*forward)(int32_t n, double* a, const FftTables& t);
  void (*inverse)(int32_t n, double* a, const FftTables& t);
  // a *= f for the complex pairs from element 2 on (n >= 8).
  void (*packed_multiply)(int32_t n, double* a, const double* f);
  // Forward transform, product with the filter fs in scrambled order (see
  // real_fft_scramble_filter), inverse, without reordering passes; n/2 a
  // power of 4. upper_zero: the second half of a is taken as zero (and not
  // read).
  void (*convolve)(int32_t n, double* a, bool upper_zero, const double* fs, const FftTables& t);
};
extern const FftKernel fft_avx2_kernel;    // AVX2 and FMA
extern const FftKernel fft_avx512_kernel;  // AVX-512 F and DQ as well

// Portable pieces, also used by the kernels for the scalar corner cases.
// cos and sin of pi K / N for 0 <= K < 2N, from the cosine part.
void cos_sin(int32_t big_n, int32_t k, const FftTables& t, double* c, double* s);
void bit_reverse(int32_t big_n, double* a);

}  // namespace fft_detail
