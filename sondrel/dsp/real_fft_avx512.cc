// The AVX-512 kernel of the real FFT: the vector passes with radix-4 stages
// four complex values a register, and fused columns four a step, otherwise
// the same butterflies and loop orders as the AVX2 kernel. Short transforms,
// whose stages and column runs are too short for it, take the AVX2 steps.
#include "dsp/real_fft_passes.h"

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

// The butterflies on values held in registers.
template <int SIGN, bool DIF>
inline void butterfly_regs(__m512d& x0, __m512d& x1, __m512d& x2, __m512d& x3, const Twiddle8& w1,
                           const Twiddle8& w2, const Twiddle8& w3) {
  if (!DIF) {
    const __m512d b = cmul<SIGN>(x1, w2), c = cmul<SIGN>(x2, w1), d = cmul<SIGN>(x3, w3);
    const __m512d t0 = _mm512_add_pd(x0, b), t1 = _mm512_sub_pd(x0, b);
    const __m512d t2 = _mm512_add_pd(c, d), t3 = times_i<SIGN>(_mm512_sub_pd(c, d));
    x0 = _mm512_add_pd(t0, t2);
    x1 = _mm512_add_pd(t1, t3);
    x2 = _mm512_sub_pd(t0, t2);
    x3 = _mm512_sub_pd(t1, t3);
  } else {
    const __m512d t0 = _mm512_add_pd(x0, x2), t1 = _mm512_sub_pd(x0, x2);
    const __m512d t2 = _mm512_add_pd(x1, x3), t3 = times_i<SIGN>(_mm512_sub_pd(x1, x3));
    x0 = _mm512_add_pd(t0, t2);
    x1 = cmul<SIGN>(_mm512_sub_pd(t0, t2), w2);
    x2 = cmul<SIGN>(_mm512_add_pd(t1, t3), w1);
    x3 = cmul<SIGN>(_mm512_sub_pd(t1, t3), w3);
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

// ---- The convolution's fused pass, four columns a step.

// (The masked forms below keep GCC 12 from warning about the unmasked ones'
// undefined sources.)
inline __m512d reverse4(__m512d v) { return _mm512_mask_shuffle_f64x2(v, 0xFF, v, v, 0x1B); }
inline __m512d dup_re(__m512d v) { return _mm512_mask_movedup_pd(v, 0xFF, v); }
inline __m512d load_rev8(const double* p) { return reverse4(_mm512_loadu_pd(p)); }
inline void store_rev8(double* p, __m512d v) { _mm512_storeu_pd(p, reverse4(v)); }
inline __m512d conj8(__m512d v) {
  return _mm512_xor_pd(v, _mm512_set_pd(-0.0, 0.0, -0.0, 0.0, -0.0, 0.0, -0.0, 0.0));
}
inline Twiddle8 prepare(__m512d w) { return {dup_re(w), _mm512_mask_permute_pd(w, 0xFF, w, 0xFF)}; }
// (0.5 - 0.5 sin, 0.5 cos) from (0.5 cos, 0.5 sin) pairs.
inline Twiddle8 split_factor(__m512d hv) {
  return {_mm512_sub_pd(_mm512_set1_pd(0.5), _mm512_mask_permute_pd(hv, 0xFF, hv, 0xFF)),
          dup_re(hv)};
}

inline void split_filter_join(__m512d& p, __m512d& r, const Twiddle8& w, __m512d fp, __m512d fr) {
  __m512d y = cmul<1>(_mm512_sub_pd(p, conj8(r)), w);
  p = cmul<1>(_mm512_sub_pd(p, y), prepare(fp));
  r = cmul<1>(_mm512_add_pd(r, conj8(y)), prepare(fr));
  y = cmul<-1>(_mm512_sub_pd(p, conj8(r)), w);
  p = _mm512_sub_pd(p, y);
  r = _mm512_add_pd(r, conj8(y));
}

// Columns j .. j+3 and their partners N/4-j .. N/4-j-3, for j = first,
// first+4, ... <= last (first >= 4, last <= N/8 - 4).
void fused_columns_avx512(int32_t big_n, double* a, const double* f, const FftTables& t,
                          int32_t first, int32_t last) {
  const int32_t q = big_n / 4;
  const __m512d negate = _mm512_set1_pd(-0.0);
  const __m512d two = _mm512_set1_pd(2.0);
  for (int32_t j = first; j <= last; j += 4) {
    const int32_t m = q - j - 3;  // partner columns m .. m + 3 (= q-j-3 .. q-j)
    __m512d A = _mm512_loadu_pd(a + 2 * j), B = _mm512_loadu_pd(a + 2 * (j + q));
    __m512d C = _mm512_loadu_pd(a + 2 * (j + 2 * q)), D = _mm512_loadu_pd(a + 2 * (j + 3 * q));
    __m512d A2 = load_rev8(a + 2 * m), B2 = load_rev8(a + 2 * (m + q));
    __m512d C2 = load_rev8(a + 2 * (m + 2 * q)), D2 = load_rev8(a + 2 * (m + 3 * q));

    // e^(2 pi i j / N) for the four columns: angles pi K / N, K = 2j .. 2j+6.
    const double* c = t.ct + 4 * j;
    const __m512d low =
        _mm512_castpd256_pd512(_mm256_set_m128d(_mm_loadu_pd(c + 4), _mm_loadu_pd(c)));
    const __m256d high = _mm256_set_m128d(_mm_loadu_pd(c + 12), _mm_loadu_pd(c + 8));
    const __m512d f1 = _mm512_mul_pd(two, _mm512_mask_insertf64x4(low, 0xFF, low, high, 1));
    const Twiddle8 w1 = prepare(f1);
    const Twiddle8 w2 = tw_square(w1);
    const Twiddle8 w3 = tw_mul(w1, w2);
    const Twiddle8 v1{w1.im, w1.re};                                                // i conj(w1)
    const Twiddle8 v2{_mm512_xor_pd(w2.re, negate), w2.im};                         // -conj(w2)
    const Twiddle8 v3{_mm512_xor_pd(w3.im, negate), _mm512_xor_pd(w3.re, negate)};  // -i conj(w3)

    butterfly_regs<1, false>(A, B, C, D, w1, w2, w3);
    butterfly_regs<1, false>(A2, B2, C2, D2, v1, v2, v3);

    const __m512d hj = _mm512_loadu_pd(t.ct + 2 * j);  // K = j .. j+3
    const __m512d hm = load_rev8(t.ct + 2 * m);         // K = q-j .. q-j-3
    const Twiddle8 w_j = split_factor(hj);
    const Twiddle8 w_qmj = split_factor(hm);
    const Twiddle8 w_qpj = split_factor(swap_parts(hm));   // K = q + j
    const Twiddle8 w_2qmj = split_factor(swap_parts(hj));  // K = 2q - j

    split_filter_join(A, D2, w_j, _mm512_loadu_pd(f + 2 * j), load_rev8(f + 2 * (big_n - j - 3)));
    split_filter_join(B, C2, w_qpj, _mm512_loadu_pd(f + 2 * (q + j)),
                      load_rev8(f + 2 * (m + 2 * q)));
    split_filter_join(B2, C, w_2qmj, load_rev8(f + 2 * (m + q)),
                      _mm512_loadu_pd(f + 2 * (j + 2 * q)));
    split_filter_join(A2, D, w_qmj, load_rev8(f + 2 * m), _mm512_loadu_pd(f + 2 * (j + 3 * q)));

    butterfly_regs<-1, true>(A, B, C, D, w1, w2, w3);
    butterfly_regs<-1, true>(A2, B2, C2, D2, v1, v2, v3);
    _mm512_storeu_pd(a + 2 * j, A);
    _mm512_storeu_pd(a + 2 * (j + q), B);
    _mm512_storeu_pd(a + 2 * (j + 2 * q), C);
    _mm512_storeu_pd(a + 2 * (j + 3 * q), D);
    store_rev8(a + 2 * m, A2);
    store_rev8(a + 2 * (m + q), B2);
    store_rev8(a + 2 * (m + 2 * q), C2);
    store_rev8(a + 2 * (m + 3 * q), D2);
  }
}

struct Avx512Stages {
  template <int SIGN, bool DIF>
  static void radix4(double* a, int32_t begin, int32_t end, int32_t l, const double* tw) {
    stage<SIGN, DIF>(a, begin, end, l, tw);
  }
  // Four columns a step from column 4 on; 2, 3 and their partners alone.
  static void fused_columns(int32_t big_n, double* a, const double* f, const FftTables& t) {
    const int32_t q = big_n / 4;
    if (q < 32) {
      fused_column_pairs(big_n, a, f, t);
      return;
    }
    const int32_t c3[] = {2, q - 2};
    const int32_t c4[] = {3, q - 3};
    fused_columns_scalar(big_n, a, f, t, c3, 2);
    fused_columns_scalar(big_n, a, f, t, c4, 2);
    fused_columns_avx512(big_n, a, f, t, 4, q / 2 - 4);
  }
};

}  // namespace

const FftKernel fft_avx512_kernel = kernel_of<Avx512Stages>();

}  // namespace fft_detail
