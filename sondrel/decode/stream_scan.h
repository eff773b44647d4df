// Scanning AC-3 and DTS streams: decoder creation, the first frame's facts,
// the derived layout, frame totals and playing time.
#pragma once
#include <cstdint>
#include <cstdio>

#include "wav/input_file.h"
#include "wav/job_settings.h"

// What open_stream_decoder does with a file.
enum ScanMode : int32_t {
  SCAN_COLLECT = 1,  // create the decoder, decode the first frame
  SCAN_COUNT = 2     // count every frame (information mode /im)
};

// Returns 0 to go on (also after a reported, non-fatal error), 1 when the run
// must stop. For a PCM WAV it only computes the playing time. A stream in
// which no frame decodes gets channels -1 and a message naming the file
// (corrupt, or E-AC-3 not supported); the job driver skips it.
int open_stream_decoder(FILE* stream, InputFile* file, JobSettings* settings, int32_t mode);

// Releases the program-wide decoder states and the output-format hook (the
// job driver calls it when the run ends, whatever ran).
void release_stream_decoders();

// Reads the stream from sync_offset with the decoder in its slot. Returns 0
// at the end of the stream or, in collect mode, after the first decoded
// frame; -1 when Ctrl-C was pressed.
int stream_read_loop(FILE* stream, InputFile* file, int32_t mode, JobSettings* settings);

// Sets amode from a DTS channel extension found in the first frame.
void probe_dts_extension(FILE* stream, InputFile* file);

// Writes "h:mm:ss.fff" for `seconds` into `text`.
void make_length_text(double seconds, char* text, int32_t size);
