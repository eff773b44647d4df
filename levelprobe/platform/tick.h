// A millisecond tick counter from the monotonic wall clock, 32 bits wide
// (it wraps), with a replaceable source for tests.
#pragma once
#include <cstdint>

uint32_t platform_tick_ms();
// Replaces the tick source; nullptr restores the wall clock.
void platform_set_tick_source(uint32_t (*source)());
