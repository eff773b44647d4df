// Defaults of the settings record, and its output-name buffers.
#include "wav/job_settings.h"

#include <cstdlib>
#include <cstring>

void init_job_settings(JobSettings* s) {
  std::memset(s, 0, sizeof *s);
  s->out_bits = 32;
  s->out_float = 1;
  s->noise_amplitude = 0.18;
  s->group_limit = 18;
}

int alloc_out_names(JobSettings* s, int32_t count) {
  free_out_names(s);
  if (count <= 0) return 0;
  char** names = static_cast<char**>(std::calloc(static_cast<size_t>(count), sizeof(char*)));
  if (!names) return 1;
  for (int32_t i = 0; i < count; ++i) {
    names[i] = static_cast<char*>(std::calloc(OUT_NAME_CAPACITY, 1));
    if (!names[i]) {
      for (int32_t k = 0; k < i; ++k) std::free(names[k]);
      std::free(names);
      return 1;
    }
  }
  s->out_names = names;
  s->out_name_slots = count;
  return 0;
}

void free_out_names(JobSettings* s) {
  if (s->out_names) {
    for (int32_t i = 0; i < s->out_name_slots; ++i) std::free(s->out_names[i]);
    std::free(s->out_names);
  }
  s->out_names = nullptr;
  s->out_name_slots = 0;
}
