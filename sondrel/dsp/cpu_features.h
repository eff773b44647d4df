// The processor's vector instructions: asked once, here and nowhere else, and
// turned into the level of vector kernels that may run. The real FFT and the
// resampler's polyphase filter pick their kernels by this level.
#pragma once
#include <cstdint>

enum VectorLevel : int32_t {
  VECTOR_PORTABLE = 0,  // plain x86-64 code
  VECTOR_AVX2 = 1,      // AVX2 and FMA
  VECTOR_AVX512 = 2,    // AVX-512 F and DQ as well
};

// The level the kernels run at: the best the processor has, unless capped.
VectorLevel vector_level();

// Caps the level (tests run every level the processor has this way);
// VECTOR_AVX512 lifts the cap.
void cap_vector_level(VectorLevel cap);
