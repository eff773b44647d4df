// Reset and label-slot management of the input-file record.
#include "wav/input_file.h"

#include <cstdlib>
#include <cstring>

#include "wav/name_slots.h"

void init_input_file(InputFile* file) {
  file->length_seconds = 0.0;
  file->bits = 0;
  file->is_float = 0;
  file->channels = -1;
  file->sample_rate = 0;
  file->channel_mask = 0;
  std::strcpy(file->length_text, "0:00:00.000");
  file->bit_rate = 0.0;
  file->channel_names = nullptr;
  file->channel_slots = 0;
  file->data_offset = 0;
  file->fmt_size = 0;
  file->frame_count = 0;
  file->data_size = 0;
  file->stream_flags = 0;
  file->frame_size = 0;
  file->burst_count = 0;
  file->sync_offset = 0;
  file->has_lfe = 0;
  file->out_flags = 0;
  file->amode = 0;
  file->ext_audio = 0;
  file->ext_audio_id = 0;
  file->word_bits = 0;
}

int alloc_channel_names(InputFile* file, int32_t count) {
  free_channel_names(file);
  if (count <= 0) return 0;
  char** names = alloc_name_slots(count, LABEL_CAPACITY);
  if (!names) return 1;
  file->channel_names = names;
  file->channel_slots = count;
  return 0;
}

void free_channel_names(InputFile* file) {
  std::free(file->channel_names);
  file->channel_names = nullptr;
  file->channel_slots = 0;
}
