// The real FFT against a direct DFT, its inverse and convolution properties,
// and the reuse of its tables.
#include "dsp/real_fft.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "dsp/cpu_features.h"

namespace {

struct Work {
  explicit Work(int32_t n)
      : ip(static_cast<size_t>(std::sqrt(static_cast<double>(n))) + 2, 0),
        w(static_cast<size_t>(n / 2 > 0 ? n / 2 : 1), 0.0) {}
  std::vector<int32_t> ip;
  std::vector<double> w;
};

std::vector<double> random_signal(int32_t n, uint32_t seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::vector<double> x(static_cast<size_t>(n));
  for (double& v : x) v = dist(gen);
  return x;
}

// The packed spectrum computed directly: a[0] = sum x, a[1] = sum x (-1)^j,
// a[2k] = sum x cos(2 pi jk/n), a[2k+1] = sum x sin(2 pi jk/n).
std::vector<double> direct_packed(const std::vector<double>& x) {
  const size_t n = x.size();
  std::vector<double> out(n, 0.0);
  for (size_t k = 0; k <= n / 2; ++k) {
    long double re = 0, im = 0;
    for (size_t j = 0; j < n; ++j) {
      const long double angle =
          2.0L * 3.14159265358979323846264338327950288L * static_cast<long double>((j * k) % n) / n;
      re += x[j] * std::cos(angle);
      im += x[j] * std::sin(angle);
    }
    if (k == 0)
      out[0] = static_cast<double>(re);
    else if (k == n / 2)
      out[1] = static_cast<double>(re);
    else {
      out[2 * k] = static_cast<double>(re);
      out[2 * k + 1] = static_cast<double>(im);
    }
  }
  return out;
}

double max_abs_diff(const std::vector<double>& a, const std::vector<double>& b) {
  double m = 0;
  for (size_t i = 0; i < a.size(); ++i) m = std::max(m, std::fabs(a[i] - b[i]));
  return m;
}

// Every test runs with the portable code, the AVX2 kernels and the AVX-512
// ones, as far as the processor has them.
class RealFftKernels : public testing::TestWithParam<int32_t> {
 protected:
  void SetUp() override {
    cap_vector_level(VECTOR_AVX512);
    if (GetParam() > vector_level()) GTEST_SKIP() << "processor lacks these kernels";
    cap_vector_level(static_cast<VectorLevel>(GetParam()));
  }
  void TearDown() override { cap_vector_level(VECTOR_AVX512); }
};

TEST_P(RealFftKernels, ForwardMatchesDirectTransformForEverySize) {
  for (int32_t n = 2; n <= 2048; n *= 2) {
    const std::vector<double> x = random_signal(n, static_cast<uint32_t>(n));
    std::vector<double> a = x;
    Work work(n);
    real_fft(n, 1, a.data(), work.ip.data(), work.w.data());
    const std::vector<double> expected = direct_packed(x);
    EXPECT_LT(max_abs_diff(a, expected), 1e-12 * n) << "n = " << n;
  }
}

TEST_P(RealFftKernels, LargeSizesMatchDirectTransformAtSampledBins) {
  // Full direct DFTs of the resampler's sizes are too slow; check a spread of
  // bins, including both ends and the quarter points where the tables fold.
  for (int32_t n : {4096, 65536, 131072, 262144}) {
    const std::vector<double> x = random_signal(n, 7u + static_cast<uint32_t>(n));
    std::vector<double> a = x;
    Work work(n);
    real_fft(n, 1, a.data(), work.ip.data(), work.w.data());
    const int32_t bins[] = {1,         2,         3,         5,         n / 8 - 1,
                            n / 8,     n / 8 + 1, n / 4 - 1, n / 4,     n / 4 + 1,
                            n / 4 + 2, 3 * n / 8, n / 2 - 2, n / 2 - 1, 1237};
    for (int32_t k : bins) {
      long double re = 0, im = 0;
      for (int32_t j = 0; j < n; ++j) {
        const long double angle = 2.0L * 3.14159265358979323846264338327950288L *
                                  static_cast<long double>((static_cast<int64_t>(j) * k) % n) / n;
        re += x[j] * std::cos(angle);
        im += x[j] * std::sin(angle);
      }
      EXPECT_NEAR(a[2 * k], static_cast<double>(re), 1e-9) << "n " << n << " bin " << k;
      EXPECT_NEAR(a[2 * k + 1], static_cast<double>(im), 1e-9) << "n " << n << " bin " << k;
    }
    double dc = 0, nyquist = 0;
    for (int32_t j = 0; j < n; ++j) {
      dc += x[j];
      nyquist += (j % 2 ? -x[j] : x[j]);
    }
    EXPECT_NEAR(a[0], dc, 1e-9);
    EXPECT_NEAR(a[1], nyquist, 1e-9);
  }
}

TEST_P(RealFftKernels, InverseOfForwardIsInputTimesHalfLength) {
  for (int32_t n = 2; n <= 262144; n *= 2) {
    const std::vector<double> x = random_signal(n, 99u + static_cast<uint32_t>(n));
    std::vector<double> a = x;
    Work work(n);
    real_fft(n, 1, a.data(), work.ip.data(), work.w.data());
    real_fft(n, -1, a.data(), work.ip.data(), work.w.data());
    double worst = 0;
    for (int32_t i = 0; i < n; ++i) worst = std::max(worst, std::fabs(a[i] - x[i] * (n / 2)));
    EXPECT_LT(worst, 1e-13 * n * std::log2(static_cast<double>(n) + 1)) << "n = " << n;
  }
}

TEST_P(RealFftKernels, UnitImpulseHasFlatRealSpectrum) {
  const int32_t n = 1024;
  std::vector<double> a(n, 0.0);
  a[0] = 1.0;
  Work work(n);
  real_fft(n, 1, a.data(), work.ip.data(), work.w.data());
  EXPECT_EQ(a[0], 1.0);
  EXPECT_EQ(a[1], 1.0);
  for (int32_t k = 1; k < n / 2; ++k) {
    EXPECT_DOUBLE_EQ(a[2 * k], 1.0) << k;
    EXPECT_EQ(a[2 * k + 1], 0.0) << k;
  }
}

// Product of two packed spectra: reals at 0 and 1, complex pairs after.
void multiply_packed(std::vector<double>& f, const std::vector<double>& g) {
  f[0] *= g[0];
  f[1] *= g[1];
  for (size_t k = 2; k < f.size(); k += 2) {
    const double re = f[k] * g[k] - f[k + 1] * g[k + 1];
    const double im = f[k] * g[k + 1] + f[k + 1] * g[k];
    f[k] = re;
    f[k + 1] = im;
  }
}

TEST_P(RealFftKernels, ProductOfTransformsGivesCircularConvolution) {
  for (int32_t n : {16, 128, 512, 4096}) {
    const std::vector<double> x = random_signal(n, 5u);
    const std::vector<double> h = random_signal(n, 6u);
    std::vector<double> f = x, g = h;
    Work work(n);
    real_fft(n, 1, f.data(), work.ip.data(), work.w.data());
    real_fft(n, 1, g.data(), work.ip.data(), work.w.data());
    multiply_packed(f, g);
    real_fft(n, -1, f.data(), work.ip.data(), work.w.data());
    double worst = 0;
    for (int32_t i = 0; i < n; ++i) {
      double direct = 0;
      for (int32_t j = 0; j < n; ++j) direct += x[j] * h[(i - j + n) % n];
      worst = std::max(worst, std::fabs(f[i] - direct * (n / 2)));
    }
    EXPECT_LT(worst, 1e-11 * n) << "n = " << n;
  }
}

TEST_P(RealFftKernels, ConvolveMatchesTransformProductInverse) {
  for (int32_t n : {8, 64, 512, 1024, 2048, 8192, 32768, 131072, 262144}) {
    const std::vector<double> x = random_signal(n, 21u + static_cast<uint32_t>(n));
    std::vector<double> f = random_signal(n, 22u + static_cast<uint32_t>(n));
    Work work(n);
    real_fft(n, 1, f.data(), work.ip.data(), work.w.data());  // a filter spectrum
    std::vector<double> expected = x;
    real_fft(n, 1, expected.data(), work.ip.data(), work.w.data());
    multiply_packed(expected, f);
    real_fft(n, -1, expected.data(), work.ip.data(), work.w.data());
    // The filter also in scrambled order, where the size allows it.
    const int32_t scrambled_size = real_fft_scrambled_size(n);
    EXPECT_EQ(scrambled_size > 0, n == 512 || n == 2048 || n == 8192 || n == 32768 || n == 131072)
        << "n = " << n;
    std::vector<double> scrambled(static_cast<size_t>(scrambled_size > 0 ? scrambled_size : 1));
    if (scrambled_size > 0) real_fft_scramble_filter(n, f.data(), scrambled.data());
    const double* s = scrambled_size > 0 ? scrambled.data() : nullptr;
    double scale = 0;
    for (double v : expected) scale = std::max(scale, std::fabs(v));
    for (const double* table : {static_cast<const double*>(nullptr), s}) {
      std::vector<double> got = x;
      real_fft_convolve(n, got.data(), n, f.data(), work.ip.data(), work.w.data(), table);
      EXPECT_LT(max_abs_diff(got, expected), 1e-13 * scale * std::log2(static_cast<double>(n)))
          << "n = " << n << (table ? ", scrambled" : "");
    }

    // Zero padding: what lies past `filled` is taken as zero.
    for (int32_t filled : {n / 2, n / 3, 3 * n / 4}) {
      std::vector<double> padded = x;
      std::fill(padded.begin() + filled, padded.end(), 0.0);
      std::vector<double> want = padded;
      real_fft(n, 1, want.data(), work.ip.data(), work.w.data());
      multiply_packed(want, f);
      real_fft(n, -1, want.data(), work.ip.data(), work.w.data());
      std::vector<double> dirty = x;  // garbage past `filled`
      real_fft_convolve(n, dirty.data(), filled, f.data(), work.ip.data(), work.w.data(), s);
      EXPECT_LT(max_abs_diff(dirty, want), 1e-13 * scale * std::log2(static_cast<double>(n)))
          << "n = " << n << ", filled " << filled;
    }
  }
}

// A filter that is a unit impulse at d delays the signal by d (circularly),
// times n/2, whichever way the filter is stored.
TEST_P(RealFftKernels, ConvolutionWithDelayedImpulseShiftsTheSignal) {
  for (int32_t n : {512, 2048, 131072}) {
    Work work(n);
    const std::vector<double> x = random_signal(n, 31u + static_cast<uint32_t>(n));
    for (int32_t d : {0, 1, 7, n / 2 - 1, n / 2 + 3}) {
      std::vector<double> f(static_cast<size_t>(n), 0.0);
      f[static_cast<size_t>(d)] = 1.0;
      real_fft(n, 1, f.data(), work.ip.data(), work.w.data());
      std::vector<double> scrambled(static_cast<size_t>(real_fft_scrambled_size(n)));
      ASSERT_FALSE(scrambled.empty());
      real_fft_scramble_filter(n, f.data(), scrambled.data());
      std::vector<double> y = x;
      real_fft_convolve(n, y.data(), n, f.data(), work.ip.data(), work.w.data(), scrambled.data());
      double worst = 0;
      for (int32_t i = 0; i < n; ++i)
        worst = std::max(worst, std::fabs(y[i] - x[(i - d + n) % n] * (n / 2)));
      EXPECT_LT(worst, 1e-9 * n) << "n = " << n << ", d = " << d;
    }
  }
}

TEST_P(RealFftKernels, TablesAreBuiltOnceAndServeSmallerSizes) {
  const int32_t n = 131072;
  Work work(n);
  std::vector<double> a = random_signal(n, 11u);
  real_fft(n, 1, a.data(), work.ip.data(), work.w.data());
  EXPECT_EQ(work.ip[0], n / 4);
  EXPECT_EQ(work.ip[1], n / 4);
  // Mark an unused-by-this-check entry: a rebuild would overwrite it.
  const size_t marked = work.w.size() - 3;
  const double original = work.w[marked];
  work.w[marked] = 12345.0;
  a = random_signal(n, 12u);
  real_fft(n, 1, a.data(), work.ip.data(), work.w.data());
  EXPECT_EQ(work.w[marked], 12345.0);
  EXPECT_EQ(work.ip[0], n / 4);
  work.w[marked] = original;

  // Tables built for the larger size serve a smaller one unchanged.
  for (int32_t m : {64, 256, 2048, 16384, 65536}) {
    const std::vector<double> x = random_signal(m, 13u + static_cast<uint32_t>(m));
    std::vector<double> big = x, fresh = x;
    real_fft(m, 1, big.data(), work.ip.data(), work.w.data());
    EXPECT_EQ(work.ip[0], n / 4);
    Work own(m);
    real_fft(m, 1, fresh.data(), own.ip.data(), own.w.data());
    EXPECT_LT(max_abs_diff(big, fresh), 1e-10) << "m = " << m;
    real_fft(m, -1, big.data(), work.ip.data(), work.w.data());
    double worst = 0;
    for (int32_t i = 0; i < m; ++i) worst = std::max(worst, std::fabs(big[i] - x[i] * (m / 2)));
    EXPECT_LT(worst, 1e-9) << "m = " << m;
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, RealFftKernels, testing::Values(0, 1, 2));

}  // namespace
