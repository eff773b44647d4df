// The program-wide pseudo-random generator: state x 214013 + 2531011,
// yielding (state >> 16) & 0x7FFF. It starts at 1 and the program never
// reseeds it.
#pragma once
#include <cstdint>

int32_t runtime_random();
// Sets the state (tests only).
void runtime_random_set_state(uint32_t state);
