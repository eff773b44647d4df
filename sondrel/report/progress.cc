// The self-overwriting progress line with its estimate of the time
// remaining, and the duration text of the completion lines. Times come from
// the program's wall clock; time spent halted is left out.
#include "report/progress.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "wav/input_file.h"

double now_seconds() { return platform_seconds(); }

void progress_setup(JobSettings* settings, int32_t kind, int64_t size) {
  ProgressCounters& p = settings->progress;
  if (settings->dsp_mode == DSP_DOWNSAMPLE || settings->dsp_mode == DSP_UPSAMPLE) {
    // Few, long units of work: a line every few of them, an estimate soon.
    p.eta_countdown = 2;
    p.tick_limit = kind == KIND_PCM_WAV ? 5 : 80;
    p.eta_interval = 0;
    return;
  }
  if (kind == KIND_PCM_WAV) {
    p.eta_interval = 3;
    p.tick_limit = 300;
    if (size > 4000000000ll) p.eta_countdown = 23;
    else if (size > 2000000000ll) p.eta_countdown = 19;
    else if (size > 1000000000ll) p.eta_countdown = 16;
    else if (size > 500000000ll) p.eta_countdown = 13;
    else if (size > 250000000ll) p.eta_countdown = 11;
    else if (size > 100000000ll) p.eta_countdown = 8;
    else if (size > 50000000ll) p.eta_countdown = 6;
    else if (size > 25000000ll) p.eta_countdown = 4;
    else p.eta_countdown = 3;
    if (settings->multichannel_out && settings->group_size == 1) p.eta_countdown += 70;
    return;
  }
  p.eta_interval = 2;
  if (size <= 500000000ll) {
    p.tick_limit = 150;
    p.eta_countdown = 5;
  } else {
    p.tick_limit = 300;
    p.eta_countdown = 20;
  }
}

// Seconds of work in the current job.
static double job_seconds(const JobSettings* settings) {
  const double elapsed = now_seconds() - settings->start_time - settings->paused_time;
  return elapsed > 0.0 ? elapsed : 0.0;
}

// Splits whole seconds into hours, minutes and seconds.
static void split_time(double seconds, int32_t* h, int32_t* m, int32_t* s) {
  if (seconds > 3.6e8) seconds = 3.6e8;  // keeps the integer conversion defined
  const int32_t t = static_cast<int32_t>(seconds);
  *h = *m = 0;
  if (seconds < 60.0) {
    *s = t;
  } else if (seconds < 3600.0) {
    *m = static_cast<int32_t>(seconds / 60.0);
    *s = t % 60;
  } else {
    *h = static_cast<int32_t>(seconds / 3600.0);
    *m = (t % 3600) / 60;
    *s = (t % 3600) % 60;
  }
}

static void print_estimate(const JobSettings* settings, double percent) {
  const double elapsed = job_seconds(settings);
  if (!(percent > 0.0)) return;
  double remaining = 100.0 * elapsed / percent - elapsed;
  if (remaining < 0.0) remaining = 0.0;
  int32_t h, m, s;
  split_time(remaining, &h, &m, &s);
  char percent_text[16];
  std::snprintf(percent_text, sizeof percent_text, "%1.0f%%", percent);
  const char* gap = std::strlen(percent_text) == 2 ? "    " : "   ";
  std::fprintf(stderr, "%s..... %s%sEstimated Time Remaining: [%01d:%02d:%02d]\r",
               settings->status_label, percent_text, gap, h, m, s);
}

void progress_tick(int64_t done, int64_t total, JobSettings* settings) {
  ProgressCounters& p = settings->progress;
  if (p.tick > p.tick_limit) {
    const int32_t countdown = p.eta_countdown;
    p.tick = 0;
    p.prints_since_eta += 1;
    // 100 x done first, then the division: exact for whole percentages.
    const double percent =
        total > 0 ? 100.0 * static_cast<double>(done) / static_cast<double>(total) : 0.0;
    if (countdown == 0) p.eta_countdown = p.eta_interval;
    std::fprintf(stderr, "%s..... %1.0f%%\r", settings->status_label, percent);
    if (p.prints_since_eta > p.eta_countdown) {
      p.prints_since_eta = 0;
      p.eta_countdown = 0;
      print_estimate(settings, percent);
    }
  }
  p.tick += 1;
}

char* elapsed_text(char* buffer, size_t size, const JobSettings* settings) {
  int32_t h, m, s;
  split_time(job_seconds(settings), &h, &m, &s);
  const char* hours = h == 1 ? "hr" : "hrs";
  const char* minutes = m == 1 ? "min" : "mins";
  if (h >= 1) {
    std::snprintf(buffer, size, "in %d %s, %d %s, %d %s]", h, hours, m, minutes, s,
                  s == 1 ? "sec" : "secs");
  } else if (m >= 1) {
    std::snprintf(buffer, size, "in %d %s, %d %s]      ", m, minutes, s,
                  s == 1 ? "sec" : "secs");
  } else {
    if (s == 0) s = 1;
    std::snprintf(buffer, size, "in %d %s]          ", s, s == 1 ? "sec" : "secs");
  }
  return buffer;
}
