// levelprobe's one routine: reads the first audio stream of a media file
// and prints the gain that brings its peak to full scale.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

// Runs the program for `argv`; all text goes to `out`. Returns the exit status.
int level_probe_main(int argc, char** argv, FILE* out);

// The largest of `peak` and the magnitudes of `count` values; -32768 has
// magnitude 32768.
int32_t scan_peak(const int16_t* values, size_t count, int32_t peak);
