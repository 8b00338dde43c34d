// qvxhost.exe: the stand-in Dravenet host on loopback TCP.
//
//   qvxhost <script> <port file> <log file>
//
// Listens on 127.0.0.1 on a port the system picks and writes its number to
// the port file; serves one connection by the script, writing each line of
// the host's log to the log file as it happens; ends when the client hangs
// up, the script closes the line, or nobody connects within 60 seconds.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "commkit/bp/bp_system.h"
#include "standins/qvxhost/qvx_host.h"

namespace {

SOCKET g_socket = INVALID_SOCKET;
std::vector<uint8_t> g_out;
bool g_sendFailed = false;

int BufferByte(void*, uint8_t byte) {
  g_out.push_back(byte);
  return 1;
}
int FlushBuffer(void*) {
  size_t sent = 0;
  while (sent < g_out.size()) {
    int n = send(g_socket, reinterpret_cast<const char*>(g_out.data() + sent), int(g_out.size() - sent), 0);
    if (n <= 0) {
      g_sendFailed = true;
      break;
    }
    sent += size_t(n);
  }
  g_out.clear();
  return !g_sendFailed;
}
int NoChar(void*) { return kBpNoChar; }
int NoWait(void*, int) { return kBpNoChar; }
int NoError(void*) { return 0; }
uint32_t Speed(void*) { return 115200; }
int NotQuiet(void*) { return 0; }
int NoStop(void*) { return 0; }
void NoWindow(void*, void*) {}
char* NoText(void*) { return nullptr; }
intptr_t NoNotice(void*, unsigned, intptr_t) { return 0; }
uint32_t Ticks() { return GetTickCount(); }
void* Alloc(size_t size) { return calloc(1, size); }
void Free(void* block) { free(block); }

std::string ReadFile(const char* name) {
  std::string text;
  FILE* f = fopen(name, "rb");
  if (!f) return text;
  char chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
  fclose(f);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    printf("usage: qvxhost <script> <port file> <log file>\n");
    return 2;
  }
  BpSystem system{};
  system.port = BpPortOps{BufferByte, FlushBuffer, NoChar, NoWait, NoError, Speed, NotQuiet, NoStop, NoWindow, NoText};
  system.file = BpStdioFileOps();
  system.notify = NoNotice;
  system.ticks = Ticks;
  system.memAlloc = Alloc;
  system.memFree = Free;
  BpSetSystem(system);

  static int portToken;
  QvxHost host(&portToken);
  std::string error;
  if (!host.Load(ReadFile(argv[1]), &error)) {
    printf("qvxhost: bad script %s\n", error.c_str());
    return 2;
  }

  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 4) != 0) {
    printf("qvxhost: cannot listen (%d)\n", WSAGetLastError());
    return 1;
  }
  int length = sizeof address;
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  // The port file appears whole: written aside, then renamed.
  std::string temporary = std::string(argv[2]) + ".tmp";
  FILE* portFile = fopen(temporary.c_str(), "wb");
  if (!portFile) return 1;
  fprintf(portFile, "%u\n", ntohs(address.sin_port));
  fclose(portFile);
  MoveFileExA(temporary.c_str(), argv[2], MOVEFILE_REPLACE_EXISTING);

  fd_set ready;
  FD_ZERO(&ready);
  FD_SET(listener, &ready);
  timeval wait{60, 0};
  if (select(0, &ready, nullptr, nullptr, &wait) <= 0) return 1;
  g_socket = accept(listener, nullptr, nullptr);
  closesocket(listener);
  if (g_socket == INVALID_SOCKET) return 1;
  BOOL noDelay = TRUE;
  setsockopt(g_socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);

  FILE* log = fopen(argv[3], "wb");
  size_t logged = 0;
  std::vector<uint8_t> chunk(65536);
  for (;;) {
    FD_ZERO(&ready);
    FD_SET(g_socket, &ready);
    timeval tick{0, 10000};
    int n = select(0, &ready, nullptr, nullptr, &tick);
    if (n > 0) {
      int got = recv(g_socket, reinterpret_cast<char*>(chunk.data()), int(chunk.size()), 0);
      if (got <= 0) break;
      for (int i = 0; i < got; ++i) host.Feed(chunk[size_t(i)]);
    } else if (n < 0) {
      break;
    }
    host.Tick();
    for (; logged < host.log.size(); ++logged) {
      if (log) fprintf(log, "%s\n", host.log[logged].c_str());
      if (log) fflush(log);
    }
    if (host.hangUp || g_sendFailed) break;
  }
  for (; logged < host.log.size(); ++logged)
    if (log) fprintf(log, "%s\n", host.log[logged].c_str());
  if (log) fclose(log);
  closesocket(g_socket);
  WSACleanup();
  return 0;
}
