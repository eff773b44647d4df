// Progress counters, lines and estimates, and duration texts, on an
// injected clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "report/progress.h"

namespace {

uint64_t fake_ms = 0;
uint64_t fake_clock() { return fake_ms; }

class Progress : public testing::Test {
 protected:
  JobSettings s;
  void SetUp() override {
    init_job_settings(&s);
    std::snprintf(s.status_label, sizeof s.status_label, "Processing");
    platform_set_clock(fake_clock);
    fake_ms = 0;
  }
  void TearDown() override { platform_set_clock(nullptr); }

  // The pieces between carriage returns printed by `calls` ticks.
  std::vector<std::string> tick(int calls, int64_t done, int64_t total) {
    testing::internal::CaptureStderr();
    for (int i = 0; i < calls; ++i) progress_tick(done, total, &s);
    const std::string out = testing::internal::GetCapturedStderr();
    std::vector<std::string> pieces;
    size_t from = 0;
    for (size_t at; (at = out.find('\r', from)) != std::string::npos; from = at + 1)
      pieces.push_back(out.substr(from, at - from));
    EXPECT_EQ(from, out.size()) << "every piece ends in a carriage return";
    return pieces;
  }
  std::string elapsed() {
    char buffer[64];
    return elapsed_text(buffer, sizeof buffer, &s);
  }
};

}  // namespace

TEST_F(Progress, SetupFollowsKindSizeAndResampling) {
  struct Case {
    int32_t kind, dsp_mode, multichannel, group;
    int64_t size;
    int32_t countdown, limit, interval;
  };
  const Case cases[] = {
      {0, 1, 0, 1, 25000000, 3, 300, 3},      {0, 0, 0, 1, 25000001, 4, 300, 3},
      {0, 0, 0, 1, 50000001, 6, 300, 3},      {0, 0, 0, 1, 100000001, 8, 300, 3},
      {0, 0, 0, 1, 250000001, 11, 300, 3},    {0, 0, 0, 1, 500000001, 13, 300, 3},
      {0, 0, 0, 1, 1000000001, 16, 300, 3},   {0, 0, 0, 1, 2000000001, 19, 300, 3},
      {0, 0, 0, 1, 4000000001ll, 23, 300, 3}, {0, 0, 1, 1, 1000, 73, 300, 3},
      {0, 0, 1, 3, 1000, 3, 300, 3},          {0, 2, 0, 1, 1000, 2, 5, 0},
      {0, 3, 1, 1, 1000, 2, 5, 0},            {4, 1, 0, 1, 500000000, 5, 150, 2},
      {2, 0, 0, 1, 500000001, 20, 300, 2},    {1, 2, 0, 1, 10, 2, 80, 0},
  };
  for (const Case& c : cases) {
    s.dsp_mode = c.dsp_mode;
    s.multichannel_out = c.multichannel;
    s.group_size = c.group;
    s.progress.tick = 7;
    s.progress.prints_since_eta = 2;
    progress_setup(&s, c.kind, c.size);
    EXPECT_EQ(s.progress.eta_countdown, c.countdown) << c.kind << " " << c.size;
    EXPECT_EQ(s.progress.tick_limit, c.limit) << c.kind << " " << c.size;
    EXPECT_EQ(s.progress.eta_interval, c.interval) << c.kind << " " << c.size;
    EXPECT_EQ(s.progress.tick, 7);  // carried over from job to job
    EXPECT_EQ(s.progress.prints_since_eta, 2);
  }
}

TEST_F(Progress, LinesAndEstimatesComeOnTheirCalls) {
  s.dsp_mode = 0;
  progress_setup(&s, 4, 1000);  // limit 150, first estimate after 5 lines, then every 3rd
  s.start_time = 10.0;
  fake_ms = 72500;  // 62.5 s of work

  EXPECT_TRUE(tick(151, 1, 16).empty());
  EXPECT_EQ(tick(1, 1, 16), (std::vector<std::string>{"Processing..... 6%"}));
  EXPECT_TRUE(tick(150, 1, 16).empty());

  // Lines 2 to 12, one every 151 calls; 6.25 % after 62.5 s leaves 937.5 s.
  const std::string line = "Processing..... 6%";
  const std::string estimate = "Processing..... 6%    Estimated Time Remaining: [0:15:37]";
  std::vector<std::string> expected;
  for (int n = 2; n <= 12; ++n) {
    expected.push_back(line);
    if (n == 6 || n == 9 || n == 12) expected.push_back(estimate);
  }
  EXPECT_EQ(tick(151 * 11, 1, 16), expected);
}

TEST_F(Progress, EstimateTextsAndSpacing) {
  s.progress.tick_limit = 0;
  s.progress.eta_countdown = 0;
  s.progress.eta_interval = 0;
  s.start_time = 0.0;
  s.progress.tick = 1;  // every call prints, and every line is followed by an estimate

  fake_ms = 70000;  // 7 % after 70 s: 930 s remaining, four spaces
  EXPECT_EQ(tick(1, 7, 100), (std::vector<std::string>{
                                  "Processing..... 7%",
                                  "Processing..... 7%    Estimated Time Remaining: [0:15:30]"}));
  s.progress.tick = 1;
  fake_ms = 3725000;  // 50 % after 3725 s: three spaces, over an hour
  EXPECT_EQ(tick(1, 1, 2), (std::vector<std::string>{
                                "Processing..... 50%",
                                "Processing..... 50%   Estimated Time Remaining: [1:02:05]"}));
  s.progress.tick = 1;
  fake_ms = 45000;  // 45 % after 45 s
  EXPECT_EQ(tick(1, 45, 100), (std::vector<std::string>{
                                  "Processing..... 45%",
                                  "Processing..... 45%   Estimated Time Remaining: [0:00:55]"}));
  // Time spent halted does not count: 100 s since start, 30 of them halted.
  s.progress.tick = 1;
  s.paused_time = 30.0;
  fake_ms = 100000;
  EXPECT_EQ(tick(1, 1, 2), (std::vector<std::string>{
                                "Processing..... 50%",
                                "Processing..... 50%   Estimated Time Remaining: [0:01:10]"}));
  // Nothing done yet: no estimate; nothing to do at all: 0 %, no division.
  s.progress.tick = 1;
  EXPECT_EQ(tick(1, 0, 100), (std::vector<std::string>{"Processing..... 0%"}));
  s.progress.tick = 1;
  EXPECT_EQ(tick(1, 5, 0), (std::vector<std::string>{"Processing..... 0%"}));
  s.progress.tick = 1;
  EXPECT_EQ(tick(1, 100, 100),
            (std::vector<std::string>{
                "Processing..... 100%",
                "Processing..... 100%   Estimated Time Remaining: [0:00:00]"}));
}

TEST_F(Progress, ElapsedTexts) {
  s.start_time = 10.0;
  fake_ms = 10400;  // 0.4 s
  EXPECT_EQ(elapsed(), "in 1 sec]          ");
  fake_ms = 12000;
  EXPECT_EQ(elapsed(), "in 2 secs]          ");
  fake_ms = 71000;  // 61 s
  EXPECT_EQ(elapsed(), "in 1 min, 1 sec]      ");
  fake_ms = 130500;  // 120.5 s
  EXPECT_EQ(elapsed(), "in 2 mins, 0 secs]      ");
  fake_ms = 3610000;  // 3600 s
  EXPECT_EQ(elapsed(), "in 1 hr, 0 mins, 0 secs]");
  fake_ms = 7332000;  // 7322 s
  EXPECT_EQ(elapsed(), "in 2 hrs, 2 mins, 2 secs]");
  // 30 s at the Resume prompt are not part of the duration.
  s.paused_time = 30.0;
  fake_ms = 101000;  // 91 s since the start, 61 s of work
  EXPECT_EQ(elapsed(), "in 1 min, 1 sec]      ");
  // A short buffer is cut, never overrun.
  char small[8];
  EXPECT_STREQ(elapsed_text(small, sizeof small, &s), "in 1 mi");
}

TEST_F(Progress, NowIsTheProgramClock) {
  fake_ms = 1234;
  EXPECT_DOUBLE_EQ(now_seconds(), 1.234);
}
