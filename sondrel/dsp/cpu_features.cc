// The processor's vector instructions and the kernel level they allow.
#include "dsp/cpu_features.h"

namespace {

VectorLevel present_level() {
  if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("fma")) return VECTOR_PORTABLE;
  if (!__builtin_cpu_supports("avx512f") || !__builtin_cpu_supports("avx512dq")) return VECTOR_AVX2;
  return VECTOR_AVX512;
}

VectorLevel level_cap = VECTOR_AVX512;

}  // namespace

VectorLevel vector_level() {
  static const VectorLevel present = present_level();
  return present < level_cap ? present : level_cap;
}

void cap_vector_level(VectorLevel cap) { level_cap = cap; }
