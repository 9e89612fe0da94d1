// Receive latency of the serial port: from bytes written at the far end of a pseudo-terminal to
// OnRxChar running on the main thread (event thread wake-up, queueing, hand-over, main thread
// wake-up). Usage: serial_latency [samples] [bytes per sample]
#include <pty.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "runtime/plain_loop.h"
#include "serial/serial_port.h"

using namespace orvix;
using Clock = std::chrono::steady_clock;

namespace {

double Micros(Clock::duration d) {
  return std::chrono::duration<double, std::micro>(d).count();
}

double Percentile(std::vector<double> sorted, double p) {
  const auto index = static_cast<size_t>(p * static_cast<double>(sorted.size() - 1) + 0.5);
  return sorted[std::min(index, sorted.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
  int samples = 2000;
  int size = 7;  // a device reply
  CLI::App line{"Receive latency of the serial port on a pseudo-terminal.", "serial_latency"};
  line.add_option("SAMPLES", samples, "samples (default 2000)")->check(CLI::Range(1, 1 << 30));
  line.add_option("BYTES", size, "bytes a sample, 1 to 4096 (default 7)");
  try {
    line.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return line.exit(e) == 0 ? 0 : 64;
  }
  size = std::clamp(size, 1, 4096);

  int master = -1, slave = -1;
  char name[128] = {};
  if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
    std::perror("openpty");
    return 1;
  }

  TPlainMessageLoop loop;
  TSerialPort port;
  port.SetPort(name);
  port.SetBaudRate(br57600);
  port.SetEvents({evRxChar});
  port.Timeouts().SetReadInterval(0);

  std::vector<uint8_t> out(static_cast<size_t>(size), 0x5A), in(out.size());
  int received = 0;
  Clock::time_point arrived;
  port.OnRxChar = [&](TCustomSerialPort* sender, int count) {
    if (received == 0) arrived = Clock::now();
    received += sender->ReceiveBytes(in.data(), std::min(count, size - received));
  };
  port.OpenPort();

  std::vector<double> latency;
  latency.reserve(static_cast<size_t>(samples));
  for (int i = 0; i < samples + 50; ++i) {  // the first 50 warm up
    received = 0;
    const auto sent = Clock::now();
    if (write(master, out.data(), out.size()) != static_cast<ssize_t>(out.size())) {
      std::perror("write");
      return 1;
    }
    if (!loop.RunUntil([&] { return received == size; }, std::chrono::seconds(5))) {
      std::fprintf(stderr, "no OnRxChar within 5 s\n");
      return 1;
    }
    if (i >= 50) latency.push_back(Micros(arrived - sent));
  }
  port.ClosePort();
  close(master);
  close(slave);

  std::sort(latency.begin(), latency.end());
  std::printf("far-end write -> OnRxChar on the main thread, %d samples of %d bytes\n", samples,
              size);
  std::printf("median %.1f us  p99 %.1f us  max %.1f us  (goal: median under 500 us)\n",
              Percentile(latency, 0.5), Percentile(latency, 0.99), latency.back());
  return 0;
}
