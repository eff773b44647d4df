// The --help summary and the --version line of sondrel, on standard output.
#pragma once

void print_help_text();
void print_version_line();
