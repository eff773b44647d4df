// The real FFT of the resampler: a complex transform of half length over the
// (even, odd) pairs - bit reversal, then radix-4 decimation-in-time stages
// (a final radix-2 stage when the length is not a power of four) - and the
// real-data pass that splits the result into the packed spectrum. The
// twiddle and cosine tables live in the caller's w and are built once per
// size; the transform allocates nothing. A vector kernel (AVX2 or AVX-512,
// as the processor allows) takes over the sizes the resampler uses.
#include "dsp/real_fft.h"

#include <cmath>
#include <cstring>

#include "dsp/cpu_features.h"
#include "dsp/real_fft_internal.h"

namespace fft_detail {

namespace {

constexpr double HALF_SQRT_HALF = 0.35355339059327376220;  // 0.5 cos(pi/4)

int32_t log2_of(int32_t n) {
  int32_t m = 0;
  while ((1 << m) < n) ++m;
  return m;
}

uint32_t reverse_bits(uint32_t v, int32_t bits) {
  uint32_t r = 0;
  for (int32_t b = 0; b < bits; ++b) {
    r = (r << 1) | (v & 1u);
    v >>= 1;
  }
  return r;
}

inline void swap_complex(double* a, int32_t i, int32_t j) {
  const double r = a[2 * i], m = a[2 * i + 1];
  a[2 * i] = a[2 * j];
  a[2 * i + 1] = a[2 * j + 1];
  a[2 * j] = r;
  a[2 * j + 1] = m;
}

// Twiddle tables for complex length big_n into w (nw = big_n / 2 doubles).
void make_twiddles(int32_t big_n, double* w) {
  const double two_pi = 6.283185307179586476925;
  for (int32_t l = 16; l <= big_n / 4; l *= 4) {
    double* block = w + stage_offset(l);
    for (int32_t j = 0; j < l / 4; ++j) {
      const double angle = two_pi * j / l;
      double* b = block + (j / 4) * 16 + 2 * (j & 3);
      b[0] = b[1] = std::cos(angle);
      b[8] = b[9] = std::sin(angle);
    }
  }
}

// Cosine part for complex length big_n into c (nc = big_n / 2 doubles).
void make_cosines(int32_t big_n, double* c) {
  const double pi = 3.141592653589793238463;
  for (int32_t k = 0; k < big_n / 4; ++k) {
    c[2 * k] = 0.5 * std::cos(pi * k / big_n);
    c[2 * k + 1] = 0.5 * std::sin(pi * k / big_n);
  }
}

// 0.5 cos and 0.5 sin of pi K / N for 0 <= K <= N/2.
inline void half_cos_sin(int32_t big_n, int32_t k, const FftTables& t, double* hc, double* hs) {
  const int32_t quarter = big_n / 4;
  if (k < quarter) {
    *hc = t.ct[2 * k * t.ct_step];
    *hs = t.ct[2 * k * t.ct_step + 1];
  } else if (k == quarter) {
    *hc = *hs = HALF_SQRT_HALF;
  } else {
    const int32_t r = big_n / 2 - k;
    *hc = t.ct[2 * r * t.ct_step + 1];
    *hs = t.ct[2 * r * t.ct_step];
  }
}

// Portable complex transform of big_n points, sign +1 (e^+i) or -1.
void radix4_stage(int32_t big_n, int32_t l, int32_t sign, double* a, const FftTables& t) {
  const int32_t q = l / 4;
  for (int32_t j = 0; j < q; ++j) {
    double w1r = 1, w1i = 0, w2r = 1, w2i = 0, w3r = 1, w3i = 0;
    if (l >= 16 && l <= big_n / 4) {
      stage_factor(t.tw, l, j, &w1r, &w1i);
      w2r = w1r * w1r - w1i * w1i, w2i = 2.0 * w1r * w1i;
      w3r = w1r * w2r - w1i * w2i, w3i = w1r * w2i + w1i * w2r;
    } else if (l > 4) {
      const int32_t step = 2 * (big_n / l);  // in units of pi / N
      cos_sin(big_n, step * j, t, &w1r, &w1i);
      cos_sin(big_n, 2 * step * j, t, &w2r, &w2i);
      cos_sin(big_n, 3 * step * j, t, &w3r, &w3i);
    }
    w1i *= sign, w2i *= sign, w3i *= sign;
    for (int32_t base = 0; base < big_n; base += l) {
      double* x0 = a + 2 * (base + j);
      double* x1 = x0 + 2 * q;
      double* x2 = x1 + 2 * q;
      double* x3 = x2 + 2 * q;
      const double br = x1[0] * w2r - x1[1] * w2i, bi = x1[0] * w2i + x1[1] * w2r;
      const double cr = x2[0] * w1r - x2[1] * w1i, ci = x2[0] * w1i + x2[1] * w1r;
      const double dr = x3[0] * w3r - x3[1] * w3i, di = x3[0] * w3i + x3[1] * w3r;
      const double t0r = x0[0] + br, t0i = x0[1] + bi;
      const double t1r = x0[0] - br, t1i = x0[1] - bi;
      const double t2r = cr + dr, t2i = ci + di;
      // sign * i * (C - D)
      const double t3r = -sign * (ci - di), t3i = sign * (cr - dr);
      x0[0] = t0r + t2r, x0[1] = t0i + t2i;
      x2[0] = t0r - t2r, x2[1] = t0i - t2i;
      x1[0] = t1r + t3r, x1[1] = t1i + t3i;
      x3[0] = t1r - t3r, x3[1] = t1i - t3i;
    }
  }
}

void radix2_last_stage(int32_t big_n, int32_t sign, double* a, const FftTables& t) {
  const int32_t h = big_n / 2;
  for (int32_t j = 0; j < h; ++j) {
    double wr = 1, wi = 0;
    if (j) cos_sin(big_n, 2 * j, t, &wr, &wi);
    wi *= sign;
    double* x0 = a + 2 * j;
    double* x1 = a + 2 * (j + h);
    const double br = x1[0] * wr - x1[1] * wi, bi = x1[0] * wi + x1[1] * wr;
    x1[0] = x0[0] - br, x1[1] = x0[1] - bi;
    x0[0] += br, x0[1] += bi;
  }
}

void complex_fft(int32_t big_n, int32_t sign, double* a, const FftTables& t) {
  bit_reverse(big_n, a);
  int32_t l = 4;
  for (; l <= big_n; l *= 4) radix4_stage(big_n, l, sign, a, t);
  if (l / 4 < big_n) radix2_last_stage(big_n, sign, a, t);
}

// Splits the complex transform of the pairs into the packed real spectrum
// (forward), or joins a packed spectrum back (inverse), for K = 1 .. N/2-1.
void real_pass(int32_t n, int32_t inverse, double* a, const FftTables& t) {
  const int32_t big_n = n / 2;
  for (int32_t kk = 1; kk < big_n / 2; ++kk) {
    double hc, hs;
    half_cos_sin(big_n, kk, t, &hc, &hs);
    const double wr = 0.5 - hs, wi = hc;
    const int32_t j = 2 * kk, k = n - j;
    const double xr = a[j] - a[k], xi = a[j + 1] + a[k + 1];
    double yr, yi;
    if (!inverse) {
      yr = wr * xr - wi * xi;
      yi = wr * xi + wi * xr;
    } else {
      yr = wr * xr + wi * xi;
      yi = wr * xi - wi * xr;
    }
    a[j] -= yr;
    a[j + 1] -= yi;
    a[k] += yr;
    a[k + 1] -= yi;
  }
}

}  // namespace

void cos_sin(int32_t big_n, int32_t k, const FftTables& t, double* c, double* s) {
  const int32_t quadrant = k / (big_n / 2);
  const int32_t r = k % (big_n / 2);
  double hc, hs;
  half_cos_sin(big_n, r, t, &hc, &hs);
  double x = 2.0 * hc, y = 2.0 * hs;
  for (int32_t q = 0; q < quadrant; ++q) {  // rotate by i per quadrant
    const double tx = -y;
    y = x;
    x = tx;
  }
  *c = x;
  *s = y;
}

void bit_reverse(int32_t big_n, double* a) {
  const int32_t m = log2_of(big_n);
  if (m < 6) {
    for (int32_t i = 0; i < big_n; ++i) {
      const int32_t j = static_cast<int32_t>(reverse_bits(static_cast<uint32_t>(i), m));
      if (i < j) swap_complex(a, i, j);
    }
    return;
  }
  // Tiles of 8 x 8: i = hi.mid.lo maps to rev(lo).rev(mid).rev(hi), so a
  // tile's rows stay within a few cache lines.
  static const int32_t REV3[8] = {0, 4, 2, 6, 1, 5, 3, 7};
  const int32_t mid_bits = m - 6;
  const int32_t stride = big_n >> 3;
  for (int32_t mid = 0; mid < (1 << mid_bits); ++mid) {
    const int32_t rmid = static_cast<int32_t>(reverse_bits(static_cast<uint32_t>(mid), mid_bits));
    if (rmid < mid) continue;
    for (int32_t hi = 0; hi < 8; ++hi) {
      for (int32_t lo = 0; lo < 8; ++lo) {
        const int32_t i = hi * stride + mid * 8 + lo;
        const int32_t j = REV3[lo] * stride + rmid * 8 + REV3[hi];
        if (mid == rmid && i >= j) continue;
        swap_complex(a, i, j);
      }
    }
  }
}

}  // namespace fft_detail

namespace {

// The vector kernel the processor allows, or nullptr for the portable code.
const fft_detail::FftKernel* vector_kernel() {
  switch (vector_level()) {
    case VECTOR_AVX512: return &fft_detail::fft_avx512_kernel;
    case VECTOR_AVX2: return &fft_detail::fft_avx2_kernel;
    default: return nullptr;
  }
}

}  // namespace

using fft_detail::FftTables;

void real_fft(int32_t n, int32_t direction, double* a, int32_t* ip, double* w) {
  if (n < 2) return;
  int32_t nw = ip[0];
  int32_t nc = 0;
  if (n > 4 * nw) {  // the cosine part sits after the twiddles, so it moves too
    nw = n / 4;
    ip[0] = nw;
    fft_detail::make_twiddles(n / 2, w);
  } else {
    nc = ip[1];
  }
  if (n > 4 * nc) {
    nc = n / 4;
    ip[1] = nc;
    fft_detail::make_cosines(n / 2, w + nw);
  }
  FftTables t{w, w + nw, n >= 8 ? (4 * nc) / n : 1};
  const int32_t big_n = n / 2;

  const fft_detail::FftKernel* kernel = vector_kernel();
  const bool vector = kernel && t.ct_step == 1 && n >= fft_detail::MIN_VECTOR_N;
  if (direction >= 0) {
    if (vector) {
      kernel->forward(n, a, t);
    } else if (n > 4) {
      fft_detail::complex_fft(big_n, 1, a, t);
      fft_detail::real_pass(n, 0, a, t);
    } else if (n == 4) {
      fft_detail::complex_fft(big_n, 1, a, t);
    }
    const double x = a[0] - a[1];
    a[0] += a[1];
    a[1] = x;
  } else {
    a[1] = 0.5 * (a[0] - a[1]);
    a[0] -= a[1];
    if (vector) {
      kernel->inverse(n, a, t);
    } else if (n > 4) {
      fft_detail::real_pass(n, 1, a, t);
      fft_detail::complex_fft(big_n, -1, a, t);
    } else if (n == 4) {
      fft_detail::complex_fft(big_n, -1, a, t);
    }
  }
}

void packed_spectrum_multiply(int32_t n, double* a, const double* f) {
  if (n < 2) return;
  a[0] *= f[0];
  a[1] *= f[1];
  const fft_detail::FftKernel* kernel = vector_kernel();
  if (kernel && n >= 8) {
    kernel->packed_multiply(n, a, f);
    return;
  }
  for (int32_t k = 2; k < n; k += 2) {
    const double re = a[k] * f[k] - a[k + 1] * f[k + 1];
    const double im = a[k] * f[k + 1] + a[k + 1] * f[k];
    a[k] = re;
    a[k + 1] = im;
  }
}

namespace {

// log2 of n when n/2 is a power of 4 and the vector kernels take n, else -1.
int32_t scrambled_log2(int32_t n) {
  if (n < fft_detail::MIN_VECTOR_N) return -1;
  int32_t m = 0;
  while ((1 << m) < n / 2) ++m;
  return (1 << m) == n / 2 && m % 2 == 0 ? m : -1;
}

}  // namespace

void real_fft_convolve(int32_t n, double* a, int32_t filled, const double* f, int32_t* ip,
                       double* w, const double* scrambled) {
  if (filled < 0) filled = 0;
  const fft_detail::FftKernel* kernel = vector_kernel();
  if (kernel && scrambled && scrambled_log2(n) >= 0 && ip[0] == n / 4 && ip[1] == n / 4) {
    // The vector pass skips a zero second half without reading it.
    const bool upper_zero = filled <= n / 2;
    const int32_t clear_to = upper_zero ? n / 2 : n;
    if (filled < clear_to)
      std::memset(a + filled, 0, sizeof(double) * static_cast<size_t>(clear_to - filled));
    fft_detail::FftTables t{w, w + n / 4, 1};
    kernel->convolve(n, a, upper_zero, scrambled, t);
    return;
  }
  if (filled < n) std::memset(a + filled, 0, sizeof(double) * static_cast<size_t>(n - filled));
  real_fft(n, 1, a, ip, w);
  packed_spectrum_multiply(n, a, f);
  real_fft(n, -1, a, ip, w);
}

int32_t real_fft_scrambled_size(int32_t n) { return scrambled_log2(n) >= 0 ? n + n / 2 : 0; }

void real_fft_scramble_filter(int32_t n, const double* f, double* out) {
  const int32_t big_n = n / 2;
  const int32_t bits = scrambled_log2(n);
  if (bits < 0) return;
  // Position p holds the complex value of K = rev(p); 0 and 1 keep the DC
  // and Nyquist reals (K = 0) and K = N/2 keeps its own.
  out[0] = f[0];
  out[1] = f[1];
  for (int32_t p = 1; p < big_n; ++p) {
    const int32_t k =
        static_cast<int32_t>(fft_detail::reverse_bits(static_cast<uint32_t>(p), bits));
    out[2 * p] = f[2 * k];
    out[2 * p + 1] = f[2 * k + 1];
  }
  // Split factors of the lower half of each octave [b, 2b).
  const double pi = 3.141592653589793238463;
  double* ws = out + n;
  ws[0] = ws[1] = 0.0;
  for (int32_t b = 2; b < big_n; b *= 2) {
    for (int32_t p = b; p < b + b / 2; ++p) {
      const int32_t k =
          static_cast<int32_t>(fft_detail::reverse_bits(static_cast<uint32_t>(p), bits));
      const double angle = pi * k / big_n;
      ws[2 * (p - b / 2)] = 0.5 - 0.5 * std::sin(angle);
      ws[2 * (p - b / 2) + 1] = 0.5 * std::cos(angle);
    }
  }
}
