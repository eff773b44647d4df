// AVX-512 polyphase kernel: the step pattern repeats every `steps` outputs
// and moves the input by the same amount each period, so outputs k, k + P,
// ..., k + 7P (P = steps) use the same filter row on inputs one period
// apart. A small table holding, for each input offset, the eight inputs a
// period apart lets one vector multiply-add serve eight outputs per tap.
// Only whole runs of eight periods are done here.
#include <immintrin.h>

#include "dsp/ssrc/polyphase.h"

namespace {
constexpr int32_t LANES = 8;
constexpr int32_t MAX_SPAN = 1024;  // input offsets one period may need
}  // namespace

int32_t polyphase_periods_avx512(const PolyphaseRows& rows, const int32_t* order,
                                 const int32_t* inc, int32_t steps, int32_t phase,
                                 const double* x, int32_t* position, int32_t count, double* out,
                                 int32_t out_step) {
  int32_t pos = *position;
  // Input advance over one period, and the furthest offset a step of it
  // starts at: the table then reaches no input that the outputs do not use.
  int32_t period_advance = 0, last_offset = 0;
  for (int32_t s = 0, p = phase; s < steps; ++s) {
    last_offset = period_advance;
    period_advance += inc[p];
    if (++p == steps) p = 0;
  }
  const int32_t span = last_offset + rows.taps_used;
  const int64_t chunk = static_cast<int64_t>(LANES) * steps;
  int32_t k = 0;
  // Worth it when the table costs little next to the period's products.
  if (span <= MAX_SPAN && span <= 4 * steps) {
    alignas(64) double lanes[MAX_SPAN * LANES];
    alignas(64) double sums[LANES];
    const __m512i lane_offsets = _mm512_set_epi64(7, 6, 5, 4, 3, 2, 1, 0);
    const __m512i stride_vec = _mm512_mullo_epi64(lane_offsets, _mm512_set1_epi64(period_advance));
    for (; k + chunk <= count; k += static_cast<int32_t>(chunk)) {
      // lanes[i][t] = x[pos + i + t * period_advance]
      for (int32_t i = 0; i < span; ++i)
        _mm512_store_pd(lanes + LANES * i, _mm512_mask_i64gather_pd(_mm512_setzero_pd(), 0xFF,
                                                                    stride_vec, x + pos + i, 8));
      int32_t offset = 0, p = phase;
      for (int32_t s = 0; s < steps; ++s) {
        const double* row = rows.taps + static_cast<int64_t>(order[p]) * rows.stride;
        const double* in = lanes + LANES * offset;
        __m512d acc = _mm512_mul_pd(_mm512_set1_pd(row[0]), _mm512_load_pd(in));
        for (int32_t t = 1; t < rows.taps_used; ++t)
          acc = _mm512_fmadd_pd(_mm512_set1_pd(row[t]), _mm512_load_pd(in + LANES * t), acc);
        _mm512_store_pd(sums, acc);
        double* o = out + static_cast<int64_t>(k + s) * out_step;
        const int64_t lane_step = static_cast<int64_t>(steps) * out_step;
        for (int32_t t = 0; t < LANES; ++t) o[t * lane_step] = sums[t];
        offset += inc[p];
        if (++p == steps) p = 0;
      }
      pos += LANES * period_advance;
    }
  }
  *position = pos;
  return k;
}
