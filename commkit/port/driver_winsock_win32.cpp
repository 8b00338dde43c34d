// The winsock line: a TCP connection to the service's host through the
// Windows sockets library, bound at run time and driven without blocking by
// a hidden window that receives the socket events.
#include <winsock2.h>

#include "driver_winsock.h"
#include "port.h"

#include <stdio.h>
#include <string.h>

namespace {

constexpr UINT kSocketEvent = 1524;
constexpr UINT kLookupDone = 1525;
constexpr UINT kDestroySelf = 1526;
constexpr UINT_PTR kAutodialTimer = 51463;
constexpr int kMaxAddresses = 257;
constexpr uint16_t kDefaultTcpPort = 4144;
constexpr uint8_t kDefaultTimeout = 20;
constexpr int kWouldBlock = 10035;
constexpr char kClassName[] = "WinsockHandler";
// The service's own domain, for WinsockPeerIsServiceHost.
constexpr char kServiceDomain[] = "dravenet.com";

struct Winsock {
  HMODULE library;
  int(WSAAPI* startup)(WORD, LPWSADATA);
  int(WSAAPI* cleanup)();
  int(WSAAPI* getLastError)();
  SOCKET(WSAAPI* socket)(int, int, int);
  int(WSAAPI* bind)(SOCKET, const sockaddr*, int);
  int(WSAAPI* connect)(SOCKET, const sockaddr*, int);
  int(WSAAPI* closesocket)(SOCKET);
  int(WSAAPI* getsockname)(SOCKET, sockaddr*, int*);
  int(WSAAPI* getpeername)(SOCKET, sockaddr*, int*);
  char*(WSAAPI* inet_ntoa)(in_addr);
  unsigned long(WSAAPI* inet_addr)(const char*);
  u_short(WSAAPI* htons)(u_short);
  int(WSAAPI* recv)(SOCKET, char*, int, int);
  int(WSAAPI* send)(SOCKET, const char*, int, int);
  int(WSAAPI* setsockopt)(SOCKET, int, int, const char*, int);
  HANDLE(WSAAPI* asyncGetHostByName)(HWND, u_int, const char*, char*, int);
  int(WSAAPI* cancelAsyncRequest)(HANDLE);
  int(WSAAPI* asyncSelect)(SOCKET, HWND, u_int, long);
  hostent*(WSAAPI* gethostbyaddr)(const char*, int, int);
};
Winsock g_ws;

struct WinsockConnection {
  WinsockConnection* next;
  SOCKET socket;
  HANDLE lookup;
  char lookupBuffer[MAXGETHOSTSTRUCT];
  uint8_t addresses[kMaxAddresses * 4 + 1];
  int lookupDone;
  int connected;
  char localAddress[16];
  char peerName[256];
  PortObject* port;
  int lastError;
  int readable;
  uint32_t readableAgain;
  // The host closed the connection: the socket is gone, and every read and
  // write says so until the port is closed, so no wait runs on a dead line.
  int lost;
};

WinsockConnection* g_connections;
HWND g_window;
int g_openCount;

bool Fatal(int error) {
  return (error >= 10050 && error <= 10054) || error == 10057 || error == 10058 || error == 10060 || error == 10064 ||
         error == 10065 || error == 10091 || error == 11003;
}

WinsockConnection* BySocket(SOCKET s) {
  for (WinsockConnection* c = g_connections; c; c = c->next)
    if (c->socket == s) return c;
  return nullptr;
}

WinsockConnection* ByPort(PortObject* port) {
  for (WinsockConnection* c = g_connections; c; c = c->next)
    if (c->port == port) return c;
  return nullptr;
}

void MapError(PortObject* port, int error) {
  if (port->error) return;
  port->error = uint32_t(WinsockErrorToId(error));
}

template <class F>
bool Bind(F& slot, const char* name) {
  slot = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(g_ws.library, name)));
  return slot != nullptr;
}

bool LoadLibraryFor(PortObject* port) {
  if (g_ws.library) return true;
  char path[400] = "wsock32.dll";
  if (port->settings.connectMethod == 1) {
    ServiceDir(path, 260);
    AddBackslash(path);
    strcat(path, "qbr\\wsock32.dll");
  }
  g_ws.library = LoadLibraryA(path);
  if (!g_ws.library) return false;
  bool ok = Bind(g_ws.startup, "WSAStartup") & Bind(g_ws.cleanup, "WSACleanup") &
            Bind(g_ws.getLastError, "WSAGetLastError") & Bind(g_ws.socket, "socket") & Bind(g_ws.bind, "bind") &
            Bind(g_ws.connect, "connect") & Bind(g_ws.closesocket, "closesocket") &
            Bind(g_ws.getsockname, "getsockname") & Bind(g_ws.getpeername, "getpeername") &
            Bind(g_ws.inet_ntoa, "inet_ntoa") & Bind(g_ws.inet_addr, "inet_addr") & Bind(g_ws.htons, "htons") &
            Bind(g_ws.recv, "recv") & Bind(g_ws.send, "send") & Bind(g_ws.setsockopt, "setsockopt") &
            Bind(g_ws.asyncGetHostByName, "WSAAsyncGetHostByName") &
            Bind(g_ws.cancelAsyncRequest, "WSACancelAsyncRequest") & Bind(g_ws.asyncSelect, "WSAAsyncSelect");
  if (!Bind(g_ws.gethostbyaddr, "gethostbyaddr") || !ok) {
    FreeLibrary(g_ws.library);
    g_ws = Winsock{};
    return false;
  }
  return true;
}

void FreeWinsock() {
  if (g_ws.library && g_openCount == 0) {
    FreeLibrary(g_ws.library);
    g_ws = Winsock{};
  }
}

void OnSocketEvent(WPARAM wParam, LPARAM lParam) {
  WinsockConnection* c = BySocket(SOCKET(wParam));
  if (!c) return;
  int error = WSAGETSELECTERROR(lParam);
  if (error) {
    c->lastError = error;
    if (Fatal(error)) c->connected = 0;
    return;
  }
  switch (WSAGETSELECTEVENT(lParam)) {
    case FD_READ: c->readable = 1; break;
    case FD_CONNECT: c->connected = 1; break;
    default: break;
  }
}

void OnLookupDone(WPARAM wParam, LPARAM lParam) {
  for (WinsockConnection* c = g_connections; c; c = c->next) {
    if (c->lookup != HANDLE(wParam)) continue;
    int error = WSAGETASYNCERROR(lParam);
    if (error)
      c->lastError = error;
    else
      c->lookupDone = 1;
  }
}

LRESULT CALLBACK WinsockHandlerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kSocketEvent: OnSocketEvent(wParam, lParam); return 0;
    case kLookupDone: OnLookupDone(wParam, lParam); return 0;
    case kDestroySelf: DestroyWindow(window); return 0;
    case WM_TIMER:
      if (wParam == kAutodialTimer) {
        HWND monitor = FindWindowA("MS_AutodialMonitor", nullptr);
        if (monitor) PostMessageA(monitor, 1124, 0, 0);
      }
      return 0;
    case WM_DESTROY: g_window = nullptr; return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
  }
}

// The socket events are posted to the hidden window: they are taken here,
// so a wait sees them whether or not the client pumps its messages.
void TakeEvents() {
  MSG message;
  while (g_window && PeekMessageA(&message, g_window, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

void WaitStep(PortObject* port) {
  TakeEvents();
  PortSendKeepAlive(port);
  WaitYield();
  TakeEvents();
}

bool EnsureWindow() {
  if (g_window) return true;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WinsockHandlerProc;
  wc.hInstance = g_commkitInstance ? g_commkitInstance : GetModuleHandleA(nullptr);
  wc.lpszClassName = kClassName;
  RegisterClassA(&wc);
  g_window = CreateWindowA(kClassName, "", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
  return g_window != nullptr;
}

void CloseSocket(WinsockConnection* c, bool abortive) {
  if (c->socket == INVALID_SOCKET) return;
  linger l = {u_short(abortive ? 1 : 0), 0};
  g_ws.setsockopt(c->socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
  if (g_ws.closesocket(c->socket) != 0 && !abortive) {
    l.l_onoff = 1;
    g_ws.setsockopt(c->socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
    g_ws.closesocket(c->socket);
  }
  c->socket = INVALID_SOCKET;
}

void Unlink(WinsockConnection* c) {
  for (WinsockConnection** p = &g_connections; *p; p = &(*p)->next) {
    if (*p == c) {
      *p = c->next;
      break;
    }
  }
  ZrtMemFree(reinterpret_cast<void**>(&c));
}

bool NewSocket(WinsockConnection* c) {
  c->socket = g_ws.socket(AF_INET, SOCK_STREAM, 0);
  if (c->socket == INVALID_SOCKET) return false;
  sockaddr_in any = {};
  any.sin_family = AF_INET;
  return g_ws.bind(c->socket, reinterpret_cast<sockaddr*>(&any), sizeof any) == 0;
}

int AsyncLookup(PortObject* port, const char* name, uint32_t* addresses, int maximum) {
  WinsockConnection* c = ByPort(port);
  if (!c) return 0;
  uint8_t seconds = port->settings.connectTimeout;
  if (seconds == 0 || seconds >= 255) seconds = kDefaultTimeout;
  c->lookupDone = 0;
  c->lastError = 0;
  c->lookup = g_ws.asyncGetHostByName(g_window, kLookupDone, name, c->lookupBuffer, sizeof c->lookupBuffer);
  if (!c->lookup) {
    c->lastError = g_ws.getLastError();
    return 0;
  }
  uint32_t deadline = DeadlineIn(uint32_t(seconds) * 30);
  while (!c->lookupDone && !c->lastError && !TimeoutPassed(deadline)) WaitStep(port);
  if (!c->lookupDone) {
    if (!c->lastError) g_ws.cancelAsyncRequest(c->lookup);
    c->lookup = nullptr;
    c->lastError = 11001;
    char format[81], text[400];
    if (ZrtLoadStr(614, format, sizeof format) <= 0) strcpy(format, "Winsock Error: could not resolve %s");
    FormatBounded(text, sizeof text, format, name);
    ZrtMemFree(reinterpret_cast<void**>(&port->pendingErrorText));
    port->pendingErrorText = StrDup(text);
    return 0;
  }
  c->lookup = nullptr;
  const hostent* h = reinterpret_cast<const hostent*>(c->lookupBuffer);
  int count = 0;
  for (char** a = h->h_addr_list; a && *a && count < maximum; ++a) memcpy(&addresses[count++], *a, 4);
  return count;
}

}  // namespace
const WinsockHooks kDefaultWinsockHooks = {AsyncLookup};
WinsockHooks g_winsockHooks = kDefaultWinsockHooks;
namespace {

int Connect(PortObject* port) {
  auto* c = static_cast<WinsockConnection*>(ZrtMemAlloc(sizeof(WinsockConnection)));
  if (!c) {
    port->error = kErrOutOfMemory;
    return 0;
  }
  c->socket = INVALID_SOCKET;
  c->port = port;
  c->next = g_connections;
  g_connections = c;
  ++g_openCount;
  if (!EnsureWindow()) {
    port->error = kErrOutOfMemory;
    --g_openCount;
    Unlink(c);
    return 0;
  }
  PortSettings& s = port->settings;
  uint8_t seconds = s.connectTimeout;
  if (seconds == 0 || seconds >= 255) seconds = kDefaultTimeout;
  uint32_t addresses[kMaxAddresses];
  int count = 0;
  int error = 0;
  if (!NewSocket(c)) {
    error = g_ws.getLastError();
  } else if (s.hostAddress[0]) {
    addresses[0] = g_ws.inet_addr(s.hostAddress);
    count = addresses[0] == INADDR_NONE ? 0 : 1;
  } else {
    count = g_winsockHooks.resolve(port, s.hostName, addresses, kMaxAddresses);
    if (!count) error = c->lastError ? c->lastError : 11001;
  }
  for (int i = 0; i < count; ++i) memcpy(c->addresses + 4 * i, &addresses[i], 4);
  c->addresses[4 * count] = 255;

  sockaddr_in to = {};
  to.sin_family = AF_INET;
  to.sin_port = g_ws.htons(s.tcpPort ? s.tcpPort : kDefaultTcpPort);
  if (!error) error = count ? 10060 : 10014;
  for (int i = 0; i < count && c->socket != INVALID_SOCKET; ++i) {
    memcpy(&to.sin_addr, &addresses[i], 4);
    c->connected = 0;
    c->lastError = 0;
    g_ws.asyncSelect(c->socket, g_window, kSocketEvent, FD_READ | FD_WRITE | FD_CONNECT);
    if (g_ws.connect(c->socket, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
      c->connected = 1;
    } else {
      int now = g_ws.getLastError();
      if (now != kWouldBlock) {
        error = now;
        break;
      }
    }
    uint32_t deadline = DeadlineIn(uint32_t(seconds) * 10);
    while (!c->connected && !c->lastError && !TimeoutPassed(deadline)) WaitStep(port);
    if (c->connected) {
      error = 0;
      break;
    }
    error = c->lastError ? c->lastError : 10060;
    if (error != 10060 && error != 10061) break;
    // Refused or timed out: the next address, on a fresh socket.
    CloseSocket(c, true);
    if (i + 1 < count && !NewSocket(c)) {
      error = g_ws.getLastError();
      break;
    }
  }
  if (error) {
    c->lastError = error;
    MapError(port, error);
    CloseSocket(c, true);
    --g_openCount;
    Unlink(c);
    if (g_openCount == 0 && g_window) {
      SendMessageA(g_window, kDestroySelf, 0, 0);
      UnregisterClassA(kClassName, g_commkitInstance ? g_commkitInstance : GetModuleHandleA(nullptr));
    }
    return 0;
  }
  sockaddr_in local = {};
  int length = sizeof local;
  if (g_ws.getsockname(c->socket, reinterpret_cast<sockaddr*>(&local), &length) == 0) {
    const char* text = g_ws.inet_ntoa(local.sin_addr);
    CopyBounded(c->localAddress, sizeof c->localAddress, text ? text : "");
  }
  return 1;
}

int WinsockOpen(PortObject* port, const char*, int32_t, int32_t, const char*, int32_t, int32_t, int32_t) {
  if (!LoadLibraryFor(port)) {
    if (!port->error && DialerAbortTake()) port->error = kErrUserAbort;
    if (!port->error) port->error = 594;
    return 0;
  }
  WSADATA data;
  int started = g_ws.startup(MAKEWORD(1, 1), &data);
  if (started) {
    port->error = started == 10022 ? 619 : started == 10091 ? 584 : 645;
    FreeWinsock();
    DialerAbortTake();
    return 0;
  }
  if (LOBYTE(data.wVersion) < 1 || (LOBYTE(data.wVersion) == 1 && HIBYTE(data.wVersion) < 1)) {
    g_ws.cleanup();
    port->error = 645;
    FreeWinsock();
    DialerAbortTake();
    return 0;
  }
  CopyBounded(port->settings.winsockDescription, sizeof port->settings.winsockDescription, data.szDescription);
  if (!Connect(port)) {
    g_ws.cleanup();
    FreeWinsock();
    DialerAbortTake();
    return 0;
  }
  port->handle = reinterpret_cast<HANDLE>(1);
  DialerAbortTake();
  return 1;
}

void WinsockClose(PortObject* port) {
  WinsockConnection* c = ByPort(port);
  bool graceful = true;
  if (c) {
    graceful = c->lastError == 0;
    CloseSocket(c, !graceful);
    --g_openCount;
    Unlink(c);
  }
  if (g_openCount == 0 && g_window) {
    SendMessageA(g_window, kDestroySelf, 0, 0);
    UnregisterClassA(kClassName, g_commkitInstance ? g_commkitInstance : GetModuleHandleA(nullptr));
  }
  if (g_ws.library && g_ws.cleanup() != 0 && graceful) MapError(port, g_ws.getLastError());
  FreeWinsock();
  port->handle = reinterpret_cast<HANDLE>(-1);
}

int WinsockProbe(PortObject* port, int) {
  if (g_ws.library) return 1;
  if (!LoadLibraryFor(port)) return 0;
  FreeWinsock();
  return 1;
}

int WinsockSetup(PortObject*, int32_t, int32_t, const char*, int32_t, int32_t, int32_t) { return 1; }

uint16_t WinsockModemStatus(PortObject* port) {
  WinsockConnection* c = ByPort(port);
  TakeEvents();
  return c && c->connected ? 2 : 0;
}

uint16_t WinsockWrite(PortObject* port, const void* buffer, uint16_t count) {
  WinsockConnection* c = ByPort(port);
  if (!c) {
    port->error = 569;
    return 0;
  }
  if (c->lost) {
    port->error = kErrLostConnection;
    return 0;
  }
  uint16_t sent = 0;
  while (sent < count) {
    int n = g_ws.send(c->socket, static_cast<const char*>(buffer) + sent, count - sent, 0);
    if (n > 0) {
      sent = uint16_t(sent + n);
      continue;
    }
    int error = g_ws.getLastError();
    if (error == kWouldBlock) {
      WaitStep(port);
      continue;
    }
    c->lastError = error;
    MapError(port, error);
    if (Fatal(error)) c->connected = 0;
    break;
  }
  return sent;
}

uint16_t WinsockRead(PortObject* port, void* buffer, uint16_t maximum) {
  WinsockConnection* c = ByPort(port);
  if (!c) {
    port->error = 569;
    return 0;
  }
  if (c->lost) {
    port->error = kErrLostConnection;
    return 0;
  }
  TakeEvents();
  if (!c->readable && c->readableAgain && TimeoutPassed(c->readableAgain)) c->readable = 1;
  if (!c->readable) {
    PortSendKeepAlive(port);
    return 0;
  }
  int n = g_ws.recv(c->socket, static_cast<char*>(buffer), maximum, 0);
  if (n > 0) return uint16_t(n);
  if (n == 0) {
    port->error = kErrLostConnection;
    c->connected = 0;
    c->lost = 1;
    CloseSocket(c, false);
    return 0;
  }
  int error = g_ws.getLastError();
  if (error == kWouldBlock) {
    c->readable = 0;
    c->readableAgain = DeadlineIn(50);
    return 0;
  }
  c->lastError = error;
  MapError(port, error);
  if (Fatal(error)) c->connected = 0;
  return 0;
}

void WinsockBreak(PortObject*) {}
void WinsockSetFlow(PortObject*, int32_t) {}
int WinsockDetach(PortObject*, int) { return 1; }
void WinsockPurge(PortObject*, int) {}

}  // namespace

const PortDriverRow g_winsockDriver = {
    WinsockOpen, WinsockClose, WinsockProbe,   WinsockSetup,  WinsockModemStatus, WinsockWrite,
    WinsockRead, WinsockBreak, WinsockSetFlow, WinsockDetach, WinsockPurge,
};

int ZRTAPI WinsockGetHostName(PortObject* port, char* buffer) {
  WinsockConnection* c = port ? ByPort(port) : nullptr;
  if (!c) {
    if (port) port->error = 569;
    return 0;
  }
  if (!c->localAddress[0] || !buffer) return 0;
  strcpy(buffer, c->localAddress);
  return 1;
}

int ZRTAPI WinsockErrorId(int id) { return WinsockIdToError(id); }

// Looks up the peer's name, not the local one: the question is whether the
// host we reached is the service's.
int ZRTAPI WinsockPeerIsServiceHost(PortObject* port, char* buffer) {
  WinsockConnection* c = port ? ByPort(port) : nullptr;
  if (!c) {
    if (port) port->error = 569;
    return 0;
  }
  if (!c->peerName[0]) {
    sockaddr_in peer = {};
    int length = sizeof peer;
    if (g_ws.getpeername(c->socket, reinterpret_cast<sockaddr*>(&peer), &length) != 0) {
      MapError(port, g_ws.getLastError());
      return 0;
    }
    const hostent* h = g_ws.gethostbyaddr(reinterpret_cast<const char*>(&peer.sin_addr), 4, AF_INET);
    if (!h || !h->h_name) {
      MapError(port, g_ws.getLastError());
      return 0;
    }
    CopyBounded(c->peerName, sizeof c->peerName, h->h_name);
  }
  if (buffer) strcpy(buffer, c->peerName);
  char lower[256];
  CopyBounded(lower, sizeof lower, c->peerName);
  CharLowerA(lower);
  return strstr(lower, kServiceDomain) != nullptr;
}
