// Destination check and its three refusals: unresolvable (no current
// directory for a relative name), too long, not a directory that can be entered.
#include "destination.h"

#include "limits.h"
#include "output.h"
#include "platform/paths.h"

int check_destination(const std::string& argument, std::string* destination) {
  if (argument.empty()) {
    put_line(stderr, "The directory  does not exist.");
    return 1;
  }
  std::string full;
  if (platform_full_path(argument, &full) != 0) {
    char letter = argument[0];
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    put_line(stderr, std::string("The drive ") + letter + ": is invalid.");
    return 1;
  }
  std::string with_slash = full.back() == '/' ? full : full + '/';
  if (with_slash.size() >= kPathBytes) {
    put_too_long(stderr, full);
    return 1;
  }
  if (!platform_can_enter(full)) {
    put_line(stderr, "The directory " + full + " does not exist.");
    return 1;
  }
  *destination = with_slash;
  return 0;
}
