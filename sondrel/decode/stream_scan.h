// Scanning AC-3 and DTS streams: decoder creation, the first frame's facts,
// the derived layout, frame totals and playing time.
#pragma once
#include <cstdint>
#include <cstdio>

#include "wav/input_file.h"
#include "wav/job_settings.h"

constexpr int32_t SCAN_COLLECT = 1;  // create the decoder, decode the first frame
constexpr int32_t SCAN_COUNT = 2;    // count every frame (information mode /im)

// Returns 0 to go on (also after a reported, non-fatal error), 1 when the run
// must stop. For a PCM WAV it only computes the playing time.
int open_stream_decoder(FILE* stream, InputFile* file, JobSettings* settings, int32_t mode);

// Releases the program-wide decoder states and the output-format hook (the
// job driver calls it when the run ends, whatever ran).
void release_stream_decoders();
