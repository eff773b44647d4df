// The program-wide slots: one decoder state per family and the output-format
// hook. Filling a slot releases what it held; the run's end empties them.
#pragma once
#include <cstdint>

#include "decode/ac3_decoder.h"
#include "decode/dts_decoder.h"
#include "decode/format_hook.h"

struct DecoderSlots {
  Ac3Decoder* ac3;
  DtsDecoder* dts;
  FormatHook* hook;
};

extern DecoderSlots decoder_slots;

// Replace the slot's occupant with a new one; nullptr when it could not be
// made (the slot is then empty).
Ac3Decoder* slot_new_ac3();
DtsDecoder* slot_new_dts();
FormatHook* slot_new_hook(int32_t kind);

// Releases the decoder state of the family of `kind`.
void slot_release_family(int32_t kind);
