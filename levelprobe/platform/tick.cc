// The tick counter: CLOCK_MONOTONIC in milliseconds, truncated to 32 bits.
#include "platform/tick.h"

#include <ctime>

static uint32_t (*tick_source)() = nullptr;

uint32_t platform_tick_ms() {
  if (tick_source) return tick_source();
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

void platform_set_tick_source(uint32_t (*source)()) { tick_source = source; }
