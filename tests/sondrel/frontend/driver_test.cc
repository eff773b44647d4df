// The driver's refusals of output names that would overwrite an input or
// each other, and its status label.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "frontend/driver.h"
#include "test_files.h"

namespace {

struct Job {
  JobSettings settings;
  std::vector<InputFile> files;
  Job(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs) {
    init_job_settings(&settings);
    files.resize(inputs.size());
    for (size_t i = 0; i < inputs.size(); ++i) {
      std::memset(&files[i], 0, sizeof files[i]);
      std::snprintf(files[i].path, sizeof files[i].path, "%s", inputs[i].c_str());
    }
    EXPECT_EQ(alloc_out_names(&settings, static_cast<int32_t>(outputs.size())), 0);
    settings.output_count = static_cast<int32_t>(outputs.size());
    for (size_t k = 0; k < outputs.size(); ++k)
      std::snprintf(settings.out_names[k], OUT_NAME_CAPACITY, "%s", outputs[k].c_str());
  }
  ~Job() { free_out_names(&settings); }
  std::string check(int32_t index = 0) {
    testing::internal::CaptureStderr();
    result = check_output_names(&settings, files.data(), index);
    return testing::internal::GetCapturedStderr();
  }
  int result = -1;
};

TEST(OutputSafety, DistinctNewFilesMayBeWritten) {
  TempDir dir;
  write_text(dir.file("in.wav"), "x");
  Job job({dir.file("in.wav")}, {dir.file("in-L.wav"), dir.file("in-R.wav")});
  EXPECT_EQ(job.check(), "");
  EXPECT_EQ(job.result, 0);
}

TEST(OutputSafety, SharedNamesAreRefused) {
  TempDir dir;
  write_text(dir.file("in.dts"), "x");
  Job job({dir.file("in.dts")}, {dir.file("in-.wav"), dir.file("in-L.wav"), dir.file("in-.wav")});
  EXPECT_EQ(job.check(), "Error: Two outputs of this job would be named " + dir.file("in-.wav") +
                             "; file skipped.\n");
  EXPECT_EQ(job.result, 1);
}

TEST(OutputSafety, AnInputIsNeverAnOutput) {
  TempDir dir;
  write_text(dir.file("a.wav"), "x");
  write_text(dir.file("b.wav"), "y");
  ASSERT_EQ(link(dir.file("b.wav").c_str(), dir.file("hard.wav").c_str()), 0);
  ASSERT_EQ(symlink(dir.file("a.wav").c_str(), dir.file("soft.wav").c_str()), 0);

  // The same file under another spelling, a hard link and a symbolic link.
  Job spelled({dir.file("a.wav")}, {dir.path() + "/./a.wav"});
  EXPECT_NE(spelled.check().find("is the input file"), std::string::npos);
  EXPECT_EQ(spelled.result, 1);
  Job hard({dir.file("b.wav")}, {dir.file("hard.wav")});
  hard.check();
  EXPECT_EQ(hard.result, 1);
  Job soft({dir.file("a.wav")}, {dir.file("soft.wav")});
  soft.check();
  EXPECT_EQ(soft.result, 1);

  // Every file of an interleave group counts as an input.
  Job group({dir.file("a.wav"), dir.file("b.wav")}, {dir.file("hard.wav")});
  group.settings.multichannel_out = 1;
  group.settings.group_size = 2;
  group.check();
  EXPECT_EQ(group.result, 1);
  group.settings.group_size = 1;
  group.check();
  EXPECT_EQ(group.result, 0);
}

TEST(StatusLabel, FollowsTheListAndTheInterleaveGroups) {
  auto label = [](std::vector<InputFile> files, int32_t mch, int32_t limit) {
    JobSettings s;
    init_job_settings(&s);
    s.file_count = static_cast<int32_t>(files.size());
    s.multichannel_out = mch;
    s.group_limit = limit;
    choose_status_label(&s, files.data());
    return std::string(s.status_label);
  };
  InputFile mono;
  std::memset(&mono, 0, sizeof mono);
  mono.kind = KIND_PCM_WAV;
  mono.channels = 1;
  mono.sample_rate = 48000;
  mono.bits = 24;
  InputFile stereo = mono;
  stereo.channels = 2;
  InputFile other_rate = mono;
  other_rate.sample_rate = 44100;
  InputFile stream = mono;
  stream.kind = KIND_AC3;

  EXPECT_EQ(label({stream}, 0, 18), "Processing");
  EXPECT_EQ(label({mono, mono}, 0, 18), "Batch processing");
  EXPECT_EQ(label({mono, mono, mono}, 1, 18), "Processing");
  EXPECT_EQ(label({mono, mono, mono}, 1, 2), "Batch processing");
  EXPECT_EQ(label({mono, stereo}, 1, 18), "Batch processing");
  EXPECT_EQ(label({mono, other_rate}, 1, 18), "Batch processing");
  EXPECT_EQ(label({mono, stream}, 1, 18), "Batch processing");
}

}  // namespace
