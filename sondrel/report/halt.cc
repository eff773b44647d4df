// Ctrl-C: the halt flag and its handler, and the halt dialogue that leaves
// every output with a valid header, asks whether to resume, and reopens the
// outputs for appending when the answer is yes.
#include "report/halt.h"

#include <cstdio>

#include "platform/platform.h"
#include "report/progress.h"

volatile sig_atomic_t halt_flag = 0;

// Only the flag is set here: stdio is not async-signal-safe, so standard
// output is flushed by the dialogue instead.
void on_ctrl_c(int /*signal_number*/) {
  halt_flag = 1;
}

void arm_ctrl_c() { platform_install_sigint(on_ctrl_c); }

// Asks the question and returns true when the answer is yes. No answer (end
// of input, or a Ctrl-C at the prompt) counts as no.
static bool user_resumes() {
  std::fprintf(stderr, "\nResume? (y/n): ");
  platform_discard_console_input();
  const int answer = platform_read_char();
  return answer == 'y' || answer == 'Y';
}

int halt_and_ask(JobSettings* settings, JobOutputs* outputs) {
  std::fflush(stdout);
  const double halted_at = now_seconds();
  if (wav_fix_sizes(outputs) != 0) return HALT_FIX_FAILED;
  std::fprintf(stderr,
               "\r%s: Halted (Free up disc space/check output files - close on resume)",
               settings->status_label);
  for (;;) {
    if (!user_resumes()) {
      outputs_close(outputs);  // any reopened before a failed resume
      std::fprintf(stderr, "Processing: Aborted by user!%51s\r", "");
      return HALT_ABORT;
    }
    if (outputs_reopen(outputs) == 0) break;
    std::printf("Unable to write to file. Please close any open output wavs and try again!\n");
    std::fflush(stdout);
  }
  platform_discard_console_input();
  settings->paused_time += now_seconds() - halted_at;
  halt_flag = 0;
  arm_ctrl_c();
  return HALT_RESUME;
}
