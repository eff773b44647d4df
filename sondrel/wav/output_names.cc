// Output file names of a job: the stem (the user's name, the input's name
// without its extension, or the common beginning of two interleaved inputs),
// the layout suffix, the format suffix, the speaker suffix and ".wav".
#include "wav/output_names.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

bool is_separator(char c) {
  return c == ' ' || c == '.' || c == '_' || c == '(' || c == '[' || c == '-' || c == '~' ||
         c == ',';
}

// `name` without its last 4 characters (the extension and its dot).
void strip_extension(const char* name, char* stem, size_t size) {
  size_t length = std::strlen(name);
  length = length > 4 ? length - 4 : 0;
  std::snprintf(stem, size, "%.*s", static_cast<int>(length), name);
}

// The common beginning of two input names, less a trailing separator.
void common_stem(const char* a, const char* b, char* stem, size_t size) {
  const int64_t la = static_cast<int64_t>(std::strlen(a));
  const int64_t lb = static_cast<int64_t>(std::strlen(b));
  const int64_t n = (la < lb ? la : lb) - 4;
  int64_t k = 0;
  if (n > 0) {
    while (k < n && a[k] == b[k]) ++k;
  }
  if (n <= 0 || k <= 1) {
    strip_extension(a, stem, size);
    return;
  }
  if (is_separator(a[k - 1])) {
    k -= 1;
  } else if (is_separator(a[k - 2])) {
    k -= 2;
  }
  std::snprintf(stem, size, "%.*s", static_cast<int>(k), a);
}

// Appends formatted text to a name buffer; false when it would not fit.
bool append(char* name, const char* format, ...) {
  const size_t used = std::strlen(name);
  if (used >= static_cast<size_t>(OUT_NAME_CAPACITY)) return false;
  va_list args;
  va_start(args, format);
  const int written = std::vsnprintf(name + used, OUT_NAME_CAPACITY - used, format, args);
  va_end(args);
  return written >= 0 && static_cast<size_t>(written) < OUT_NAME_CAPACITY - used;
}

int too_long(const char* stem) {
  std::fprintf(stderr, "Error: Output file name too long: %s\n", stem);
  return 1;
}

const char* slot_label(const InputFile* file, int32_t slot) {
  if (!file->channel_names || slot < 0 || slot >= file->channel_slots ||
      !file->channel_names[slot])
    return "";
  return file->channel_names[slot];
}

}  // namespace

int make_output_names(InputFile* files, int32_t index, JobSettings* settings) {
  const InputFile* file = &files[index];
  const bool user_named = settings->out_prefix[0] != '\0';
  const int32_t group = settings->group_size;
  const bool pcm = file->kind == KIND_PCM_WAV;
  const int32_t per_output =
      (pcm && settings->multichannel_out && file->channels == 1) ? group
                                                                 : settings->selected_count;

  int32_t count = settings->output_count;
  if (count <= 0) return 0;
  if (!settings->out_names || settings->out_name_slots < count) {
    std::fprintf(stderr, "Error: Output file names were not prepared for %s\n",
                 file->display_name);
    return 1;
  }

  // 1. The stem; a derived stem is kept in out_prefix when it fits there.
  char stem[OUT_NAME_CAPACITY];
  if (user_named) {
    std::snprintf(stem, sizeof stem, "%s", settings->out_prefix);
  } else if (group >= 2 && index + 1 < settings->file_count) {
    common_stem(file->display_name, files[index + 1].display_name, stem, sizeof stem);
  } else {
    strip_extension(file->display_name, stem, sizeof stem);
  }
  const size_t stem_length = std::strlen(stem);
  if (!user_named && stem_length < static_cast<size_t>(PREFIX_CAPACITY))
    std::memcpy(settings->out_prefix, stem, stem_length + 1);
  for (int32_t k = 0; k < count; ++k) settings->out_names[k][0] = '\0';
  char* first = settings->out_names[0];
  bool ok = append(first, "%s", stem);

  // 3. The layout suffix, and whether each name gets its speaker.
  bool speaker_suffix = false;
  if (settings->multichannel_out || settings->convert_only) {
    if (user_named || settings->convert_only) {
      // the stem as it is
    } else if (per_output < 3) {
      ok = ok && append(first, "(ext_wav_fmt)");
      speaker_suffix = pcm && file->channels > 1 && settings->selected_count == 1;
    } else {
      ok = ok && append(first, "(multichn)");
    }
  } else if (pcm && file->channels == 1) {
    if (!user_named) ok = ok && append(first, "(blank)");
  } else {
    for (int32_t k = 1; k < count; ++k) ok = ok && append(settings->out_names[k], "%s", stem);
    speaker_suffix = true;
  }
  int32_t speaker_names = speaker_suffix ? settings->selected_count : 0;
  if (speaker_names > count) speaker_names = count;
  if (speaker_names > MAX_SELECTED) speaker_names = MAX_SELECTED;

  // 4. The format suffix, when the output format differs from the input's.
  const int32_t ref_bits = pcm ? file->bits : 32;
  const int32_t ref_float = pcm ? file->is_float : 1;
  const bool format_changes = settings->out_bits != ref_bits ||
                              settings->out_float != ref_float ||
                              settings->out_rate != file->sample_rate;
  if (format_changes && !user_named) {
    const char* format = settings->out_float ? "(%d-bit_flt,%0.1fkHz)" : "(%d-bit,%0.1fkHz)";
    const double khz = settings->out_rate / 1000.0;
    const int32_t suffixed = speaker_suffix ? speaker_names : 1;
    for (int32_t k = 0; k < suffixed; ++k)
      ok = ok && append(settings->out_names[k], format, settings->out_bits, khz);
  }

  // 5. The speaker suffix, 6. the extension.
  for (int32_t k = 0; k < speaker_names; ++k) {
    const int32_t channel = settings->selected_channels[k];
    ok = ok && append(settings->out_names[k], "-%s", slot_label(file, channel));
  }
  for (int32_t k = 0; k < count; ++k) ok = ok && append(settings->out_names[k], ".wav");
  if (!ok) {
    for (int32_t k = 0; k < count; ++k) settings->out_names[k][0] = '\0';
    return too_long(stem);
  }
  return 0;
}
