// Defaults of the settings record, and its output-name buffers.
#include "wav/job_settings.h"

#include <cstdlib>
#include <cstring>

#include "wav/name_slots.h"

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
  char** names = alloc_name_slots(count, OUT_NAME_CAPACITY);
  if (!names) return 1;
  s->out_names = names;
  s->out_name_slots = count;
  return 0;
}

void free_out_names(JobSettings* s) {
  std::free(s->out_names);
  s->out_names = nullptr;
  s->out_name_slots = 0;
}
