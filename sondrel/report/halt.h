// Ctrl-C: the halt flag, its handler, and the halt dialogue that fixes the
// output headers, asks whether to resume and reopens the outputs.
#pragma once
#include <csignal>
#include "wav/job_settings.h"
#include "wav/outputs.h"

// 1 once Ctrl-C was pressed; only a resume clears it.
extern volatile sig_atomic_t halt_flag;

// The SIGINT handler: sets the halt flag.
void on_ctrl_c(int signal_number);
// Installs on_ctrl_c for SIGINT.
void arm_ctrl_c();

// What the halt dialogue ended with.
enum HaltAnswer : int32_t {
  HALT_RESUME = 0,     // outputs reopened for appending: the job goes on
  HALT_ABORT = 1,      // the user declined; outputs closed with fixed headers
  HALT_FIX_FAILED = 2  // an output could not be reopened for its header fix (no question asked)
};

// Called by a job that saw the halt flag set; returns a HaltAnswer.
int halt_and_ask(JobSettings* settings, JobOutputs* outputs);
