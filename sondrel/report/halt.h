// Ctrl-C: the halt flag, its handler, and the halt dialogue that fixes the
// output headers, asks whether to resume and reopens the outputs.
#pragma once
#include <csignal>
#include <cstdio>

#include "wav/job_settings.h"

// 1 once Ctrl-C was pressed; only a resume clears it.
extern volatile sig_atomic_t halt_flag;

// The SIGINT handler: sets the halt flag.
void on_ctrl_c(int signal_number);
// Installs on_ctrl_c for SIGINT.
void arm_ctrl_c();

// Called by a job that saw the halt flag set. Returns 0 when the job may
// resume (outputs reopened for appending in `outputs`), 1 when the user
// aborted, 2 when an output could not be reopened for the header fix.
int halt_and_ask(JobSettings* settings, FILE** outputs);
