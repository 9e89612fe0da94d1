/* The far end of a line that never reads: a pseudo-terminal whose master is held open and left
 * alone, so that writes from the other side fill the kernel's buffer and then block. Prints the
 * slave's path, then waits until SIGTERM, SIGINT or the given number of seconds (default 300).
 *   hold_line [SECONDS] */
#define _DEFAULT_SOURCE
#define _XOPEN_SOURCE 600
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? atoi(argv[1]) : 300;
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    perror("hold_line: cannot make a pseudo-terminal");
    return 1;
  }
  /* Raw, so nothing the other side writes is taken as a control character. */
  struct termios settings;
  if (tcgetattr(master, &settings) == 0) {
    cfmakeraw(&settings);
    tcsetattr(master, TCSANOW, &settings);
  }
  printf("%s\n", ptsname(master));
  fflush(stdout);
  for (int left = seconds; left > 0; left = (int)sleep((unsigned)left)) {
  }
  return 0;
}
