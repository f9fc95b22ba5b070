// Receives a file in "ITF00" with "ACK NAK" from instrument-sim paced like a real line and
// compares wall and CPU time with the time the bytes need on the line.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ulvo/platform/qt_serial_device.h"
#include "ulvo/transfer/culvo_serial.h"

namespace {

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

ulvo::CInstrument Instrument() {
  ulvo::CInstrument i;
  i.LoadInterfaceText(
      ulvo::EncodeInterfaceText("[HEADER]\nVERSION=1\nTITLE=INSTRUMENT INTERFACE FILE\n"
                                "INSTRUMENT=Bench\n[CAPABILITIES]\nSENDBAUDRATES=64\n"
                                "SENDDATAFORMAT=2\nSENDSOFTHANDSHAKE=2\n[DEFAULTS]\n"
                                "SENDSOFTHANDSHAKE=2\n"),
      nullptr);
  return i;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  size_t size = 100 * 1024;
  unsigned baud = 9600;
  for (int n = 1; n + 1 < argc; n += 2) {
    const std::string a = argv[n];
    if (a == "--bytes") size = std::strtoul(argv[n + 1], nullptr, 10);
    if (a == "--baud") baud = static_cast<unsigned>(std::strtoul(argv[n + 1], nullptr, 10));
  }
  if (argc > 1 && std::string(argv[1]) == "--help") {
    std::printf("Usage: ulvo-transfer-bench [--bytes N] [--baud N]\n");
    return 0;
  }
  const auto dir = std::filesystem::temp_directory_path() / "ulvo-transfer-bench";
  std::filesystem::create_directories(dir);
  std::string data;
  for (size_t n = 0; data.size() < size; ++n)
    data += "PT" + std::to_string(100000 + n) + ",4500.123,1200.456,12.345\r\n";
  data.resize(size);
  std::ofstream(dir / "source", std::ios::binary) << data;

  const std::string sim =
      (std::filesystem::path(argv[0]).parent_path() / "instrument-sim").string();
  int fds[2];
  if (pipe(fds) != 0) return 1;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], STDOUT_FILENO);
    close(fds[0]);
    close(fds[1]);
    const std::string file = (dir / "source").string();
    const std::string rate = std::to_string(baud);
    execl(sim.c_str(), sim.c_str(), "ulvo-send", "--format", "ITF00", "--handshake", "acknak",
          "--baud", rate.c_str(), "--file", file.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string device;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n') device += c;
  close(fds[0]);

  ulvo::QtSerialDevice port;
  ulvo::CULVOSerial serial(port);
  const double cpu0 = CpuSeconds();
  const auto t0 = std::chrono::steady_clock::now();
  const uint32_t result = serial.Run(nullptr, Instrument(), device, ulvo::kDirectionReceive,
                                     (dir / "received").string());
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const double cpu = CpuSeconds() - cpu0;
  int status = 0;
  waitpid(pid, &status, 0);

  const size_t blocks = (size + 127) / 128;
  const size_t lineBytes = blocks * 136 + 5;
  const size_t handshakeBytes = 1 + blocks + 1;  // ENQ, one ACK per block, ACK of the end
  const double lineTime = static_cast<double>(lineBytes) * 10 / baud;
  const double handshakeTime = static_cast<double>(handshakeBytes) * 10 / baud;
  const double wallLimit = 1.05 * (lineTime + handshakeTime);
  std::printf("received %zu bytes in %zu blocks at %u baud, result %u\n", size, blocks, baud,
              result);
  std::printf("line time %.2f s + handshake %.2f s\n", lineTime, handshakeTime);
  std::printf("wall %.2f s (target <= %.2f s): %s\n", wall, wallLimit,
              wall <= wallLimit ? "met" : "MISSED");
  std::printf("cpu %.3f s = %.2f%% of wall (target <= 5%%): %s\n", cpu, 100 * cpu / wall,
              cpu <= 0.05 * wall ? "met" : "MISSED");
  std::filesystem::remove_all(dir);
  return result == 0 && wall <= wallLimit && cpu <= 0.05 * wall ? 0 : 1;
}
