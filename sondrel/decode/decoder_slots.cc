// The program-wide decoder and hook slots and their release.
#include "decode/decoder_slots.h"

#include <cstdlib>

#include "decode/stream_scan.h"

DecoderSlots decoder_slots = {nullptr, nullptr, nullptr};

namespace {

// The slots are also emptied when the process exits some other way.
void register_exit_release() {
  static bool registered = false;
  if (!registered) {
    registered = true;
    std::atexit(release_stream_decoders);
  }
}

}  // namespace

Ac3Decoder* slot_new_ac3() {
  register_exit_release();
  ac3_decoder_release(decoder_slots.ac3);
  decoder_slots.ac3 = ac3_decoder_create();
  return decoder_slots.ac3;
}

DtsDecoder* slot_new_dts() {
  register_exit_release();
  dts_decoder_release(decoder_slots.dts);
  decoder_slots.dts = dts_decoder_create();
  return decoder_slots.dts;
}

FormatHook* slot_new_hook(int32_t kind) {
  register_exit_release();
  format_hook_release(decoder_slots.hook);
  decoder_slots.hook = format_hook_create(kind);
  return decoder_slots.hook;
}

void slot_release_family(int32_t kind) {
  if (is_ac3_family(kind)) {
    ac3_decoder_release(decoder_slots.ac3);
    decoder_slots.ac3 = nullptr;
  } else {
    dts_decoder_release(decoder_slots.dts);
    decoder_slots.dts = nullptr;
  }
}

void release_stream_decoders() {
  ac3_decoder_release(decoder_slots.ac3);
  dts_decoder_release(decoder_slots.dts);
  format_hook_release(decoder_slots.hook);
  decoder_slots = {nullptr, nullptr, nullptr};
}
