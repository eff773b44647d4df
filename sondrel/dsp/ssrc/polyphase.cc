// Portable polyphase kernel, and the choice of the vector one.
#include "dsp/ssrc/polyphase.h"

#include "dsp/real_fft.h"

void polyphase_run_avx512(const PolyphaseRows& rows, const int32_t* order, const int32_t* inc,
                          int32_t steps, int32_t phase, const double* x, int32_t pos, int32_t count,
                          double* out, int32_t out_step);
void polyphase_run_avx2(const PolyphaseRows& rows, const int32_t* order, const int32_t* inc,
                        int32_t steps, int32_t phase, const double* x, int32_t pos, int32_t count,
                        double* out, int32_t out_step);

void polyphase_run(const PolyphaseRows& rows, const int32_t* order, const int32_t* inc,
                   int32_t steps, int32_t phase, const double* x, int32_t pos, int32_t count,
                   double* out, int32_t out_step) {
  if (real_fft_kernel_level() >= 2) {  // AVX-512 present
    polyphase_run_avx512(rows, order, inc, steps, phase, x, pos, count, out, out_step);
    return;
  }
  if (real_fft_kernel_level() >= 1) {  // AVX2 and FMA present
    polyphase_run_avx2(rows, order, inc, steps, phase, x, pos, count, out, out_step);
    return;
  }
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
