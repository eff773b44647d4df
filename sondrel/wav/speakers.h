// The speaker vocabulary: labels of the WAVE_FORMAT_EXTENSIBLE speaker
// positions and the label layouts of compressed and PCM inputs.
#pragma once
#include <cstdint>

#include "wav/input_file.h"

// Label of speaker position 0..17 as used for generic layouts ("FL", "FR",
// "FC", "LFE", "BL", "BR", "FLC", ...); nullptr outside that range.
const char* speaker_position_label(int32_t position);

// Fills the file's label slots from the layout tables. With `use_extension`
// set, a DTS file whose extension audio is of type 0 or 3 is labelled by its
// extension arrangement. Slots beyond the layout stay empty; labels beyond
// the slots are not written.
void assign_speaker_labels(InputFile* file, int32_t use_extension);

// Channel count of a DTS extension arrangement, LFE included.
int32_t extension_channel_count(const InputFile* file);
