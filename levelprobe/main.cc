// levelprobe entry: the routine writes to standard output.
#include <cstdio>

#include "level_probe.h"

int main(int argc, char** argv) { return level_probe_main(argc, argv, stdout); }
