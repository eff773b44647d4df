// The AVX2/FMA kernel of the real FFT: the vector passes with radix-4 stages
// and the convolution's pair pass two complex values a step.
#include "dsp/real_fft_passes.h"

namespace fft_detail {

namespace {

// Radix-4 stage over stored tables (see the stage set in real_fft_passes.h),
// two columns a step. Short columns run across the groups with the twiddles held in
// registers; long ones run down each group, so that the memory streams stay
// few (groups lie a power of two apart and would crowd the same cache sets).
template <int SIGN, bool DIF>
void stage_radix4(double* a, int32_t begin, int32_t end, int32_t l, const double* tw) {
  const int32_t q = l / 4;
  auto column = [&](int32_t base, int32_t j, const Twiddle& w1, const Twiddle& w2,
                    const Twiddle& w3) {
    double* x0 = a + 2 * (base + j);
    if constexpr (DIF)
      butterfly4_dif<SIGN>(x0, x0 + 2 * q, x0 + 4 * q, x0 + 6 * q, w1, w2, w3);
    else
      butterfly4<SIGN>(x0, x0 + 2 * q, x0 + 4 * q, x0 + 6 * q, w1, w2, w3);
  };
  if (q >= 64) {
    for (int32_t base = begin; base < end; base += l) {
      for (int32_t j = 0; j < q; j += 2) {
        const Twiddle w1 = load_stage_twiddle(tw, l, j);
        const Twiddle w2 = tw_square(w1);
        column(base, j, w1, w2, tw_mul(w1, w2));
      }
    }
    return;
  }
  for (int32_t j = 0; j < q; j += 2) {
    const Twiddle w1 = load_stage_twiddle(tw, l, j);
    const Twiddle w2 = tw_square(w1);
    const Twiddle w3 = tw_mul(w1, w2);
    for (int32_t base = begin; base < end; base += l) column(base, j, w1, w2, w3);
  }
}

struct Avx2Stages {
  template <int SIGN, bool DIF>
  static void radix4(double* a, int32_t begin, int32_t end, int32_t l, const double* tw) {
    stage_radix4<SIGN, DIF>(a, begin, end, l, tw);
  }
  template <bool UPPER_ZERO>
  static void top4_dif(double* a, int32_t big_n, const FftTables& t) {
    stage_top4_dif<1, UPPER_ZERO>(a, big_n, t);
  }
  static void top4_inverse(double* a, int32_t big_n, const FftTables& t) {
    stage_top4<-1>(a, big_n, t);
  }
  static void scrambled_pairs(double* a, const double* fs, const double* ws, int32_t first,
                              int32_t count, int32_t b) {
    scrambled_pairs_avx2(a, fs, ws, first, count, b);
  }
};

}  // namespace

const FftKernel fft_avx2_kernel = kernel_of<Avx2Stages>();

}  // namespace fft_detail
