// sondrel: command-line multichannel transcoder.
#include "frontend/entry.h"
#include "platform/console_output.h"

int main(int argc, char** argv) {
  platform_track_console_output();
  return sondrel_main(argc, argv);
}
