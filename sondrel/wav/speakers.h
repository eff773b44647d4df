// The speaker vocabulary: labels of the WAVE_FORMAT_EXTENSIBLE speaker
// positions, the simple-layout names that stand for some of them, the labels
// read from a channel mask, and the label layouts of compressed and PCM inputs.
#pragma once
#include <cstdint>

#include "wav/input_file.h"

// Label of speaker position 0..17 as used for generic layouts ("FL", "FR",
// "FC", "LFE", "BL", "BR", "FLC", ...); nullptr outside that range.
const char* speaker_position_label(int32_t position);

// Speaker position (0..17) of a label or channel id: the position labels,
// and the simple-layout names "L", "R", "C" (positions 0, 1, 2) and "SL",
// "SR" (4, 5). -1 for anything else, the empty label included.
int32_t speaker_label_position(const char* label);

// True when two labels name the same speaker: they are equal, or one is the
// simple-layout name of the other's position ("L" and "FL", "SR" and "BR").
bool same_speaker(const char* a, const char* b);

// Label of bit `bit` of a WAV's channel mask: the position label, except the
// simple-layout names on small masks (bits 0 and 1 "L" and "R" below 0x12,
// bit 2 "C" below 0x40, bits 4 and 5 "SL" and "SR" unless the mask is 0x33
// or above 0x3F). nullptr beyond bit 17.
const char* mask_bit_label(int32_t bit, uint32_t mask);

// A DTS stream whose extension audio (type 0 or 3) has its own arrangement.
bool has_extension_layout(const InputFile* file);

// Fills the file's label slots from the layout tables. With `use_extension`
// set, a DTS file whose extension audio is of type 0 or 3 is labelled by its
// extension arrangement. Slots beyond the layout stay empty; labels beyond
// the slots are not written.
void assign_speaker_labels(InputFile* file, int32_t use_extension);

// Channel count of a DTS extension arrangement, LFE included.
int32_t extension_channel_count(const InputFile* file);
