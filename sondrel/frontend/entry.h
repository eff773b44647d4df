// The program entry of sondrel: informational forms, input list, prefix and
// options, then the job driver.
#pragma once

// Returns 0 on every path.
int sondrel_main(int argc, char** argv);
