// fileshift: moves files into a directory, asking before it overwrites.
#include "fileshift.h"

int main(int argc, char** argv) { return fileshift_main(argc, argv); }
