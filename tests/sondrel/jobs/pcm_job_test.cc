// The PCM WAV job called directly: an interleave group whose second file
// disappeared between the driver's two passes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "dsp/ssrc/ssrc.h"
#include "jobs/pcm_job.h"
#include "test_files.h"
#include "wav/wav_header_reader.h"
#include "wav_builder.h"

namespace {

void describe(InputFile* file, const std::string& path) {
  std::memset(file, 0, sizeof *file);
  std::snprintf(file->path, sizeof file->path, "%s", path.c_str());
  init_input_file(file);
  file->file_size = read_file(path).size();
  FILE* stream = std::fopen(path.c_str(), "rb");
  ASSERT_EQ(read_wav_header(stream, file), 0);
  std::fclose(stream);
}

TEST(PcmJobDirect, GroupFileGoneBetweenThePasses) {
  TempDir dir;
  WavLayout mono;
  for (const char* name : {"a.wav", "b.wav"})
    write_file(dir.file(name), make_wav(mono, pack_int_samples({1, 2, 3, 4}, 16)));
  InputFile files[2];
  describe(&files[0], dir.file("a.wav"));
  describe(&files[1], dir.file("b.wav"));

  JobSettings s;
  init_job_settings(&s);
  s.multichannel_out = 1;
  s.output_layout = LAYOUT_MULTICHANNEL;
  s.extensible_header = 1;
  s.dsp_mode = DSP_CONVERT;
  s.in_bits = 16;
  s.group_size = 2;
  s.file_count = 2;
  s.no_progress = 1;
  s.out_bits = 16;
  s.out_float = 0;
  s.out_rate = 48000;
  std::snprintf(s.status_label, sizeof s.status_label, "Processing");
  ASSERT_EQ(alloc_out_names(&s, 1), 0);
  s.output_count = 1;
  std::snprintf(s.out_names[0], OUT_NAME_CAPACITY, "%s", dir.file("ab.wav").c_str());

  ASSERT_EQ(unlink(dir.file("b.wav").c_str()), 0);
  testing::internal::CaptureStdout();
  const int result = pcm_job(nullptr, files, nullptr, &s);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(out, "Error: Unable to open input file: " + dir.file("b.wav"));
  // The output that was already created is an empty but valid WAV.
  WavFile w = load_wav(dir.file("ab.wav"));
  ASSERT_TRUE(w.valid);
  EXPECT_EQ(w.riff_size, 60u);
  EXPECT_EQ(w.data_size, 0u);

  free_out_names(&s);
}

}  // namespace
