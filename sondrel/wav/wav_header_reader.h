// Reading the format of a RIFF/WAVE input from the first 210 bytes of the file.
#pragma once
#include <cstdio>

#include "wav/input_file.h"

// Fills the format fields of `file` from the header of the open stream.
// Returns 0 when the header was accepted, 1 after printing why it was refused.
// The file position afterwards is unspecified.
int read_wav_header(FILE* stream, InputFile* file);
