// The banner, usage and information texts, each written piece by piece to
// standard error. Pieces of 80 visible characters without a line end rely on
// the console wrapping them.
#include "frontend/texts.h"

#include <cstdio>

#include "frontend/run_values.h"

static void put(const char* piece) { std::fputs(piece, stderr); }

void print_short_banner() {
  std::fprintf(stderr,
               " \n\"Sondrel\" version %s (beta). A command-line multichannel transcoder for\n",
               sondrel_version);
  put(" decoding A52 (.ac3/ddwav) and DTS (.dts/.cpt/dtswav) files into PCM wavs. It\n");
  put(" also interleaves/de-interleaves PCM wavs, resamples at 44.1, 48, 96 kHz, and\n");
  put(" bit depth converts to 8, 16, 24, 32 bit integer, and 32, 64 bit floating point.");
  put(" It also has built in batch file processing by using '*' as the file delimiter.\n\n");
  put(" Copyright (C) 2026 The Sondrel developers.\n\n");
  put(" sondrel -h   (for help)\n sondrel -i   (for information)\n");
}

void print_usage_text() {
  put("\n- Usage: sondrel <parameter> <optional> /<option> /<option> ...\n");
  put("\n- <parameter> is the (optional path +) filename, or '-h' (Help), '-i' (Info)\n");
  put("  Double quotes (\"\") are required around (path +) filename(s) containing spaces.");
  put("  Multi-file input (batch or wave interleaving) req '*' char between filenames.\n");
  put("\n- <optional> allows user to specify the output prefix filenames for mono wavs.\n");
  put("  Example: sondrel my_6ch_multiwav.wav Tmp             (if a 6 channel wav)\n");
  put("  Result: Tmp-FL.wav, Tmp-FR.wav, Tmp-C.wav, Tmp-LFE.wav, Tmp-SL.wav, Tmp-SR.wav");
  put("  If <optional> prefix not specified, output names are derived from source file.\n");
  put("  - /N disables progress display (no estimated time remaining etc.)\n");
  put("  - /+ or /- are used to cancel specified wav channel outputs.\n");
  put("    i.e. /+FL,FR,C will cancel all wav chans out except for FL, FR & C\n");
  put("  - /mch - Outputs a multichannel wav (does not apply multichannel wavs).\n");
  put("  - /16 outputs 16 bit int, /24 to 24 bit int, /32f, /64f to 32/64 bit float pt.");
  put("  - /44 resamples to 44.1kHz, /48 to 48kHz, /96 to 96kHz.\n");
  put("  Example: sondrel \"test file.ac3\" /64f /44 /d3 /f1[.195]\n");
  put("  (d3=triang noise shp dith, f1[.195]=triang prob distr func, noise amp = .195).");
  put("\n<CTRL-C> Aborts/Halts transcode process with resume option (for file previewing)");
}

void print_information_text() {
  std::fprintf(stderr, "\n  Sondrel version %s  (beta)", sondrel_version);
  put("\n  A command-line utility for transcoding .dts, .cpt, dtswav, .ac3, ddwav files");
  put("\n  into PCM wav files, also for interleaving & de-interleaving of PCM wav files.\n");
  put("\n  AC-3 decoding by liba52, (C) Aaron Holtzman and Michel Lespinasse.");
  put("\n  DTS decoding by libdca, (C) Aaron Holtzman, Michel Lespinasse and Gildas Bazin.");
  put("\n  Resampling follows the design of the SSRC high-quality sample rate converter.");
  put("\n  SSRC code was modified to accommodate 32 bit floating point decoded samples.");
  put("\n  Bit depth conversion offers full dithering with filtering options.");
  put("\n  Bit depth output limited to: 8, 16, 24, 32 bit int & 32, 64 bit floating pt.");
  put("\n  Resampled output limited to: 44100, 48000, and 96000 Hz.\n");
  put("  (A52 & DTS decoded output defaults to 32-bit floating point mono wavs)\n");
  put("\n  Other options: gain, disable dynamic adjust (stereo downmix, two pass n/a yet)");
  put("  with built-in flexibility (i.e. individual channel selection, pause/resume).\n");
  put("\n  Use <CTRL-C> key combination to abort/pause-resume transcode process.\n");
  put("\n  The Sondrel developers, December 2026\n");
}
