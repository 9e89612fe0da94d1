/* Loaded into Wine (LD_PRELOAD) by scripts/wine-tests.sh: makes the modem-line ioctls succeed on
 * pseudo-terminals, which have no modem lines and refuse them with ENOTTY. Wine's serial layer
 * reads the lines while a WaitCommEvent is pending and cancels the wait when it cannot, so
 * without this a COM port mapped to a pty never reports a received byte. The lines read as all
 * off, as the Linux backend reports a pty's; setting them is accepted and changes nothing.
 * Every other ioctl, and these on any other device, go through untouched. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

/* Unix98 pty slaves (devpts majors 136 to 143). */
static int is_pty(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return 0;
  const unsigned int m = major(st.st_rdev);
  return m >= 136 && m <= 143;
}

static int is_modem_line_request(unsigned long request) {
  return request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
}

int ioctl(int fd, unsigned long request, ...) {
  static int (*real_ioctl)(int, unsigned long, void*);
  if (!real_ioctl) *(void**)&real_ioctl = dlsym(RTLD_NEXT, "ioctl");

  va_list args;
  va_start(args, request);
  void* argument = va_arg(args, void*);
  va_end(args);

  const int saved_errno = errno;
  const int result = real_ioctl(fd, request, argument);
  if (result == -1 && (errno == ENOTTY || errno == EINVAL) && is_modem_line_request(request) &&
      is_pty(fd)) {
    if (request == TIOCMGET && argument) *(int*)argument = 0;
    errno = saved_errno;
    return 0;
  }
  return result;
}
