// The fileshift run: usage, destination check, gathering, moving, summary.
#pragma once

// The whole program; returns the exit status.
int fileshift_main(int argc, char** argv);
