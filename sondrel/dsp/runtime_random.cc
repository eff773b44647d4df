// The program-wide pseudo-random generator used for dither noise. One state
// for the whole run, starting at 1 and never reseeded, so every job that
// builds a noise table continues the same sequence.
#include "dsp/runtime_random.h"

static uint32_t random_state = 1;

int32_t runtime_random() {
  random_state = random_state * 214013u + 2531011u;
  return static_cast<int32_t>((random_state >> 16) & 0x7FFF);
}

void runtime_random_set_state(uint32_t state) { random_state = state; }
