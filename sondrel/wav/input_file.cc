// Reset and label-slot management of the input-file record.
#include "wav/input_file.h"

#include <cstdlib>
#include <cstring>

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
  // One block: the slot pointers, then the labels they point at.
  const size_t slots = static_cast<size_t>(count);
  char* block = static_cast<char*>(std::calloc(slots, sizeof(char*) + LABEL_CAPACITY));
  if (!block) return 1;
  char** names = reinterpret_cast<char**>(block);
  char* labels = block + slots * sizeof(char*);
  for (size_t i = 0; i < slots; ++i) names[i] = labels + i * LABEL_CAPACITY;
  file->channel_names = names;
  file->channel_slots = count;
  return 0;
}

void free_channel_names(InputFile* file) {
  std::free(file->channel_names);
  file->channel_names = nullptr;
  file->channel_slots = 0;
}
