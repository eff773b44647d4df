// Recognising AC-3 or DTS streams carried in a 16-bit stereo 44100 Hz WAV.
#pragma once
#include <cstdint>
#include <cstdio>

#include "wav/input_file.h"

// Searches the first 100000 bytes of the file's data for confirmed sync words
// and returns the WAV's kind: 0 (plain PCM), 1 (DTS) or 5 (AC-3). Sets
// sync_offset, word_bits, burst_spacing and burst_count.
int32_t sniff_wav_payload(FILE* stream, InputFile* file);
