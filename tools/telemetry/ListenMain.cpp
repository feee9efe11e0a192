// telemetry-listen [PORT] [--seconds N]: binds UDP PORT (default: the first
// format's port; 0: a free one, named in the first line) on every address and
// prints a line a second about the telemetry that arrives, and a line as each
// phase of a stage is seen (start, pause, resume, finish with its time, over),
// so a player can see whether the game sends before blaming a dashboard app.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "PacketSummary.h"
#include "telemetry/TelemetryPackets.h"

int main(int argc, char** argv) {
  unsigned port = ostrel::telemetry::packetFormats()[0].defaultPort;
  double stopAfter = 0;  // 0: until Ctrl+C
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) {
      stopAfter = std::atof(argv[++i]);
    } else if (argv[i][0] >= '0' && argv[i][0] <= '9' && std::atoi(argv[i]) < 65536) {
      port = static_cast<unsigned>(std::atoi(argv[i]));
    } else {
      std::fprintf(stderr, "%s", usageText().c_str());
      return 2;
    }
  }
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
    std::fprintf(stderr, "telemetry-listen: the socket library could not be started\n");
    return 1;
  }
  const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<u_short>(port));
  a.sin_addr.s_addr = htonl(INADDR_ANY);
  if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    std::fprintf(stderr, "telemetry-listen: cannot listen on port %u (is a dashboard app using it? close it first)\n",
                 port);
    return 1;
  }
  DWORD timeoutMs = 100;
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs), sizeof timeoutMs);
  int length = sizeof a;
  if (getsockname(s, reinterpret_cast<sockaddr*>(&a), &length) == 0) port = ntohs(a.sin_port);
  std::printf("telemetry-listen: listening on UDP port %u\n", port);
  std::fflush(stdout);
  PacketSummary summary;
  const DWORD start = GetTickCount();
  DWORD lineStart = start;
  std::uint8_t buffer[2048];
  for (;;) {
    const int n = recv(s, reinterpret_cast<char*>(buffer), sizeof buffer, 0);
    if (n > 0) {
      const std::string phases = summary.add(buffer, static_cast<std::size_t>(n));
      if (!phases.empty()) {
        std::printf("%s", phases.c_str());
        std::fflush(stdout);
      }
    }
    const DWORD now = GetTickCount();
    if (now - lineStart >= 1000) {
      std::printf("%s\n", summary.line((now - lineStart) / 1000.0).c_str());
      std::fflush(stdout);
      lineStart = now;
    }
    if (stopAfter > 0 && now - start >= stopAfter * 1000.0) break;
  }
  closesocket(s);
  WSACleanup();
  return 0;
}
