// AVX2/FMA polyphase kernel: four outputs at a time, each dot product four
// taps a step, the four sums reduced together.
#include <immintrin.h>

#include "dsp/ssrc/polyphase.h"

void polyphase_run_avx2(const PolyphaseRows& rows, const int32_t* order, const int32_t* inc,
                        int32_t steps, int32_t phase, const double* x, int32_t pos, int32_t count,
                        double* out, int32_t out_step) {
  const int32_t stride = rows.stride;
  int32_t k = 0;
  for (; k + 4 <= count; k += 4) {
    const double* r[4];
    const double* in[4];
    for (int32_t q = 0; q < 4; ++q) {
      r[q] = rows.taps + static_cast<int64_t>(order[phase]) * stride;
      in[q] = x + pos;
      pos += inc[phase];
      if (++phase == steps) phase = 0;
    }
    __m256d acc0 = _mm256_setzero_pd(), acc1 = _mm256_setzero_pd();
    __m256d acc2 = _mm256_setzero_pd(), acc3 = _mm256_setzero_pd();
    for (int32_t t = 0; t < stride; t += 4) {
      acc0 = _mm256_fmadd_pd(_mm256_loadu_pd(r[0] + t), _mm256_loadu_pd(in[0] + t), acc0);
      acc1 = _mm256_fmadd_pd(_mm256_loadu_pd(r[1] + t), _mm256_loadu_pd(in[1] + t), acc1);
      acc2 = _mm256_fmadd_pd(_mm256_loadu_pd(r[2] + t), _mm256_loadu_pd(in[2] + t), acc2);
      acc3 = _mm256_fmadd_pd(_mm256_loadu_pd(r[3] + t), _mm256_loadu_pd(in[3] + t), acc3);
    }
    const __m256d h01 = _mm256_hadd_pd(acc0, acc1);
    const __m256d h23 = _mm256_hadd_pd(acc2, acc3);
    const __m256d sums = _mm256_add_pd(_mm256_permute2f128_pd(h01, h23, 0x20),
                                       _mm256_permute2f128_pd(h01, h23, 0x31));
    if (out_step == 1) {
      _mm256_storeu_pd(out + k, sums);
    } else {
      alignas(32) double s[4];
      _mm256_store_pd(s, sums);
      for (int32_t q = 0; q < 4; ++q) out[static_cast<int64_t>(k + q) * out_step] = s[q];
    }
  }
  for (; k < count; ++k) {
    const double* row = rows.taps + static_cast<int64_t>(order[phase]) * stride;
    const double* in = x + pos;
    double sum = 0.0;
    for (int32_t t = 0; t < stride; ++t) sum += row[t] * in[t];
    out[static_cast<int64_t>(k) * out_step] = sum;
    pos += inc[phase];
    if (++phase == steps) phase = 0;
  }
}
