// The header printed before each job: input names and attributes, the
// output layout the driver settled, the extra processing, a comment, and the
// output names. It prints; every value it shows was decided before.
#include "report/job_header.h"

#include <cstdio>

#include "report/digits.h"
#include "report/stream_notes.h"
#include "wav/speakers.h"

namespace {

// What the job reads: channels, bits and rate as the stream really carries them.
struct SourceFacts {
  int32_t channels;
  int32_t bits;
  int32_t rate;
};

SourceFacts source_facts(const InputFile* file) {
  SourceFacts facts = {file->channels, file->bits, file->sample_rate};
  if (is_ac3_family(file->kind) || file->kind == KIND_DTS_WAV) facts.bits = 16;
  if (is_dts_96_24(file)) {
    facts.rate = 96000;
    facts.bits = 24;
  }
  if (has_extension_layout(file)) facts.channels = extension_channel_count(file);
  return facts;
}

void print_input_names(const InputFile* files, int32_t index, const JobSettings* s,
                       const char* type) {
  const InputFile* file = &files[index];
  if (s->multichannel_out == 1 && s->group_size > 1) {
    for (int32_t i = 0; i < s->group_size && index + i < s->file_count; ++i)
      std::fprintf(stderr, "Input filename: [%s] (Mono Wave) [file %d/%d]\n",
                   files[index + i].display_name, index + i + 1, s->file_count);
  } else if (s->file_count > 1 && s->multichannel_out == 0) {
    print_separator(s->file_count);
    std::fprintf(stderr, "Input filename: [%s] %s [file %d/%d]\n", file->display_name, type,
                 index + 1, s->file_count);
  } else {
    std::fprintf(stderr, "Input filename: [%s] %s\n", file->display_name, type);
  }
}

void print_input_attribs(const InputFile* file, const JobSettings* s, const SourceFacts& src) {
  const char* header_text = file->fmt_size == 16 ? "PCM" : "Ext";
  const char* word = file->is_float == 1 ? "bit flt" : "bit";
  if (file->kind == KIND_PCM_WAV) {
    if (s->multichannel_out == 1 && s->group_size > 1) {
      std::fprintf(stderr, "Input  attribs: [%s wav fmt, (%d) x %d ch, %d %s, %0.1f kHz]\n",
                   header_text, s->group_size, file->channels, file->bits, word,
                   src.rate / 1000.0);
    } else {
      std::fprintf(stderr, "Input  attribs: [%s wav fmt, %d ch, %d %s, %0.1f kHz]\n",
                   header_text, file->channels, file->bits, word, src.rate / 1000.0);
    }
    return;
  }
  char rate_text[32];
  if (file->bit_rate < 2.0)
    std::snprintf(rate_text, sizeof rate_text, "<open>");
  else
    std::snprintf(rate_text, sizeof rate_text, "%0.0f", file->bit_rate * 0.001);
  std::fprintf(stderr, "Input  attribs: [%d.%d ch, %d bit, %0.1f kHz, bitrate %s kbps]\n",
               src.channels - file->has_lfe, file->has_lfe, src.bits, src.rate * 0.001,
               rate_text);
}

void print_output_attribs(const JobSettings* s) {
  const char* header_text = s->extensible_header == 1 ? "Ext" : "PCM";
  const char* word = s->out_float == 1 ? "bit flt" : "bit";
  if (s->output_count == 1) {
    std::fprintf(stderr, "Output attribs: [%s wav fmt, %d ch, %d %s, %0.1f kHz]\n", header_text,
                 s->output_channels, s->out_bits, word, s->out_rate / 1000.0);
  } else {
    std::fprintf(stderr, "Output attribs: [%s wav fmt, (%d) x %d ch, %d %s, %0.1f kHz]\n",
                 header_text, s->output_count, s->output_channels, s->out_bits, word,
                 s->out_rate / 1000.0);
  }
}

// The extra processing: from the samples as the job reads them (a decoded
// stream as 32-bit float) to the output format.
void print_additional_dsp(const InputFile* file, const JobSettings* s) {
  const char* source_word = s->in_float == 1 ? "bit flt" : "bit";
  const char* out_word = s->out_float == 1 ? "bit flt" : "bit";
  const bool compressed = is_compressed(file->kind);
  const bool bits_change = s->out_bits != s->in_bits && (!compressed || s->out_bits < 64);
  char parts[2][80];
  int32_t count = 0;
  if (bits_change || s->out_float != s->in_float)
    std::snprintf(parts[count++], sizeof parts[0],
                  compressed ? "bit depth: %d-%s -> %d-%s" : "bitdepth conv: %d%s -> %d%s",
                  s->in_bits, source_word, s->out_bits, out_word);
  if (s->out_rate != file->sample_rate)
    std::snprintf(parts[count++], sizeof parts[0], "%s: %0.1fkHz -> %0.1fkHz",
                  compressed ? "resample" : "resampling", file->sample_rate / 1000.0,
                  s->out_rate / 1000.0);
  if (count == 2)
    std::fprintf(stderr, "Additional dsp: [%s, %s]\n", parts[0], parts[1]);
  else if (count == 1)
    std::fprintf(stderr, "Additional dsp: [%s]\n", parts[0]);
}

}  // namespace

void print_job_header(const InputFile* files, int32_t index, const JobSettings* settings) {
  const InputFile* file = &files[index];
  const SourceFacts src = source_facts(file);
  const ExtensionNote note = extension_note(file);

  char type[64];
  if (is_compressed(file->kind))
    std::snprintf(type, sizeof type, "%s%s", kind_names(file).header, note.header_tag);
  else
    std::snprintf(type, sizeof type, "%s", kind_names(file).header);

  print_input_names(files, index, settings, type);
  print_input_attribs(file, settings, src);
  print_output_attribs(settings);
  print_additional_dsp(file, settings);

  if (note.header_note) {
    std::fprintf(stderr, "Comment       : %s\n", note.header_note);
  } else if (file->kind == KIND_PCM_WAV && settings->multichannel_out == 1 &&
             settings->group_size == 1 && file->fmt_size == 40 &&
             settings->selected_count == file->channels) {
    std::fprintf(stderr,
                 "Comment       : File is \"Ext wav fmt\" already, only speaker flags may "
                 "change.\n");
  }
}

void print_selection_cancelled() {
  std::fprintf(stderr,
               "Aborted: Channel selection cancelled all channels. (incompatible "
               "identifier(s)?)");
}

void print_output_names(const JobSettings* settings) {
  for (int32_t k = 0; k < settings->output_count; ++k)
    std::fprintf(stderr, k == 0 ? "Output file(s): %s\n" : "                %s\n",
                 settings->out_names[k]);
}
