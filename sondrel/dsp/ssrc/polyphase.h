// The polyphase FIR kernel shared by both directions of the resampler: per
// output step a filter row (by the step's order) dotted with consecutive
// input values, the input position advancing by the step's increment.
#pragma once
#include <cstdint>

// Filter rows padded with zeros to a multiple of four taps, one after the
// other (row r starts at r x stride).
struct PolyphaseRows {
  const double* taps;
  int32_t stride;
  int32_t taps_used;  // taps of the filter before the padding
};

// out[k x out_step] = sum_t rows[order[phase_k]][t] x x[pos_k + t] for
// k < count, where phase_k runs from `phase` through the `steps` entries of
// order/inc and pos_k from `pos` by inc. x must be readable up to the last
// position plus the row stride (padding reads meet zero taps).
void polyphase_run(const PolyphaseRows& rows, const int32_t* order, const int32_t* inc,
                   int32_t steps, int32_t phase, const double* x, int32_t pos, int32_t count,
                   double* out, int32_t out_step);

// The kernels polyphase_run chooses from, one file each, as the processor
// allows. The AVX2 kernel computes four outputs at a time, the portable one
// one. The AVX-512 one computes whole runs of eight periods (8 x steps
// outputs) while a period reads few enough inputs, and returns how many
// outputs it wrote, with *pos moved past their inputs (the step is back at
// `phase`); the AVX2 kernel does the rest.
void polyphase_run_portable(const PolyphaseRows& rows, const int32_t* order, const int32_t* inc,
                            int32_t steps, int32_t phase, const double* x, int32_t pos,
                            int32_t count, double* out, int32_t out_step);
void polyphase_run_avx2(const PolyphaseRows& rows, const int32_t* order, const int32_t* inc,
                        int32_t steps, int32_t phase, const double* x, int32_t pos, int32_t count,
                        double* out, int32_t out_step);
int32_t polyphase_periods_avx512(const PolyphaseRows& rows, const int32_t* order,
                                 const int32_t* inc, int32_t steps, int32_t phase,
                                 const double* x, int32_t* pos, int32_t count, double* out,
                                 int32_t out_step);
