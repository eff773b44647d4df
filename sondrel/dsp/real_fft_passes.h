// The passes of the real FFT's vector kernels, in AVX2/FMA arithmetic (two
// complex values per register), for the sizes the resampler uses: the bit
// reversal fused with the size-4 stage, the small stages run block by block
// inside the level-1 cache, the top and looked-up stages, the real-data pass,
// the convolution in scrambled order, and the order they run in. A kernel
// supplies its radix-4 stages over stored tables and the convolution's pair
// pass (`Stages`, below) and instantiates the transform in its own file,
// built for its own instruction set: everything here has internal linkage,
// so no file shares another's copy. Same stages and tables as the portable
// code in real_fft.cc.
//
// A stage set is a type with
//   template <int SIGN, bool DIF>
//   static void radix4(double* a, int32_t begin, int32_t end, int32_t l, const double* tw);
//     the radix-4 stage of size l (16 <= l <= N/4, table stored) over the
//     groups in [begin, end), sign 1 or -1, decimation in time, or (DIF) in
//     frequency (the forward half of the convolution);
//   template <bool UPPER_ZERO>
//   static void top4_dif(double* a, int32_t big_n, const FftTables& t);
//   static void top4_inverse(double* a, int32_t big_n, const FftTables& t);
//     the convolution's top stages (size N): forward by decimation in
//     frequency (UPPER_ZERO: the second half taken as zero), inverse by
//     decimation in time;
//   static void scrambled_pairs(double* a, const double* fs, const double* ws, int32_t first,
//                               int32_t count, int32_t b);
//     the convolution's split, product and join for `count` positions from
//     `first` in the lower half of octave b and their partners (see below).
#pragma once
#include <immintrin.h>

#include "dsp/real_fft_internal.h"

namespace fft_detail {

namespace {

constexpr int32_t CACHE_BLOCK = 1024;  // complex values per in-cache block (a power of 4)

// Twiddle pair prepared for multiplication: real parts and imaginary parts,
// each duplicated across its complex value.
struct Twiddle {
  __m256d re;
  __m256d im;
};

inline Twiddle prepare(__m256d w) { return {_mm256_movedup_pd(w), _mm256_permute_pd(w, 0xF)}; }

// x * w for direction +1, x * conj(w) for -1.
template <int SIGN>
inline __m256d cmul(__m256d x, const Twiddle& w) {
  const __m256d xs = _mm256_mul_pd(_mm256_permute_pd(x, 0x5), w.im);
  return SIGN > 0 ? _mm256_fmaddsub_pd(x, w.re, xs) : _mm256_fmsubadd_pd(x, w.re, xs);
}

// SIGN * i * z for both complex values.
template <int SIGN>
inline __m256d times_i(__m256d z) {
  const __m256d s = _mm256_permute_pd(z, 0x5);                          // (im, re)
  const __m256d mask = SIGN > 0 ? _mm256_set_pd(0.0, -0.0, 0.0, -0.0)   // (-im, re)
                                : _mm256_set_pd(-0.0, 0.0, -0.0, 0.0);  // (im, -re)
  return _mm256_xor_pd(s, mask);
}

template <int SIGN>
inline void butterfly4(double* x0, double* x1, double* x2, double* x3, const Twiddle& w1,
                       const Twiddle& w2, const Twiddle& w3) {
  const __m256d a = _mm256_loadu_pd(x0);
  const __m256d b = cmul<SIGN>(_mm256_loadu_pd(x1), w2);
  const __m256d c = cmul<SIGN>(_mm256_loadu_pd(x2), w1);
  const __m256d d = cmul<SIGN>(_mm256_loadu_pd(x3), w3);
  const __m256d t0 = _mm256_add_pd(a, b);
  const __m256d t1 = _mm256_sub_pd(a, b);
  const __m256d t2 = _mm256_add_pd(c, d);
  const __m256d t3 = times_i<SIGN>(_mm256_sub_pd(c, d));
  _mm256_storeu_pd(x0, _mm256_add_pd(t0, t2));
  _mm256_storeu_pd(x1, _mm256_add_pd(t1, t3));
  _mm256_storeu_pd(x2, _mm256_sub_pd(t0, t2));
  _mm256_storeu_pd(x3, _mm256_sub_pd(t1, t3));
}

// w for columns j, j+1 of a stored stage, already doubled up.
inline Twiddle load_stage_twiddle(const double* tw, int32_t l, int32_t j) {
  const double* b = tw + stage_offset(l) + (j / 4) * 16 + 2 * (j & 3);
  return {_mm256_loadu_pd(b), _mm256_loadu_pd(b + 8)};
}

// Products of prepared factors, without shuffles.
inline Twiddle tw_mul(const Twiddle& a, const Twiddle& b) {
  return {_mm256_fmsub_pd(a.re, b.re, _mm256_mul_pd(a.im, b.im)),
          _mm256_fmadd_pd(a.re, b.im, _mm256_mul_pd(a.im, b.re))};
}
inline Twiddle tw_square(const Twiddle& a) {
  const __m256d ri = _mm256_mul_pd(a.re, a.im);
  return {_mm256_fmsub_pd(a.re, a.re, _mm256_mul_pd(a.im, a.im)), _mm256_add_pd(ri, ri)};
}

// Decimation-in-frequency butterfly (natural order in, bit-reversed out),
// used by the forward half of the convolution.
template <int SIGN>
inline void butterfly4_dif(double* x0, double* x1, double* x2, double* x3, const Twiddle& w1,
                           const Twiddle& w2, const Twiddle& w3) {
  const __m256d a = _mm256_loadu_pd(x0);
  const __m256d b = _mm256_loadu_pd(x1);
  const __m256d c = _mm256_loadu_pd(x2);
  const __m256d d = _mm256_loadu_pd(x3);
  const __m256d t0 = _mm256_add_pd(a, c);
  const __m256d t1 = _mm256_sub_pd(a, c);
  const __m256d t2 = _mm256_add_pd(b, d);
  const __m256d t3 = times_i<SIGN>(_mm256_sub_pd(b, d));
  _mm256_storeu_pd(x0, _mm256_add_pd(t0, t2));
  _mm256_storeu_pd(x1, cmul<SIGN>(_mm256_sub_pd(t0, t2), w2));
  _mm256_storeu_pd(x2, cmul<SIGN>(_mm256_add_pd(t1, t3), w1));
  _mm256_storeu_pd(x3, cmul<SIGN>(_mm256_sub_pd(t1, t3), w3));
}

// Size-4 butterflies on the four values of u (values 0, 1) and v (2, 3).
template <int SIGN>
inline void dit4_in_place(__m256d& u, __m256d& v) {
  const __m256d high_minus = _mm256_set_pd(-0.0, -0.0, 0.0, 0.0);
  const __m256d s = _mm256_add_pd(_mm256_xor_pd(u, high_minus), _mm256_permute2f128_pd(u, u, 0x01));
  const __m256d r = _mm256_add_pd(_mm256_xor_pd(v, high_minus), _mm256_permute2f128_pd(v, v, 0x01));
  const __m256d rr = _mm256_blend_pd(r, times_i<SIGN>(r), 0xC);
  u = _mm256_add_pd(s, rr);
  v = _mm256_sub_pd(s, rr);
}

template <int SIGN>
inline void dif4_in_place(__m256d& u, __m256d& v) {
  const __m256d high_minus = _mm256_set_pd(-0.0, -0.0, 0.0, 0.0);
  const __m256d s = _mm256_add_pd(u, v);
  const __m256d r0 = _mm256_sub_pd(u, v);
  const __m256d r = _mm256_blend_pd(r0, times_i<SIGN>(r0), 0xC);
  u = _mm256_add_pd(_mm256_xor_pd(s, high_minus), _mm256_permute2f128_pd(s, s, 0x01));
  v = _mm256_add_pd(_mm256_xor_pd(r, high_minus), _mm256_permute2f128_pd(r, r, 0x01));
}

// Bit reversal of the N complex values fused with the size-4 stage that
// follows it (decimation in time, either direction). Works
// on 8 x 8 tiles: value hi.mid.lo goes to rev(lo).rev(mid).rev(hi), so tile
// mid and tile rev(mid) trade places, transposed; a destination row is a
// source column in bit-reversed order. N >= 64.
template <int SIGN>
void bit_reverse_stage4(int32_t big_n, double* a) {
  int32_t m = 0;
  while ((1 << m) < big_n) ++m;
  const int32_t mid_bits = m - 6;
  const int32_t stride = big_n >> 3;  // complex values between tile rows
  alignas(32) double tile_a[128], tile_b[128];
  auto load_tile = [&](int32_t mid, double* tile) {
    for (int32_t hi = 0; hi < 8; ++hi) {
      const double* row = a + 2 * (static_cast<int64_t>(hi) * stride + mid * 8);
      __m256d r0 = _mm256_loadu_pd(row), r1 = _mm256_loadu_pd(row + 4);
      __m256d r2 = _mm256_loadu_pd(row + 8), r3 = _mm256_loadu_pd(row + 12);
      double* t = tile + 16 * hi;
      _mm256_store_pd(t, r0);
      _mm256_store_pd(t + 4, r1);
      _mm256_store_pd(t + 8, r2);
      _mm256_store_pd(t + 12, r3);
    }
  };
  // Destination row hi of tile mid: source column rev(hi), rows 0 4 2 6 1 5 3 7.
  auto store_tile = [&](int32_t mid, const double* tile) {
    static const int32_t REV3[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    for (int32_t hi = 0; hi < 8; ++hi) {
      const double* col = tile + 2 * REV3[hi];
      __m256d r0 = _mm256_set_m128d(_mm_load_pd(col + 16 * 4), _mm_load_pd(col + 16 * 0));
      __m256d r1 = _mm256_set_m128d(_mm_load_pd(col + 16 * 6), _mm_load_pd(col + 16 * 2));
      __m256d r2 = _mm256_set_m128d(_mm_load_pd(col + 16 * 5), _mm_load_pd(col + 16 * 1));
      __m256d r3 = _mm256_set_m128d(_mm_load_pd(col + 16 * 7), _mm_load_pd(col + 16 * 3));
      dit4_in_place<SIGN>(r0, r1);
      dit4_in_place<SIGN>(r2, r3);
      double* row = a + 2 * (static_cast<int64_t>(hi) * stride + mid * 8);
      _mm256_storeu_pd(row, r0);
      _mm256_storeu_pd(row + 4, r1);
      _mm256_storeu_pd(row + 8, r2);
      _mm256_storeu_pd(row + 12, r3);
    }
  };
  for (int32_t mid = 0; mid < (1 << mid_bits); ++mid) {
    int32_t rmid = 0;
    for (int32_t b = 0, v = mid; b < mid_bits; ++b, v >>= 1) rmid = (rmid << 1) | (v & 1);
    if (rmid < mid) continue;
    load_tile(mid, tile_a);
    if (rmid == mid) {
      store_tile(mid, tile_a);
    } else {
      load_tile(rmid, tile_b);
      store_tile(mid, tile_b);
      store_tile(rmid, tile_a);
    }
  }
}

// Two factors e^(i pi k / N), e^(i pi (k + dk) / N) through the portable lookup.
inline __m256d factor_pair(int32_t big_n, int32_t k, int32_t dk, const FftTables& t) {
  double c0, s0, c1, s1;
  cos_sin(big_n, k, t, &c0, &s0);
  cos_sin(big_n, k + dk, t, &c1, &s1);
  return _mm256_set_pd(s1, c1, s0, c0);
}

// e^(2 pi i j / N) and the next one for even j < N/4 (j != N/8), from the
// cosine part: angles pi K / N with K = 2j, 2j + 2.
inline __m256d top_factor_pair(int32_t big_n, int32_t j, const FftTables& t) {
  const int32_t k = 2 * j;
  const __m256d two = _mm256_set1_pd(2.0);
  if (k < big_n / 4) {
    const __m128d p0 = _mm_loadu_pd(t.ct + 2 * k);
    const __m128d p1 = _mm_loadu_pd(t.ct + 2 * k + 4);
    return _mm256_mul_pd(two, _mm256_set_m128d(p1, p0));
  }
  // cos(pi K / N) = sin(pi (N/2 - K) / N): the mirrored entry, swapped.
  const int32_t r = big_n / 2 - k;
  const __m128d p0 = _mm_loadu_pd(t.ct + 2 * r);
  const __m128d p1 = _mm_loadu_pd(t.ct + 2 * (r - 2));
  return _mm256_mul_pd(two, _mm256_permute_pd(_mm256_set_m128d(p1, p0), 0x5));
}

// Top radix-4 stage of size l = N (complex length a power of 4): w1 from the
// cosine part, w2 and w3 by multiplication.
template <int SIGN>
void stage_top4(double* a, int32_t big_n, const FftTables& t) {
  const int32_t q = big_n / 4;
  for (int32_t j = 0; j < q; j += 2) {
    __m256d f1;
    if (j == big_n / 8)
      f1 = factor_pair(big_n, 2 * j, 2, t);
    else
      f1 = top_factor_pair(big_n, j, t);
    const Twiddle w1 = prepare(f1);
    const Twiddle w2 = tw_square(w1);
    const Twiddle w3 = tw_mul(w1, w2);
    double* x0 = a + 2 * j;
    butterfly4<SIGN>(x0, x0 + 2 * q, x0 + 4 * q, x0 + 6 * q, w1, w2, w3);
  }
}

// Radix-4 stage of size l, factors through the portable lookup (the last
// stages when the complex length is not a power of 4).
template <int SIGN>
void stage_looked_up(double* a, int32_t big_n, int32_t l, const FftTables& t) {
  const int32_t q = l / 4;
  const int32_t step = 2 * (big_n / l);
  for (int32_t j = 0; j < q; j += 2) {
    const Twiddle w1 = prepare(factor_pair(big_n, step * j, step, t));
    const Twiddle w2 = prepare(factor_pair(big_n, 2 * step * j, 2 * step, t));
    const Twiddle w3 = prepare(factor_pair(big_n, 3 * step * j, 3 * step, t));
    for (int32_t base = 0; base < big_n; base += l) {
      double* x0 = a + 2 * (base + j);
      butterfly4<SIGN>(x0, x0 + 2 * q, x0 + 4 * q, x0 + 6 * q, w1, w2, w3);
    }
  }
}

template <int SIGN>
void stage_radix2_last(double* a, int32_t big_n, const FftTables& t) {
  const int32_t h = big_n / 2;
  for (int32_t j = 0; j < h; j += 2) {
    const Twiddle w = prepare(factor_pair(big_n, 2 * j, 2, t));
    double* x0 = a + 2 * j;
    double* x1 = x0 + 2 * h;
    const __m256d u = _mm256_loadu_pd(x0);
    const __m256d v = cmul<SIGN>(_mm256_loadu_pd(x1), w);
    _mm256_storeu_pd(x0, _mm256_add_pd(u, v));
    _mm256_storeu_pd(x1, _mm256_sub_pd(u, v));
  }
}

template <class Stages, int SIGN>
void complex_fft(int32_t big_n, double* a, const FftTables& t) {
  bit_reverse_stage4<SIGN>(big_n, a);
  int32_t top4 = 4;
  while (top4 * 4 <= big_n) top4 *= 4;
  // Blocks run the stages whose tables are stored (up to a quarter of N).
  const int32_t block = top4 / 4 < CACHE_BLOCK ? top4 / 4 : CACHE_BLOCK;
  for (int32_t begin = 0; begin < big_n; begin += block) {
    for (int32_t l = 16; l <= block; l *= 4)
      Stages::template radix4<SIGN, false>(a, begin, begin + block, l, t.tw);
  }
  for (int32_t l = block * 4; l <= top4; l *= 4) {
    if (l <= big_n / 4)
      Stages::template radix4<SIGN, false>(a, 0, big_n, l, t.tw);
    else if (l == big_n)
      stage_top4<SIGN>(a, big_n, t);
    else
      stage_looked_up<SIGN>(a, big_n, l, t);
  }
  if (top4 < big_n) stage_radix2_last<SIGN>(a, big_n, t);
}

// The real-data pass for K = 1 .. N/2 - 1, two K at a time.
template <int INVERSE>
void real_pass(int32_t n, double* a, const FftTables& t) {
  const int32_t big_n = n / 2;
  const int32_t quarter = big_n / 4;
  const __m256d half = _mm256_set1_pd(0.5);
  const __m256d conj = _mm256_set_pd(-0.0, 0.0, -0.0, 0.0);
  auto scalar_one = [&](int32_t kk) {
    double c, s;
    cos_sin(big_n, kk, t, &c, &s);
    const double wr = 0.5 - 0.5 * s, wi = 0.5 * c;
    const int32_t j = 2 * kk, k = n - j;
    const double xr = a[j] - a[k], xi = a[j + 1] + a[k + 1];
    const double yr = INVERSE ? wr * xr + wi * xi : wr * xr - wi * xi;
    const double yi = INVERSE ? wr * xi - wi * xr : wr * xi + wi * xr;
    a[j] -= yr;
    a[j + 1] -= yi;
    a[k] += yr;
    a[k + 1] -= yi;
  };
  scalar_one(1);
  for (int32_t kk = 2; kk < big_n / 2; kk += 2) {
    if (kk == quarter) {
      scalar_one(kk);
      scalar_one(kk + 1);
      continue;
    }
    __m256d hv;  // (0.5 cos, 0.5 sin) of K and K + 1
    if (kk < quarter) {
      hv = _mm256_loadu_pd(t.ct + 2 * kk);
    } else {
      const int32_t r = big_n / 2 - kk;  // entries r and r - 1, mirrored
      const __m256d m = _mm256_loadu_pd(t.ct + 2 * (r - 1));
      hv = _mm256_permute_pd(_mm256_permute2f128_pd(m, m, 0x01), 0x5);
    }
    const Twiddle w{_mm256_sub_pd(half, _mm256_permute_pd(hv, 0xF)), _mm256_movedup_pd(hv)};
    double* pj = a + 2 * kk;
    double* pk = a + n - 2 * kk - 2;  // values N-K-1, N-K
    const __m256d xj = _mm256_loadu_pd(pj);
    const __m256d raw_k = _mm256_loadu_pd(pk);
    const __m256d xk = _mm256_permute2f128_pd(raw_k, raw_k, 0x01);  // N-K, N-K-1
    const __m256d x = _mm256_sub_pd(xj, _mm256_xor_pd(xk, conj));
    const __m256d y = INVERSE ? cmul<-1>(x, w) : cmul<1>(x, w);
    const __m256d new_k = _mm256_add_pd(xk, _mm256_xor_pd(y, conj));
    _mm256_storeu_pd(pj, _mm256_sub_pd(xj, y));
    _mm256_storeu_pd(pk, _mm256_permute2f128_pd(new_k, new_k, 0x01));
  }
}

// ---- Convolution in scrambled order. The forward transform runs by
// decimation in frequency from natural order and leaves Z[K] at position
// rev(K) (K's bits reversed); the real-data split, the filter product and
// the join run in that order, against a filter stored in it; the inverse
// runs by decimation in time from that order back to natural order. No pass
// reorders the data. N a power of 4.
//
// Partners: the split pairs K with N - K. For positions p in an octave
// [b, 2b) (b = 2^t, t >= 1), the partner sits at 3b - 1 - p, the mirror in
// the octave; positions 0 (K = 0) and 1 (K = N/2) stand alone.
//
// The filter table (real_fft_scramble_filter): n doubles of the spectrum,
// F[rev(p)] at position p (DC and Nyquist at 0 and 1 as in the packed
// layout), then N doubles of split factors: for p in the lower half
// [b, b + b/2) of octave b, entry p - b/2 holds (0.5 - 0.5 sin, 0.5 cos) of
// pi rev(p) / N.

// Complex values per level-2-sized block of the convolution (a power of 4).
constexpr int32_t SCRAMBLED_BLOCK = 4096;

// Top radix-4 stage of size N by decimation in frequency, natural order in,
// factors from the cosine part. UPPER_ZERO: the second half is taken as zero.
template <int SIGN, bool UPPER_ZERO>
void stage_top4_dif(double* a, int32_t big_n, const FftTables& t) {
  const int32_t q = big_n / 4;
  for (int32_t j = 0; j < q; j += 2) {
    const __m256d f1 =
        j == big_n / 8 ? factor_pair(big_n, 2 * j, 2, t) : top_factor_pair(big_n, j, t);
    const Twiddle w1 = prepare(f1);
    const Twiddle w2 = tw_square(w1);
    const Twiddle w3 = tw_mul(w1, w2);
    double* x0 = a + 2 * j;
    if (UPPER_ZERO) {
      const __m256d u = _mm256_loadu_pd(x0);
      const __m256d v = _mm256_loadu_pd(x0 + 2 * q);
      const __m256d iv = times_i<SIGN>(v);
      _mm256_storeu_pd(x0, _mm256_add_pd(u, v));
      _mm256_storeu_pd(x0 + 2 * q, cmul<SIGN>(_mm256_sub_pd(u, v), w2));
      _mm256_storeu_pd(x0 + 4 * q, cmul<SIGN>(_mm256_add_pd(u, iv), w1));
      _mm256_storeu_pd(x0 + 6 * q, cmul<SIGN>(_mm256_sub_pd(u, iv), w3));
    } else {
      butterfly4_dif<SIGN>(x0, x0 + 2 * q, x0 + 4 * q, x0 + 6 * q, w1, w2, w3);
    }
  }
}

// The size-4 stage on the groups of four in [begin, end): decimation in
// frequency (last forward stage) or in time (first inverse stage).
template <int SIGN, bool DIF>
void stage4_groups(double* a, int32_t begin, int32_t end) {
  for (int32_t g = begin; g < end; g += 4) {
    double* x = a + 2 * g;
    __m256d u = _mm256_loadu_pd(x), v = _mm256_loadu_pd(x + 4);
    if (DIF)
      dif4_in_place<SIGN>(u, v);
    else
      dit4_in_place<SIGN>(u, v);
    _mm256_storeu_pd(x, u);
    _mm256_storeu_pd(x + 4, v);
  }
}

struct Cx {
  double re, im;
};
inline Cx operator-(Cx a, Cx b) { return {a.re - b.re, a.im - b.im}; }
inline Cx operator+(Cx a, Cx b) { return {a.re + b.re, a.im + b.im}; }
inline Cx operator*(Cx a, Cx b) { return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re}; }
inline Cx conj(Cx a) { return {a.re, -a.im}; }
inline Cx at(const double* a, int32_t k) { return {a[2 * k], a[2 * k + 1]}; }
inline void put(double* a, int32_t k, Cx v) { a[2 * k] = v.re, a[2 * k + 1] = v.im; }

// Split, filter product and join of the pair at p and its partner p2, with
// split factor w: the real spectrum's values at K and N - K are formed from
// the complex ones, multiplied by the filter's, and turned back.
inline void pair_scalar(double* a, const double* fs, int32_t p, int32_t p2, Cx w) {
  Cx x = at(a, p), r = at(a, p2);
  Cx y = w * (x - conj(r));
  x = (x - y) * at(fs, p);
  r = (r + conj(y)) * at(fs, p2);
  y = conj(w) * (x - conj(r));
  put(a, p, x - y);
  put(a, p2, r + conj(y));
}

inline __m256d swap_halves(__m256d v) { return _mm256_permute2f128_pd(v, v, 0x01); }
inline __m256d load_rev(const double* p) { return swap_halves(_mm256_loadu_pd(p)); }
inline void store_rev(double* p, __m256d v) { _mm256_storeu_pd(p, swap_halves(v)); }
inline __m256d conj_v(__m256d v) { return _mm256_xor_pd(v, _mm256_set_pd(-0.0, 0.0, -0.0, 0.0)); }

// Positions first .. first + count - 1 of the lower half of octave b with
// their partners, two a step.
void scrambled_pairs_avx2(double* a, const double* fs, const double* ws, int32_t first,
                          int32_t count, int32_t b) {
  int32_t i = 0;
  for (; i + 2 <= count; i += 2) {
    const int32_t p = first + i, p2 = 3 * b - 2 - p;  // partners of p + 1, p
    __m256d x = _mm256_loadu_pd(a + 2 * p), r = load_rev(a + 2 * p2);
    const Twiddle w = prepare(_mm256_loadu_pd(ws + 2 * (p - b / 2)));
    __m256d y = cmul<1>(_mm256_sub_pd(x, conj_v(r)), w);
    x = cmul<1>(_mm256_sub_pd(x, y), prepare(_mm256_loadu_pd(fs + 2 * p)));
    r = cmul<1>(_mm256_add_pd(r, conj_v(y)), prepare(load_rev(fs + 2 * p2)));
    y = cmul<-1>(_mm256_sub_pd(x, conj_v(r)), w);
    _mm256_storeu_pd(a + 2 * p, _mm256_sub_pd(x, y));
    store_rev(a + 2 * p2, _mm256_add_pd(r, conj_v(y)));
  }
  for (; i < count; ++i) {
    const int32_t p = first + i;
    pair_scalar(a, fs, p, 3 * b - 1 - p, at(ws, p - b / 2));
  }
}

// Positions 0 and 1, then every octave below `end` (a power of 2).
template <class Stages>
void scrambled_low(double* a, const double* fs, const double* ws, int32_t end) {
  // K = 0: DC and Nyquist of the real spectrum, both real.
  const double dc = (a[0] + a[1]) * fs[0];
  const double ny = (a[0] - a[1]) * fs[1];
  a[1] = 0.5 * (dc - ny);
  a[0] = dc - a[1];
  put(a, 1, at(a, 1) * at(fs, 1));  // K = N/2: untouched by the split
  for (int32_t b = 2; b < end; b *= 2) Stages::scrambled_pairs(a, fs, ws, b, b / 2, b);
}

template <class Stages>
void convolve_scrambled(int32_t n, double* a, bool upper_zero, const double* fs,
                        const FftTables& t) {
  const int32_t big_n = n / 2;
  const double* ws = fs + n;
  const int32_t block = big_n / 4 < SCRAMBLED_BLOCK ? big_n / 4 : SCRAMBLED_BLOCK;
  if (upper_zero)
    Stages::template top4_dif<true>(a, big_n, t);
  else
    Stages::template top4_dif<false>(a, big_n, t);
  for (int32_t l = big_n / 4; l > block; l /= 4)
    Stages::template radix4<1, true>(a, 0, big_n, l, t.tw);

  // In-cache blocks: the forward stages below the block size, the middle,
  // the inverse stages below it, on a block and its partner block together.
  // A block's stages of CACHE_BLOCK and below run on level-1-sized pieces.
  const int32_t inner = block < CACHE_BLOCK ? block : CACHE_BLOCK;
  auto forward_block = [&](int32_t begin) {
    for (int32_t l = block; l > inner; l /= 4)
      Stages::template radix4<1, true>(a, begin, begin + block, l, t.tw);
    for (int32_t piece = begin; piece < begin + block; piece += inner) {
      for (int32_t l = inner; l >= 16; l /= 4)
        Stages::template radix4<1, true>(a, piece, piece + inner, l, t.tw);
      stage4_groups<1, true>(a, piece, piece + inner);
    }
  };
  auto inverse_block = [&](int32_t begin) {
    for (int32_t piece = begin; piece < begin + block; piece += inner) {
      stage4_groups<-1, false>(a, piece, piece + inner);
      for (int32_t l = 16; l <= inner; l *= 4)
        Stages::template radix4<-1, false>(a, piece, piece + inner, l, t.tw);
    }
    for (int32_t l = 4 * inner; l <= block; l *= 4)
      Stages::template radix4<-1, false>(a, begin, begin + block, l, t.tw);
  };
  forward_block(0);  // octaves below the block size
  scrambled_low<Stages>(a, fs, ws, block);
  inverse_block(0);
  forward_block(block);  // the octave of the block size pairs within itself
  Stages::scrambled_pairs(a, fs, ws, block, block / 2, block);
  inverse_block(block);
  for (int32_t b = 2 * block; b < big_n; b *= 2) {
    for (int32_t c = b; c < b + b / 2; c += block) {
      const int32_t partner = 3 * b - block - c;
      forward_block(c);
      forward_block(partner);
      Stages::scrambled_pairs(a, fs, ws, c, block, b);
      inverse_block(c);
      inverse_block(partner);
    }
  }

  for (int32_t l = 4 * block; l <= big_n / 4; l *= 4)
    Stages::template radix4<-1, false>(a, 0, big_n, l, t.tw);
  Stages::top4_inverse(a, big_n, t);
}

// Complex products of the pairs from element 2 on (two pairs a step; the
// first step's lower pair is the 0/1 reals, which the caller has done).
void packed_multiply(int32_t n, double* a, const double* f) {
  {
    const double re = a[2] * f[2] - a[3] * f[3];
    const double im = a[2] * f[3] + a[3] * f[2];
    a[2] = re;
    a[3] = im;
  }
  for (int32_t k = 4; k < n; k += 4) {
    const Twiddle w = prepare(_mm256_loadu_pd(f + k));
    _mm256_storeu_pd(a + k, cmul<1>(_mm256_loadu_pd(a + k), w));
  }
}

template <class Stages>
void forward(int32_t n, double* a, const FftTables& t) {
  complex_fft<Stages, 1>(n / 2, a, t);
  real_pass<0>(n, a, t);
}

template <class Stages>
void inverse(int32_t n, double* a, const FftTables& t) {
  real_pass<1>(n, a, t);
  complex_fft<Stages, -1>(n / 2, a, t);
}

// The kernel record of a stage set.
template <class Stages>
constexpr FftKernel kernel_of() {
  return {forward<Stages>, inverse<Stages>, packed_multiply, convolve_scrambled<Stages>};
}

}  // namespace

}  // namespace fft_detail
