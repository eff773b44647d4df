// The "File Information" report of information mode.
#pragma once
#include <cstdint>

#include "wav/input_file.h"

// mode 1: stream length calculated from the first frame; 2: measured.
void print_file_info(InputFile* file, int32_t index, int32_t mode);
