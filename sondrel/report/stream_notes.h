// Facts both reports print about an input: the name of its kind, the note on
// a stream extension that is not decoded (Dolby Surround EX, DTS ES, DTS
// 96/24), the 96/24 test and the label list of the channel slots.
#pragma once
#include <cstddef>
#include <cstdint>

#include "wav/input_file.h"

// The name of an input's kind as the file report prints it ("Dolby Digital
// AC-3") and as the job header prints it ("(Dolby Digital)"); a PCM WAV is
// named by its channel count.
struct KindNames {
  const char* report;
  const char* header;
};

KindNames kind_names(const InputFile* file);

struct ExtensionNote {
  const char* header_tag;   // job header type text, e.g. " [DTS ES]"; "" when none
  const char* header_note;  // job header comment; nullptr when none
  const char* info_suffix;  // file report type suffix; nullptr when none
  const char* info_note;    // file report note; nullptr when none
};

ExtensionNote extension_note(const InputFile* file);

// A DTS stream carrying 96/24 extension audio (type 2 or 3).
bool is_dts_96_24(const InputFile* file);

// "[" label 0 "," label 1 ... "]" over the first `count` slots (no more than
// the file has), or "(n/a)" when the file has no label slots.
char* label_list(const InputFile* file, int32_t count, char* out, size_t out_size);
