// Apart from far_end.cpp: termios2 comes from the kernel headers, which clash with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstdint>

namespace orvix::testing {

uint32_t KernelOutputRate(int fd) {
  termios2 t{};
  if (ioctl(fd, TCGETS2, &t) != 0) return 0;
  return t.c_ospeed;
}

}  // namespace orvix::testing
