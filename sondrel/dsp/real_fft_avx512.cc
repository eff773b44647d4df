// The AVX-512 kernel of the real FFT: the vector passes with radix-4 stages
// four complex values a register, and the convolution's pairs four a step,
// otherwise the same butterflies and loop orders as the AVX2 kernel. Short transforms,
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

// ---- The convolution's pair pass, four positions a step.

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

// Positions first .. first + count - 1 (count a multiple of 4) of the lower
// half of octave b and their partners, as scrambled_pairs_avx2.
void scrambled_pairs_avx512(double* a, const double* fs, const double* ws, int32_t first,
                            int32_t count, int32_t b) {
  for (int32_t i = 0; i < count; i += 4) {
    const int32_t p = first + i, p2 = 3 * b - 4 - p;  // partners of p + 3 .. p
    __m512d x = _mm512_loadu_pd(a + 2 * p), r = load_rev8(a + 2 * p2);
    const Twiddle8 w = prepare(_mm512_loadu_pd(ws + 2 * (p - b / 2)));
    __m512d y = cmul<1>(_mm512_sub_pd(x, conj8(r)), w);
    x = cmul<1>(_mm512_sub_pd(x, y), prepare(_mm512_loadu_pd(fs + 2 * p)));
    r = cmul<1>(_mm512_add_pd(r, conj8(y)), prepare(load_rev8(fs + 2 * p2)));
    y = cmul<-1>(_mm512_sub_pd(x, conj8(r)), w);
    _mm512_storeu_pd(a + 2 * p, _mm512_sub_pd(x, y));
    store_rev8(a + 2 * p2, _mm512_add_pd(r, conj8(y)));
  }
}

// ---- The convolution's top stages (size N), four columns a step.

// e^(2 pi i j / N) for columns j .. j+3 (j a multiple of 4): angles pi K / N,
// K = 2j .. 2j+6, from the cosine part, mirrored past K = N/4.
inline __m512d top_factors(int32_t big_n, int32_t j, const FftTables& t) {
  if (j == big_n / 8) {  // K = N/4 itself lies past the table
    alignas(64) double f[8];
    for (int32_t i = 0; i < 4; ++i) cos_sin(big_n, 2 * (j + i), t, &f[2 * i], &f[2 * i + 1]);
    return _mm512_load_pd(f);
  }
  const bool mirrored = j > big_n / 8;
  // Below N/4 the entries 2j, 2j+2, ...; past it entries r = N/2 - K with
  // cosine and sine swapped.
  const int32_t k = mirrored ? big_n / 2 - 2 * j : 2 * j;
  const int32_t step = mirrored ? -2 : 2;
  const double* c = t.ct;
  const __m512d low = _mm512_castpd256_pd512(
      _mm256_set_m128d(_mm_loadu_pd(c + 2 * (k + step)), _mm_loadu_pd(c + 2 * k)));
  const __m256d high = _mm256_set_m128d(_mm_loadu_pd(c + 2 * (k + 3 * step)),
                                        _mm_loadu_pd(c + 2 * (k + 2 * step)));
  const __m512d halves = _mm512_mask_insertf64x4(low, 0xFF, low, high, 1);
  const __m512d v = mirrored ? swap_parts(halves) : halves;
  return _mm512_mul_pd(_mm512_set1_pd(2.0), v);
}

template <bool UPPER_ZERO>
void top4_dif_avx512(double* a, int32_t big_n, const FftTables& t) {
  const int32_t q = big_n / 4;
  for (int32_t j = 0; j < q; j += 4) {
    const Twiddle8 w1 = prepare(top_factors(big_n, j, t));
    const Twiddle8 w2 = tw_square(w1);
    const Twiddle8 w3 = tw_mul(w1, w2);
    double* x0 = a + 2 * j;
    if (UPPER_ZERO) {
      const __m512d u = _mm512_loadu_pd(x0), v = _mm512_loadu_pd(x0 + 2 * q);
      const __m512d iv = times_i<1>(v);
      _mm512_storeu_pd(x0, _mm512_add_pd(u, v));
      _mm512_storeu_pd(x0 + 2 * q, cmul<1>(_mm512_sub_pd(u, v), w2));
      _mm512_storeu_pd(x0 + 4 * q, cmul<1>(_mm512_add_pd(u, iv), w1));
      _mm512_storeu_pd(x0 + 6 * q, cmul<1>(_mm512_sub_pd(u, iv), w3));
    } else {
      butterfly<1, true>(x0, x0 + 2 * q, x0 + 4 * q, x0 + 6 * q, w1, w2, w3);
    }
  }
}

void top4_inverse_avx512(double* a, int32_t big_n, const FftTables& t) {
  const int32_t q = big_n / 4;
  for (int32_t j = 0; j < q; j += 4) {
    const Twiddle8 w1 = prepare(top_factors(big_n, j, t));
    const Twiddle8 w2 = tw_square(w1);
    const Twiddle8 w3 = tw_mul(w1, w2);
    double* x0 = a + 2 * j;
    butterfly<-1, false>(x0, x0 + 2 * q, x0 + 4 * q, x0 + 6 * q, w1, w2, w3);
  }
}

struct Avx512Stages {
  template <int SIGN, bool DIF>
  static void radix4(double* a, int32_t begin, int32_t end, int32_t l, const double* tw) {
    stage<SIGN, DIF>(a, begin, end, l, tw);
  }
  template <bool UPPER_ZERO>
  static void top4_dif(double* a, int32_t big_n, const FftTables& t) {
    top4_dif_avx512<UPPER_ZERO>(a, big_n, t);
  }
  static void top4_inverse(double* a, int32_t big_n, const FftTables& t) {
    top4_inverse_avx512(a, big_n, t);
  }
  // Four positions a step where an octave's lower half holds four or more.
  static void scrambled_pairs(double* a, const double* fs, const double* ws, int32_t first,
                              int32_t count, int32_t b) {
    if (count % 4)
      scrambled_pairs_avx2(a, fs, ws, first, count, b);
    else
      scrambled_pairs_avx512(a, fs, ws, first, count, b);
  }
};

}  // namespace

const FftKernel fft_avx512_kernel = kernel_of<Avx512Stages>();

}  // namespace fft_detail
