// The speaker vocabulary: position labels of the channel mask and the
// simple-layout names that stand for some positions, the label layouts of
// decoded streams (keyed by channel count, LFE and arrangement code) and of
// PCM WAVs (keyed by channel count and mask), and the rule that picks one of
// them for an input.
#include "wav/speakers.h"

#include <cstring>

namespace {

constexpr int32_t POSITION_COUNT = 18;

const char* const position_labels[POSITION_COUNT] = {
    "FL",  "FR", "FC", "LFE", "BL",  "BR",  "FLC", "FRC", "BC",
    "LS",  "RS", "TC", "TFL", "TFC", "TFR", "TBL", "TBC", "TBR"};

// Names of simple layouts (stereo, 3.0, 5.0 with side speakers) for the
// positions they stand on.
struct SimpleName {
  const char* label;
  int32_t position;
};
const SimpleName simple_names[] = {{"L", 0}, {"R", 1}, {"C", 2}, {"SL", 4}, {"SR", 5}};

// One row of a layout table. `lfe` and `key` of -1 match anything.
struct LayoutRow {
  int32_t channels;
  int32_t lfe;       // compressed table: has_lfe; PCM table: unused (-1)
  int64_t key;       // compressed: arrangement code; PCM: channel mask
  const char* labels[9];
};

const LayoutRow compressed_layouts[] = {
    {1, -1, -1, {"C"}},
    {2, 1, -1, {"C", "LFE"}},
    {2, 0, -1, {"L", "R"}},
    {3, 1, -1, {"L", "R", "LFE"}},
    {3, 0, 5, {"L", "R", "C"}},
    {3, 0, 6, {"L", "R", "BC"}},
    {4, 1, 5, {"L", "R", "C", "LFE"}},
    {4, 1, 6, {"L", "R", "LFE", "BC"}},
    {4, 0, 7, {"FL", "FR", "FC", "BC"}},
    {4, 0, 8, {"FL", "FR", "BL", "BR"}},
    {5, 1, 7, {"FL", "FR", "FC", "BC", "LFE"}},
    {5, 1, 8, {"FL", "FR", "LFE", "BL", "BR"}},
    {5, 0, 9, {"FL", "FR", "C", "SL", "SR"}},
    {6, 1, -1, {"FL", "FR", "C", "LFE", "SL", "SR"}},
    {6, 0, 10, {"FL", "FR", "FLC", "FRC", "BL", "BR"}},
    {6, 0, 11, {"FL", "FR", "FC", "TC", "BL", "BR"}},
    {6, 0, 12, {"FL", "FR", "FC", "BC", "BL", "BR"}},
    {7, 1, 10, {"FL", "FR", "FLC", "FRC", "BL", "BR", "LFE"}},
    {7, 1, 11, {"FL", "FR", "FC", "TC", "BL", "BR", "LFE"}},
    {7, 1, 12, {"FL", "FR", "FC", "BC", "BL", "BR", "LFE"}},
    {7, 0, 13, {"FL", "FR", "FC", "FLC", "FRC", "BL", "BR"}},
    {8, 1, -1, {"FL", "FR", "FC", "FLC", "FRC", "BL", "BR", "LFE"}},
    {8, 0, 14, {"FL", "FR", "FLC", "FRC", "TFL", "TFR", "TBL", "TBR"}},
    {8, 0, 15, {"FL", "FR", "FC", "BC", "BL", "BR", "FLC", "FRC"}},
    {9, 1, 14, {"FL", "FR", "FLC", "FRC", "TFL", "TFR", "TBL", "TBR", "LFE"}},
    {9, 1, 15, {"FL", "FR", "FC", "BC", "BL", "BR", "FLC", "FRC", "LFE"}},
};

// Rows with a specific mask come before the "other" row of their count.
const LayoutRow pcm_layouts[] = {
    {2, -1, -1, {"L", "R"}},
    {3, -1, 0xB, {"L", "R", "LFE"}},
    {3, -1, 0x103, {"L", "R", "BC"}},
    {3, -1, -1, {"L", "R", "C"}},
    {4, -1, 0x10B, {"L", "R", "LFE", "BC"}},
    {4, -1, 0xF, {"L", "R", "C", "LFE"}},
    {4, -1, -1, {"FL", "FR", "BL", "BR"}},
    {5, -1, 0x133, {"FL", "FR", "BL", "BR", "BC"}},
    {5, -1, 0x10F, {"FL", "FR", "C", "LFE", "BC"}},
    {5, -1, 0x3B, {"FL", "FR", "LFE", "SL", "SR"}},
    {5, -1, -1, {"FL", "FR", "C", "SL", "SR"}},
    {6, -1, 0x137, {"FL", "FR", "FC", "BL", "BR", "BC"}},
    {6, -1, -1, {"FL", "FR", "C", "LFE", "SL", "SR"}},
    {7, -1, 0xFF, {"FL", "FR", "FLC", "FRC", "LFE", "BL", "BR"}},
    {7, -1, -1, {"FL", "FR", "FC", "LFE", "BL", "BR", "FLC"}},
};

// Wide PCM layouts: the first N labels of one of these lists.
const char* const pcm_wide_10[10] = {"FL", "FR", "FC", "LFE", "BL", "BR", "FLC", "FRC", "BC", "LS"};
const char* const pcm_wide_18[18] = {"FL",  "FR", "FC", "LFE", "SL",  "SR",  "FLC", "FRC", "BC",
                                     "LS",  "RS", "TC", "TFL", "TFC", "TFR", "TBL", "TBC", "TBR"};

bool matches(int64_t want, int64_t have) { return want < 0 || want == have; }

// Copies `count` labels into the file's slots, as many as there are slots.
void write_labels(InputFile* file, const char* const* labels, int32_t count) {
  for (int32_t slot = 0; slot < count && slot < file->channel_slots; ++slot) {
    if (!labels[slot] || !file->channel_names[slot]) continue;
    std::strncpy(file->channel_names[slot], labels[slot], LABEL_CAPACITY - 1);
    file->channel_names[slot][LABEL_CAPACITY - 1] = '\0';
  }
}

int32_t row_length(const LayoutRow& row) {
  int32_t n = 0;
  while (n < 9 && row.labels[n]) ++n;
  return n;
}

const LayoutRow* find_row(const LayoutRow* rows, size_t row_count, int32_t channels, int32_t lfe,
                          int64_t key) {
  for (size_t i = 0; i < row_count; ++i) {
    const LayoutRow& row = rows[i];
    if (row.channels == channels && matches(row.lfe, lfe) && matches(row.key, key)) return &row;
  }
  return nullptr;
}

}  // namespace

const char* speaker_position_label(int32_t position) {
  if (position < 0 || position >= POSITION_COUNT) return nullptr;
  return position_labels[position];
}

int32_t speaker_label_position(const char* label) {
  if (!label || !label[0]) return -1;
  for (const SimpleName& simple : simple_names)
    if (!std::strcmp(label, simple.label)) return simple.position;
  for (int32_t p = 0; p < POSITION_COUNT; ++p)
    if (!std::strcmp(label, position_labels[p])) return p;
  return -1;
}

bool same_speaker(const char* a, const char* b) {
  if (!std::strcmp(a, b)) return true;
  const int32_t position = speaker_label_position(a);
  return position >= 0 && position == speaker_label_position(b);
}

const char* mask_bit_label(int32_t bit, uint32_t mask) {
  bool simple = false;
  switch (bit) {
    case 0: case 1: simple = mask < 0x12; break;
    case 2: simple = mask < 0x40; break;
    case 4: case 5: simple = !(mask == 0x33 || mask > 0x3F); break;
    default: break;
  }
  if (simple)
    for (const SimpleName& name : simple_names)
      if (name.position == bit) return name.label;
  return speaker_position_label(bit);
}

bool has_extension_layout(const InputFile* file) {
  return is_dts_family(file->kind) && file->ext_audio == 1 &&
         (file->ext_audio_id == 0 || file->ext_audio_id == 3);
}

int32_t extension_channel_count(const InputFile* file) {
  int32_t count = file->channels;
  if (file->amode >= 10 && file->amode <= 12) count = 6;
  else if (file->amode == 13) count = 7;
  else if (file->amode == 14 || file->amode == 15) count = 8;
  if (file->has_lfe == 1) ++count;
  return count;
}

void assign_speaker_labels(InputFile* file, int32_t use_extension) {
  if (!file->channel_names) return;
  for (int32_t slot = 0; slot < file->channel_slots; ++slot)
    if (file->channel_names[slot]) file->channel_names[slot][0] = '\0';

  if (is_compressed(file->kind)) {
    int32_t channels = file->channels;
    int32_t code = file->out_flags;
    if (use_extension && has_extension_layout(file)) {
      channels = extension_channel_count(file);
      code = file->amode;
    }
    const LayoutRow* row =
        find_row(compressed_layouts, sizeof compressed_layouts / sizeof compressed_layouts[0],
                 channels, file->has_lfe ? 1 : 0, code);
    if (row) write_labels(file, row->labels, row_length(*row));
    return;
  }

  const int32_t channels = file->channels;
  if (channels >= 8 && channels <= 10) {
    write_labels(file, pcm_wide_10, channels);
    return;
  }
  if (channels >= 11 && channels <= 18) {
    write_labels(file, pcm_wide_18, channels);
    return;
  }
  const LayoutRow* row = find_row(pcm_layouts, sizeof pcm_layouts / sizeof pcm_layouts[0],
                                  channels, -1, static_cast<int64_t>(file->channel_mask));
  if (row) write_labels(file, row->labels, row_length(*row));
}
