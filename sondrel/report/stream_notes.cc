// Kind names, extension notes and label lists shared by the file report and
// the job header.
#include "report/stream_notes.h"

#include <cstdio>
#include <cstring>

KindNames kind_names(const InputFile* file) {
  static const KindNames wav_names[3] = {{"Mono Wave", "(Mono Wave)"},
                                         {"Stereo Wave", "(Stereo Wave)"},
                                         {"Multichannel Wave", "(Multichannel Wave)"}};
  static const KindNames stream_names[] = {{"DTS Wave", "(DTS Wave)"},
                                           {"DTS Padded", "(DTS Padded)"},
                                           {"DTS Compact", "(DTS Compact)"},
                                           {"Dolby Digital AC-3", "(Dolby Digital)"},
                                           {"Dolby Digital Wave", "(Dolby Digital Wave)"}};
  if (file->kind == KIND_PCM_WAV)
    return wav_names[file->channels == 1 ? 0 : file->channels == 2 ? 1 : 2];
  if (is_compressed(file->kind)) return stream_names[file->kind - KIND_DTS_WAV];
  return {"Unknown", "(Unknown)"};
}

bool is_dts_96_24(const InputFile* file) {
  return is_dts_family(file->kind) && file->ext_audio == 1 &&
         (file->ext_audio_id == 2 || file->ext_audio_id == 3);
}

ExtensionNote extension_note(const InputFile* file) {
  if (is_ac3_family(file->kind) && file->ext_audio == 2)
    return {" [Dolby Surround EX]", "** Dolby Digital EX currently unsupported **",
            "(Dolby Surround EX)", "(Dolby Digital EX currently unsupported)"};
  if (is_dts_family(file->kind) && file->ext_audio == 1 && file->ext_audio_id == 0)
    return {" [DTS ES]", "** DTS ES currently unsupported **", "(DTS ES Discrete)",
            "(DTS ES currently unsupported)"};
  if (is_dts_96_24(file))
    return {" [DTS 96/24]", "** DTS 96/24 currently unsupported **", "(DTS 96/24)",
            "(DTS 96/24 currently unsupported)"};
  return {"", nullptr, nullptr, nullptr};
}

char* label_list(const InputFile* file, int32_t count, char* out, size_t out_size) {
  if (!file->channel_names || file->channel_slots < 1 || !file->channel_names[0]) {
    std::snprintf(out, out_size, "(n/a)");
    return out;
  }
  if (count > file->channel_slots) count = file->channel_slots;
  size_t used = static_cast<size_t>(std::snprintf(out, out_size, "["));
  for (int32_t i = 0; i < count && used < out_size; ++i) {
    const char* label = file->channel_names[i] ? file->channel_names[i] : "";
    used += static_cast<size_t>(
        std::snprintf(out + used, out_size - used, i ? ",%s" : "%s", label));
  }
  if (used < out_size) std::snprintf(out + used, out_size - used, "]");
  return out;
}
