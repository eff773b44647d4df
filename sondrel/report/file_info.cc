// The "File Information" report of information mode: container, channels,
// sample format, bit rate, length, frame facts and speaker layout of one
// input, on standard error.
#include "report/file_info.h"

#include <cinttypes>
#include <cstdio>

#include "report/digits.h"
#include "report/speaker_mask.h"
#include "report/stream_notes.h"
#include "wav/speakers.h"

namespace {

constexpr size_t NUMBER_TEXT = 64;
constexpr size_t LIST_TEXT = 128;

// Grouped decimal text of an unsigned 64-bit count.
const char* grouped(uint64_t value, char* out) {
  char plain[NUMBER_TEXT];
  std::snprintf(plain, sizeof plain, "%" PRIu64, value);
  return group_digits(plain, out, NUMBER_TEXT);
}

const char* grouped_fixed(const char* format, double value, char* out) {
  char plain[NUMBER_TEXT];
  std::snprintf(plain, sizeof plain, format, value);
  return group_digits(plain, out, NUMBER_TEXT);
}

// The channel count shown for the stream (the extension's, or one more for
// a matrixed Surround EX channel).
int32_t displayed_channels(const InputFile* file) {
  if (has_extension_layout(file)) return extension_channel_count(file);
  if (is_ac3_family(file->kind) && file->ext_audio == 2) return file->channels + 1;
  return file->channels;
}

void print_header(const InputFile* file, int32_t mode) {
  if (file->kind == KIND_PCM_WAV) {
    std::fprintf(stderr, "\nFile Information: %s\n", file->display_name);
  } else if (mode == 1) {
    std::fprintf(stderr, "\nFile Information (length calculated): %s\n", file->display_name);
  } else {
    std::fprintf(stderr, "%72s\nFile Information (length measured): %s\n", "",
                 file->display_name);
  }
  std::fputs(SEPARATOR_LINE, stderr);
}

void print_type_and_channels(const InputFile* file, int32_t shown) {
  const int32_t lfe = file->has_lfe;
  char channels_text[96];
  if (file->kind == KIND_PCM_WAV) {
    std::snprintf(channels_text, sizeof channels_text, "channels      : %d", file->channels);
  } else if (file->ext_audio < 1) {
    std::snprintf(channels_text, sizeof channels_text, "channels      : %d [%d.%d]", shown,
                  shown - lfe, lfe);
  } else if (file->ext_audio_id == 0 || file->ext_audio_id == 3 || is_ac3_family(file->kind)) {
    std::snprintf(channels_text, sizeof channels_text, "channels      : %d [%d.%d] (decode)",
                  file->channels, file->channels - lfe, lfe);
  } else {
    std::snprintf(channels_text, sizeof channels_text, "channels      : %d [%d.%d]", shown,
                  shown - lfe, lfe);
  }

  const ExtensionNote note = extension_note(file);
  if (file->kind == KIND_PCM_WAV) {
    std::fprintf(stderr, "filetype      : %s%s\n", kind_names(file).report,
                 file->fmt_size == 16 ? " (PCM Wave Format)" : " (Extensible Wave Format)");
    std::fprintf(stderr, "%s\n", channels_text);
  } else if (!note.info_suffix) {
    std::fprintf(stderr, "filetype      : %s\n", kind_names(file).report);
    std::fprintf(stderr, "%s\n", channels_text);
  } else {
    std::fprintf(stderr, "filetype      : %s %s\n", kind_names(file).report, note.info_suffix);
    if (shown != file->channels) {
      std::fprintf(stderr, "channels      : %d [%d.%d] (%s)\n", shown, shown - lfe, lfe,
                   is_ac3_family(file->kind) ? "matrix" : "actual");
      std::fprintf(stderr, "%s %s\n", channels_text, note.info_note);
    } else {
      std::fprintf(stderr, "%s\n", channels_text);
    }
  }
}

void print_sample_format(const InputFile* file) {
  char number[NUMBER_TEXT];
  const bool raw_dts = file->kind == KIND_DTS || file->kind == KIND_CPT;
  if (raw_dts && file->ext_audio == 1 && file->ext_audio_id > 1) {
    const ExtensionNote note = extension_note(file);
    std::fprintf(stderr, "bit depth     : 24 bit integer\n");
    std::fprintf(stderr, "sample rate   : %s Hz (actual)\n", "96,000");
    std::fprintf(stderr, "sample rate   : %s Hz (decode) %s\n",
                 grouped(static_cast<uint64_t>(file->sample_rate), number),
                 note.info_note ? note.info_note : "");
    return;
  }
  std::fprintf(stderr, "bit depth     : %d%s", file->bits,
               file->is_float == 1 ? " bit floating point\n" : " bit integer\n");
  std::fprintf(stderr, "sample rate   : %s Hz\n",
               grouped(static_cast<uint64_t>(file->sample_rate), number));
}

void print_pcm_details(InputFile* file) {
  char number[NUMBER_TEXT];
  char row[SPEAKER_ROW_CAPACITY];
  char list[LIST_TEXT];
  if (file->channel_mask != 0) {
    speaker_mask_bits(file->channel_mask, row);
    const int32_t labelled = labels_from_mask(file, row);
    label_list(file, labelled, list, sizeof list);
  }
  std::fprintf(stderr, "length (samp) : %s samples\n", grouped(file->frame_count, number));
  std::fprintf(stderr, "wav data begin: %d bytes\n", file->data_offset);
  std::fprintf(stderr, "wav data chunk: %s bytes\n", grouped(file->data_size, number));
  if (file->channel_mask == 0) {
    std::fprintf(stderr, "speaker flags : n/a\n");
  } else {
    std::fprintf(stderr, "speaker flags : %u, [0x%.2x], [%s], %s\n", file->channel_mask,
                 file->channel_mask, row, list);
  }
}

void print_stream_details(InputFile* file, int32_t mode, const char* length_label,
                          int32_t shown) {
  char number[NUMBER_TEXT];
  char list[LIST_TEXT];
  std::fprintf(stderr, "length %s: %s samples\n", mode == 2 ? "(samps)" : length_label,
               grouped(file->frame_count, number));
  label_list(file, shown, list, sizeof list);
  std::fprintf(stderr, "frames %s: %s\n", mode == 2 ? "       " : length_label,
               grouped(static_cast<uint64_t>(file->burst_count), number));
  std::fprintf(stderr, "framesize     : %s bytes\n",
               grouped(static_cast<uint64_t>(file->frame_size), number));
  std::fprintf(stderr, "sync interval : %s bytes\n",
               grouped(static_cast<uint64_t>(file->burst_spacing), number));
  if (file->kind == KIND_DTS_WAV || file->kind == KIND_AC3_WAV) {
    std::fprintf(stderr, "wav data begin: %d bytes\n", file->data_offset);
    std::fprintf(stderr, "wav data chunk: %s bytes\n", grouped(file->data_size, number));
  }
  if (is_ac3_family(file->kind)) {
    std::fprintf(stderr, "acmod         : %d %s (multich wav compatible)\n", file->out_flags,
                 list);
    return;
  }
  std::fprintf(stderr, "sync word fmt : %d bit\n", file->word_bits);
  if (has_extension_layout(file)) {
    std::fprintf(stderr, "amode (actual): %d %s (multich wav compatible)\n", file->amode, list);
    assign_speaker_labels(file, 0);
    label_list(file, file->channels, list, sizeof list);
    std::fprintf(stderr, "amode (decode): %d %s (multich wav compatible)\n", file->out_flags,
                 list);
  } else {
    std::fprintf(stderr, "amode         : %d %s (multich wav compatible)\n", file->out_flags,
                 list);
  }
}

}  // namespace

void print_file_info(InputFile* file, int32_t index, int32_t mode) {
  (void)index;
  char number[NUMBER_TEXT];
  const int32_t shown = displayed_channels(file);

  print_header(file, mode);
  std::fprintf(stderr, "filesize      : %s bytes\n", grouped(file->file_size, number));
  print_type_and_channels(file, shown);
  print_sample_format(file);
  if (file->bit_rate >= 2.0) {
    std::fprintf(stderr, "bit rate      : %s kbps\n",
                 grouped_fixed("%1.2f", file->bit_rate * 0.001, number));
  } else {
    std::fprintf(stderr, "bit rate (n/a): %s\n", "<open>");
  }
  const char* length_label = (mode == 1 && file->kind != KIND_PCM_WAV) ? "(calc) " : "(time) ";
  std::fprintf(stderr, "length %s: %s seconds [%s]\n", length_label,
               grouped_fixed("%1.6f", file->length_seconds, number), file->length_text);
  if (file->kind == KIND_PCM_WAV) {
    print_pcm_details(file);
  } else {
    print_stream_details(file, mode, length_label, shown);
  }
}
