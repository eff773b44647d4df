// Ctrl-C: the halt flag and its handler, and the halt dialogue that leaves
// every output with a valid header, asks whether to resume, and reopens the
// outputs for appending when the answer is yes.
#include "report/halt.h"

#include <cstdio>

#include "platform/platform.h"
#include "report/progress.h"
#include "wav/wav_writer.h"

volatile sig_atomic_t halt_flag = 0;

// Only the flag is set here: stdio is not async-signal-safe, so standard
// output is flushed by the dialogue instead.
void on_ctrl_c(int signal_number) {
  (void)signal_number;
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

// Reopens every closed output for appending. Returns false at the first
// that cannot be opened; the ones before it stay open.
static bool reopen_outputs(JobSettings* settings, FILE** outputs) {
  for (int32_t k = 0; k < settings->output_count; ++k) {
    if (outputs[k]) continue;
    const char* name = k < settings->out_name_slots ? settings->out_names[k] : nullptr;
    outputs[k] = name ? std::fopen(name, "ab") : nullptr;
    if (!outputs[k]) return false;
  }
  return true;
}

int halt_and_ask(JobSettings* settings, FILE** outputs) {
  std::fflush(stdout);
  const double halted_at = now_seconds();
  if (wav_fix_sizes(settings, outputs) != 0) return 2;
  std::fprintf(stderr,
               "\r%s: Halted (Free up disc space/check output files - close on resume)",
               settings->status_label);
  for (;;) {
    if (!user_resumes()) {
      wav_outputs_close(settings, outputs);  // any reopened before a failed resume
      std::fprintf(stderr, "Processing: Aborted by user!%51s\r", "");
      return 1;
    }
    if (reopen_outputs(settings, outputs)) break;
    std::printf("Unable to write to file. Please close any open output wavs and try again!\n");
    std::fflush(stdout);
  }
  platform_discard_console_input();
  settings->paused_time += now_seconds() - halted_at;
  halt_flag = 0;
  arm_ctrl_c();
  return 0;
}
