// The passes of the real FFT's vector kernels, in AVX2/FMA arithmetic (two
// complex values per register), for the sizes the resampler uses: the bit
// reversal fused with the size-4 stage, the small stages run block by block
// inside the level-1 cache, the top and looked-up stages, the real-data pass,
// the convolution's fused middle pass, and the order they run in. A kernel
// supplies its radix-4 stages over stored tables and the bulk of the fused
// columns (`Stages`, below) and instantiates the transform in its own file,
// built for its own instruction set: everything here has internal linkage,
// so no file shares another's copy. Same stages and tables as the portable
// code in real_fft.cc.
//
// A stage set is a type with
//   template <int SIGN, bool DIF>
//   static void radix4(double* a, int32_t begin, int32_t end, int32_t l, const double* tw);
//     the radix-4 stage of size l (16 <= l <= N/4, table stored) over the
//     groups in [begin, end), sign 1 or -1, decimation in time, or (DIF) in
//     frequency for the inverse half of the convolution;
//   static void fused_columns(int32_t big_n, double* a, const double* f, const FftTables& t);
//     the fused pass for columns 2 .. N/8 - 1 and their partners.
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
// used by the inverse half of the convolution.
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

// Bit reversal of the N complex values fused with the size-4 stage: after
// it for the forward (DIT) transform, before it for the inverse (DIF). Works
// on 8 x 8 tiles: value hi.mid.lo goes to rev(lo).rev(mid).rev(hi), so tile
// mid and tile rev(mid) trade places, transposed; a destination row is a
// source column in bit-reversed order. N >= 64.
template <int SIGN, bool DIF_BEFORE, bool UPPER_ZERO = false>
void bit_reverse_stage4(int32_t big_n, double* a) {
  int32_t m = 0;
  while ((1 << m) < big_n) ++m;
  const int32_t mid_bits = m - 6;
  const int32_t stride = big_n >> 3;  // complex values between tile rows
  alignas(32) double tile_a[128], tile_b[128];
  auto load_tile = [&](int32_t mid, double* tile) {
    for (int32_t hi = 0; hi < 8; ++hi) {
      if (UPPER_ZERO && hi >= 4) {  // rows of the second half
        for (int32_t k = 0; k < 16; k += 4)
          _mm256_store_pd(tile + 16 * hi + k, _mm256_setzero_pd());
        continue;
      }
      const double* row = a + 2 * (static_cast<int64_t>(hi) * stride + mid * 8);
      __m256d r0 = _mm256_loadu_pd(row), r1 = _mm256_loadu_pd(row + 4);
      __m256d r2 = _mm256_loadu_pd(row + 8), r3 = _mm256_loadu_pd(row + 12);
      if (DIF_BEFORE) {
        dif4_in_place<SIGN>(r0, r1);
        dif4_in_place<SIGN>(r2, r3);
      }
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
      if (!DIF_BEFORE) {
        dit4_in_place<SIGN>(r0, r1);
        dit4_in_place<SIGN>(r2, r3);
      }
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
  bit_reverse_stage4<SIGN, false>(big_n, a);
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

// ---- Convolution: forward DIT without its last stage, one fused pass (last
// forward stage, real-data split, filter product, real-data join, first
// inverse stage), inverse DIF without its first stage. N a power of 4.

int32_t below_top_block(int32_t big_n) { return big_n / 4 < CACHE_BLOCK ? big_n / 4 : CACHE_BLOCK; }

template <class Stages>
void forward_below_top(int32_t big_n, double* a, bool upper_zero, const FftTables& t) {
  if (upper_zero)
    bit_reverse_stage4<1, false, true>(big_n, a);
  else
    bit_reverse_stage4<1, false>(big_n, a);
  const int32_t block = below_top_block(big_n);
  for (int32_t begin = 0; begin < big_n; begin += block) {
    for (int32_t l = 16; l <= block; l *= 4)
      Stages::template radix4<1, false>(a, begin, begin + block, l, t.tw);
  }
  for (int32_t l = block * 4; l <= big_n / 4; l *= 4)
    Stages::template radix4<1, false>(a, 0, big_n, l, t.tw);
}

template <class Stages>
void inverse_below_top(int32_t big_n, double* a, const FftTables& t) {
  const int32_t block = below_top_block(big_n);
  for (int32_t l = big_n / 4; l >= block * 4; l /= 4)
    Stages::template radix4<-1, true>(a, 0, big_n, l, t.tw);
  for (int32_t begin = 0; begin < big_n; begin += block) {
    for (int32_t l = block; l >= 16; l /= 4)
      Stages::template radix4<-1, true>(a, begin, begin + block, l, t.tw);
  }
  bit_reverse_stage4<-1, true>(big_n, a);
}

struct Cx {
  double re, im;
};
inline Cx operator+(Cx a, Cx b) { return {a.re + b.re, a.im + b.im}; }
inline Cx operator-(Cx a, Cx b) { return {a.re - b.re, a.im - b.im}; }
inline Cx operator*(Cx a, Cx b) { return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re}; }
inline Cx conj(Cx a) { return {a.re, -a.im}; }
inline Cx times_i_scalar(int sign, Cx z) { return sign > 0 ? Cx{-z.im, z.re} : Cx{z.im, -z.re}; }
inline Cx at(const double* a, int32_t k) { return {a[2 * k], a[2 * k + 1]}; }
inline void put(double* a, int32_t k, Cx v) { a[2 * k] = v.re, a[2 * k + 1] = v.im; }

Cx factor(int32_t big_n, int32_t k, const FftTables& t) {  // e^(i pi k / N)
  Cx w;
  cos_sin(big_n, k, t, &w.re, &w.im);
  return w;
}

// The fused pass for one set of top-stage columns closed under K <-> N-K
// ({0}, {1, N/4-1}, {N/8}), in plain arithmetic.
void fused_columns_scalar(int32_t big_n, double* a, const double* f, const FftTables& t,
                          const int32_t* cols, int32_t ncols) {
  const int32_t q = big_n / 4;
  for (int32_t c = 0; c < ncols; ++c) {  // last forward stage (DIT)
    const int32_t j = cols[c];
    const Cx w1 = factor(big_n, 2 * j, t), w2 = factor(big_n, 4 * j, t),
             w3 = factor(big_n, 6 * j, t);
    const Cx A = at(a, j), B = at(a, j + q) * w2, C = at(a, j + 2 * q) * w1,
             D = at(a, j + 3 * q) * w3;
    const Cx t0 = A + B, t1 = A - B, t2 = C + D, t3 = times_i_scalar(1, C - D);
    put(a, j, t0 + t2);
    put(a, j + q, t1 + t3);
    put(a, j + 2 * q, t0 - t2);
    put(a, j + 3 * q, t1 - t3);
  }
  for (int32_t c = 0; c < ncols; ++c) {
    for (int32_t m = 0; m < 4; ++m) {
      const int32_t k = cols[c] + m * q;
      const int32_t k2 = (big_n - k) % big_n;
      if (k > k2) continue;
      if (k == 0) {  // DC and Nyquist, both real
        const double dc = (a[0] + a[1]) * f[0];
        const double ny = (a[0] - a[1]) * f[1];
        a[1] = 0.5 * (dc - ny);
        a[0] = dc - a[1];
        continue;
      }
      const Cx fk = at(f, k), fk2 = at(f, k2);
      if (k == k2) {  // N/2: untouched by the split
        put(a, k, at(a, k) * fk);
        continue;
      }
      double c0, s0;
      cos_sin(big_n, k, t, &c0, &s0);
      const Cx w{0.5 - 0.5 * s0, 0.5 * c0};
      Cx p = at(a, k), r = at(a, k2);
      Cx y = w * (p - conj(r));
      p = (p - y) * fk;
      r = (r + conj(y)) * fk2;
      y = conj(w) * (p - conj(r));
      put(a, k, p - y);
      put(a, k2, r + conj(y));
    }
  }
  for (int32_t c = 0; c < ncols; ++c) {  // first inverse stage (DIF)
    const int32_t j = cols[c];
    const Cx w1 = conj(factor(big_n, 2 * j, t)), w2 = conj(factor(big_n, 4 * j, t)),
             w3 = conj(factor(big_n, 6 * j, t));
    const Cx A = at(a, j), B = at(a, j + q), C = at(a, j + 2 * q), D = at(a, j + 3 * q);
    const Cx t0 = A + C, t1 = A - C, t2 = B + D, t3 = times_i_scalar(-1, B - D);
    put(a, j, t0 + t2);
    put(a, j + q, (t0 - t2) * w2);
    put(a, j + 2 * q, (t1 + t3) * w1);
    put(a, j + 3 * q, (t1 - t3) * w3);
  }
}

inline __m256d swap_halves(__m256d v) { return _mm256_permute2f128_pd(v, v, 0x01); }
inline __m256d load_rev(const double* p) { return swap_halves(_mm256_loadu_pd(p)); }
inline void store_rev(double* p, __m256d v) { _mm256_storeu_pd(p, swap_halves(v)); }
inline __m256d conj_v(__m256d v) { return _mm256_xor_pd(v, _mm256_set_pd(-0.0, 0.0, -0.0, 0.0)); }

// Split, filter, join for one pair of vectors: p at K, r at N-K (lane-wise).
inline void split_filter_join(__m256d& p, __m256d& r, const Twiddle& w, __m256d fp, __m256d fr) {
  __m256d y = cmul<1>(_mm256_sub_pd(p, conj_v(r)), w);
  p = cmul<1>(_mm256_sub_pd(p, y), prepare(fp));
  r = cmul<1>(_mm256_add_pd(r, conj_v(y)), prepare(fr));
  y = cmul<-1>(_mm256_sub_pd(p, conj_v(r)), w);
  p = _mm256_sub_pd(p, y);
  r = _mm256_add_pd(r, conj_v(y));
}

// Split factor (0.5 - 0.5 sin, 0.5 cos) from (0.5 cos, 0.5 sin) pairs.
inline Twiddle split_factor(__m256d hv) {
  return {_mm256_sub_pd(_mm256_set1_pd(0.5), _mm256_permute_pd(hv, 0xF)), _mm256_movedup_pd(hv)};
}

inline void dit4(__m256d& A, __m256d& B, __m256d& C, __m256d& D, const Twiddle& w1,
                 const Twiddle& w2, const Twiddle& w3) {
  const __m256d b = cmul<1>(B, w2), c = cmul<1>(C, w1), d = cmul<1>(D, w3);
  const __m256d t0 = _mm256_add_pd(A, b), t1 = _mm256_sub_pd(A, b);
  const __m256d t2 = _mm256_add_pd(c, d), t3 = times_i<1>(_mm256_sub_pd(c, d));
  A = _mm256_add_pd(t0, t2);
  B = _mm256_add_pd(t1, t3);
  C = _mm256_sub_pd(t0, t2);
  D = _mm256_sub_pd(t1, t3);
}

inline void dif4_inverse(__m256d& A, __m256d& B, __m256d& C, __m256d& D, const Twiddle& w1,
                         const Twiddle& w2, const Twiddle& w3) {
  const __m256d t0 = _mm256_add_pd(A, C), t1 = _mm256_sub_pd(A, C);
  const __m256d t2 = _mm256_add_pd(B, D), t3 = times_i<-1>(_mm256_sub_pd(B, D));
  A = _mm256_add_pd(t0, t2);
  B = cmul<-1>(_mm256_sub_pd(t0, t2), w2);
  C = cmul<-1>(_mm256_add_pd(t1, t3), w1);
  D = cmul<-1>(_mm256_sub_pd(t1, t3), w3);
}

// Columns 2 .. N/8 - 1 and their partners, two a step.
void fused_column_pairs(int32_t big_n, double* a, const double* f, const FftTables& t) {
  const int32_t q = big_n / 4;
  const __m256d negate = _mm256_set1_pd(-0.0);
  for (int32_t j = 2; j <= q / 2 - 2; j += 2) {
    const int32_t m = q - j - 1;  // partner columns m, m + 1 (= q - j - 1, q - j)
    // Columns j, j+1 and, lane by lane, their partners q-j, q-j-1.
    __m256d A = _mm256_loadu_pd(a + 2 * j), B = _mm256_loadu_pd(a + 2 * (j + q));
    __m256d C = _mm256_loadu_pd(a + 2 * (j + 2 * q)), D = _mm256_loadu_pd(a + 2 * (j + 3 * q));
    __m256d A2 = load_rev(a + 2 * m), B2 = load_rev(a + 2 * (m + q));
    __m256d C2 = load_rev(a + 2 * (m + 2 * q)), D2 = load_rev(a + 2 * (m + 3 * q));

    const __m256d f1 = top_factor_pair(big_n, j, t);  // e^(2 pi i j / N), j and j+1
    const Twiddle w1 = prepare(f1);
    const Twiddle w2 = tw_square(w1);
    const Twiddle w3 = tw_mul(w1, w2);
    // Partner factors: e^(2 pi i (q-j) m / N) from those of j.
    const Twiddle v1{w1.im, w1.re};                                                // i conj(w1)
    const Twiddle v2{_mm256_xor_pd(w2.re, negate), w2.im};                         // -conj(w2)
    const Twiddle v3{_mm256_xor_pd(w3.im, negate), _mm256_xor_pd(w3.re, negate)};  // -i conj(w3)

    dit4(A, B, C, D, w1, w2, w3);
    dit4(A2, B2, C2, D2, v1, v2, v3);

    const __m256d hj = _mm256_loadu_pd(t.ct + 2 * j);                 // K = j, j+1
    const __m256d hm = load_rev(t.ct + 2 * m);                        // K = q-j, q-j-1
    const Twiddle w_j = split_factor(hj);                             // K = j
    const Twiddle w_qmj = split_factor(hm);                           // K = q - j
    const Twiddle w_qpj = split_factor(_mm256_permute_pd(hm, 0x5));   // K = q + j
    const Twiddle w_2qmj = split_factor(_mm256_permute_pd(hj, 0x5));  // K = 2q - j

    split_filter_join(A, D2, w_j, _mm256_loadu_pd(f + 2 * j), load_rev(f + 2 * (big_n - j - 1)));
    split_filter_join(B, C2, w_qpj, _mm256_loadu_pd(f + 2 * (q + j)),
                      load_rev(f + 2 * (m + 2 * q)));
    split_filter_join(B2, C, w_2qmj, load_rev(f + 2 * (m + q)),
                      _mm256_loadu_pd(f + 2 * (j + 2 * q)));
    split_filter_join(A2, D, w_qmj, load_rev(f + 2 * m), _mm256_loadu_pd(f + 2 * (j + 3 * q)));

    dif4_inverse(A, B, C, D, w1, w2, w3);
    dif4_inverse(A2, B2, C2, D2, v1, v2, v3);
    _mm256_storeu_pd(a + 2 * j, A);
    _mm256_storeu_pd(a + 2 * (j + q), B);
    _mm256_storeu_pd(a + 2 * (j + 2 * q), C);
    _mm256_storeu_pd(a + 2 * (j + 3 * q), D);
    store_rev(a + 2 * m, A2);
    store_rev(a + 2 * (m + q), B2);
    store_rev(a + 2 * (m + 2 * q), C2);
    store_rev(a + 2 * (m + 3 * q), D2);
  }
}

// The fused pass over every top-stage column: 0, 1 and N/8 (with their
// partners) in plain arithmetic, the others by the kernel.
template <class Stages>
void fused_middle(int32_t big_n, double* a, const double* f, const FftTables& t) {
  const int32_t q = big_n / 4;
  const int32_t c0[] = {0};
  const int32_t c1[] = {1, q - 1};
  const int32_t c2[] = {q / 2};
  fused_columns_scalar(big_n, a, f, t, c0, 1);
  fused_columns_scalar(big_n, a, f, t, c1, 2);
  fused_columns_scalar(big_n, a, f, t, c2, 1);
  Stages::fused_columns(big_n, a, f, t);
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

template <class Stages>
void convolve(int32_t n, double* a, bool upper_zero, const double* f, const FftTables& t) {
  const int32_t big_n = n / 2;
  forward_below_top<Stages>(big_n, a, upper_zero, t);
  fused_middle<Stages>(big_n, a, f, t);
  inverse_below_top<Stages>(big_n, a, t);
}

// The kernel record of a stage set.
template <class Stages>
constexpr FftKernel kernel_of() {
  return {forward<Stages>, inverse<Stages>, packed_multiply, convolve<Stages>};
}

}  // namespace

}  // namespace fft_detail
