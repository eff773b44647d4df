// sondrel: command-line multichannel transcoder.
#include "frontend/entry.h"

int main(int argc, char** argv) { return sondrel_main(argc, argv); }
