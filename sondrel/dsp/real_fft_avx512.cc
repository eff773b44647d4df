// AVX-512 kernels of the real FFT's radix-4 stages: four complex values per
// register, otherwise the same butterflies and loop orders as the AVX2 ones.
#include <immintrin.h>

#include "dsp/real_fft_internal.h"

namespace fft_detail {

namespace {

struct Twiddle8 {
  __m512d re;
  __m512d im;
};

// Swaps real and imaginary parts (the masked form keeps GCC 12 from warning
// about the unmasked one's undefined source).
inline __m512d swap_parts(__m512d x) { return _mm512_mask_permute_pd(x, 0xFF, x, 0x55); }

inline Twiddle8 load_twiddle(const double* tw, int32_t l, int32_t j) {
  const double* b = tw + stage_offset(l) + (j / 4) * 16;
  return {_mm512_loadu_pd(b), _mm512_loadu_pd(b + 8)};
}

inline Twiddle8 tw_mul(const Twiddle8& a, const Twiddle8& b) {
  return {_mm512_fmsub_pd(a.re, b.re, _mm512_mul_pd(a.im, b.im)),
          _mm512_fmadd_pd(a.re, b.im, _mm512_mul_pd(a.im, b.re))};
}

inline Twiddle8 tw_square(const Twiddle8& a) {
  const __m512d ri = _mm512_mul_pd(a.re, a.im);
  return {_mm512_fmsub_pd(a.re, a.re, _mm512_mul_pd(a.im, a.im)), _mm512_add_pd(ri, ri)};
}

template <int SIGN>
inline __m512d cmul(__m512d x, const Twiddle8& w) {
  const __m512d xs = _mm512_mul_pd(swap_parts(x), w.im);
  return SIGN > 0 ? _mm512_fmaddsub_pd(x, w.re, xs) : _mm512_fmsubadd_pd(x, w.re, xs);
}

template <int SIGN>
inline __m512d times_i(__m512d z) {
  const __m512d s = swap_parts(z);
  const __m512d mask = SIGN > 0 ? _mm512_set_pd(0.0, -0.0, 0.0, -0.0, 0.0, -0.0, 0.0, -0.0)
                                : _mm512_set_pd(-0.0, 0.0, -0.0, 0.0, -0.0, 0.0, -0.0, 0.0);
  return _mm512_xor_pd(s, mask);
}

template <int SIGN, bool DIF>
inline void butterfly(double* x0, double* x1, double* x2, double* x3, const Twiddle8& w1,
                      const Twiddle8& w2, const Twiddle8& w3) {
  if (!DIF) {
    const __m512d a = _mm512_loadu_pd(x0);
    const __m512d b = cmul<SIGN>(_mm512_loadu_pd(x1), w2);
    const __m512d c = cmul<SIGN>(_mm512_loadu_pd(x2), w1);
    const __m512d d = cmul<SIGN>(_mm512_loadu_pd(x3), w3);
    const __m512d t0 = _mm512_add_pd(a, b), t1 = _mm512_sub_pd(a, b);
    const __m512d t2 = _mm512_add_pd(c, d), t3 = times_i<SIGN>(_mm512_sub_pd(c, d));
    _mm512_storeu_pd(x0, _mm512_add_pd(t0, t2));
    _mm512_storeu_pd(x1, _mm512_add_pd(t1, t3));
    _mm512_storeu_pd(x2, _mm512_sub_pd(t0, t2));
    _mm512_storeu_pd(x3, _mm512_sub_pd(t1, t3));
  } else {
    const __m512d a = _mm512_loadu_pd(x0), b = _mm512_loadu_pd(x1);
    const __m512d c = _mm512_loadu_pd(x2), d = _mm512_loadu_pd(x3);
    const __m512d t0 = _mm512_add_pd(a, c), t1 = _mm512_sub_pd(a, c);
    const __m512d t2 = _mm512_add_pd(b, d), t3 = times_i<SIGN>(_mm512_sub_pd(b, d));
    _mm512_storeu_pd(x0, _mm512_add_pd(t0, t2));
    _mm512_storeu_pd(x1, cmul<SIGN>(_mm512_sub_pd(t0, t2), w2));
    _mm512_storeu_pd(x2, cmul<SIGN>(_mm512_add_pd(t1, t3), w1));
    _mm512_storeu_pd(x3, cmul<SIGN>(_mm512_sub_pd(t1, t3), w3));
  }
}

template <int SIGN, bool DIF>
void stage(double* a, int32_t begin, int32_t end, int32_t l, const double* tw) {
  const int32_t q = l / 4;
  if (q >= 64) {  // long columns: down each group, few memory streams
    for (int32_t base = begin; base < end; base += l) {
      for (int32_t j = 0; j < q; j += 4) {
        const Twiddle8 w1 = load_twiddle(tw, l, j);
        const Twiddle8 w2 = tw_square(w1);
        const Twiddle8 w3 = tw_mul(w1, w2);
        double* x0 = a + 2 * (base + j);
        butterfly<SIGN, DIF>(x0, x0 + 2 * q, x0 + 4 * q, x0 + 6 * q, w1, w2, w3);
      }
    }
    return;
  }
  for (int32_t j = 0; j < q; j += 4) {  // short columns: factors kept across the groups
    const Twiddle8 w1 = load_twiddle(tw, l, j);
    const Twiddle8 w2 = tw_square(w1);
    const Twiddle8 w3 = tw_mul(w1, w2);
    for (int32_t base = begin; base < end; base += l) {
      double* x0 = a + 2 * (base + j);
      butterfly<SIGN, DIF>(x0, x0 + 2 * q, x0 + 4 * q, x0 + 6 * q, w1, w2, w3);
    }
  }
}

}  // namespace

bool have_avx512_kernels() {
  static const bool present = __builtin_cpu_supports("avx512f") &&
                              __builtin_cpu_supports("avx512dq") &&
                              __builtin_cpu_supports("fma");
  return present;
}

void stage_stored_avx512(double* a, int32_t begin, int32_t end, int32_t l, const double* tw,
                         int32_t sign, int32_t dif) {
  if (sign > 0) {
    if (dif) stage<1, true>(a, begin, end, l, tw);
    else stage<1, false>(a, begin, end, l, tw);
  } else {
    if (dif) stage<-1, true>(a, begin, end, l, tw);
    else stage<-1, false>(a, begin, end, l, tw);
  }
}

}  // namespace fft_detail
