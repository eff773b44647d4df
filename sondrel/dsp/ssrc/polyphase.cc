// The portable polyphase kernel, and the choice of kernel by the vector
// level the processor allows.
#include "dsp/ssrc/polyphase.h"

#include "dsp/cpu_features.h"

void polyphase_run(const PolyphaseRows& rows, const int32_t* order, const int32_t* inc,
                   int32_t steps, int32_t phase, const double* x, int32_t pos, int32_t count,
                   double* out, int32_t out_step) {
  switch (vector_level()) {
    case VECTOR_AVX512: {
      const int32_t done =
          polyphase_periods_avx512(rows, order, inc, steps, phase, x, &pos, count, out, out_step);
      polyphase_run_avx2(rows, order, inc, steps, phase, x, pos, count - done,
                         out + static_cast<int64_t>(done) * out_step, out_step);
      return;
    }
    case VECTOR_AVX2:
      polyphase_run_avx2(rows, order, inc, steps, phase, x, pos, count, out, out_step);
      return;
    default:
      polyphase_run_portable(rows, order, inc, steps, phase, x, pos, count, out, out_step);
      return;
  }
}

void polyphase_run_portable(const PolyphaseRows& rows, const int32_t* order, const int32_t* inc,
                            int32_t steps, int32_t phase, const double* x, int32_t pos,
                            int32_t count, double* out, int32_t out_step) {
  for (int32_t k = 0; k < count; ++k) {
    const double* row = rows.taps + static_cast<int64_t>(order[phase]) * rows.stride;
    const double* in = x + pos;
    double sum = 0.0;
    for (int32_t t = 0; t < rows.stride; ++t) sum += row[t] * in[t];
    out[static_cast<int64_t>(k) * out_step] = sum;
    pos += inc[phase];
    if (++phase == steps) phase = 0;
  }
}
