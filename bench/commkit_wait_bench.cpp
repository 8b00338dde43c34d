// An idle ConnWaitFor over the winsock line against an idle process (the CPU
// each uses in the same length of time), and the latency from a byte being
// sent by a peer on loopback to the wait seeing it.
#include <winsock2.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "commkit/session/conn_session.h"
#include "internal.h"
#include "port/port.h"

namespace {

SOCKET g_listener = INVALID_SOCKET, g_peer = INVALID_SOCKET;
HANDLE g_sendNow, g_sent;
LARGE_INTEGER g_sentAt;

DWORD WINAPI Peer(void*) {
  g_peer = accept(g_listener, nullptr, nullptr);
  for (;;) {
    WaitForSingleObject(g_sendNow, INFINITE);
    QueryPerformanceCounter(&g_sentAt);
    if (send(g_peer, "X", 1, 0) != 1) return 1;
    SetEvent(g_sent);
  }
}

double CpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto seconds = [](FILETIME t) { return (double(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e7; };
  return seconds(kernel) + seconds(user);
}

}  // namespace

int main() {
  BpUseToolbox();
  QvxUseToolbox();
  SessionUseToolbox();
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  g_listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(g_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(g_listener, 1);
  int length = sizeof address;
  getsockname(g_listener, reinterpret_cast<sockaddr*>(&address), &length);
  g_sendNow = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  g_sent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  CreateThread(nullptr, 0, Peer, nullptr, 0, nullptr);

  ConnSession* s = ConnCreate(nullptr);
  PortSettings& p = s->settings.port;
  CopyBounded(p.portName, sizeof p.portName, "WINSOCK");
  CopyBounded(p.hostAddress, sizeof p.hostAddress, "127.0.0.1");
  p.tcpPort = ntohs(address.sin_port);
  if (!PortOpenWithSettings(static_cast<PortObject*>(s->port), &p, "")) {
    printf("commkit_wait_bench: cannot open the winsock line (%u)\n", static_cast<PortObject*>(s->port)->error);
    return 1;
  }

  const int kSeconds = 10;
  double before = CpuSeconds();
  Sleep(kSeconds * 1000);
  double idle = CpuSeconds() - before;

  const char* pattern[] = {"never"};
  before = CpuSeconds();
  DWORD start = GetTickCount();
  int16_t got = ConnWaitFor(s, 1, kSeconds * 10, pattern);
  double waiting = CpuSeconds() - before;
  double wall = (GetTickCount() - start) / 1000.0;
  if (got != 0 || wall < kSeconds - 0.5) {
    printf("commkit_wait_bench: the idle wait ended early (%d after %.1f s)\n", got, wall);
    return 1;
  }

  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  std::vector<double> latencies;
  const char* x[] = {"X"};
  for (int i = 0; i < 20; ++i) {
    SetEvent(g_sendNow);
    if (ConnWaitFor(s, 1, 50, x) != 1) {
      printf("commkit_wait_bench: byte %d never arrived\n", i);
      return 1;
    }
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    WaitForSingleObject(g_sent, 1000);
    latencies.push_back(double(now.QuadPart - g_sentAt.QuadPart) * 1000.0 / double(frequency.QuadPart));
    Sleep(30);
  }
  std::sort(latencies.begin(), latencies.end());
  printf("idle ConnWaitFor of %d s: %.2f%% of one core; idle process: %.2f%%; ratio %.1f\n", kSeconds,
         100.0 * waiting / wall, 100.0 * idle / kSeconds, idle > 0 ? waiting / idle : 0.0);
  printf("data to wait returning: median %.2f ms, worst %.2f ms (goal under 20 ms)\n", latencies[latencies.size() / 2],
         latencies.back());
  PortClose(static_cast<PortObject*>(s->port));
  ConnDestroy(s);
  return 0;
}
