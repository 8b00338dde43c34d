// What the connection session runs on inside the toolbox: the port object,
// dranet.ini in the Windows directory, the client's delay and the platform.
#include <string>

#include "commkit/session/conn_session.h"
#include "port/port.h"

namespace {
PortObject* P(void* port) { return static_cast<PortObject*>(port); }

void* Create(void* window) { return PortCreate(static_cast<HWND>(window)); }
void Destroy(void* port) {
  if (port) PortDestroy(P(port));
}
void SetWindow(void* port, void* window) {
  if (port) PortSetWindow(P(port), static_cast<HWND>(window), 0);
}
int IsOpen(void* port) { return port && PortIsOpen(P(port)); }
int Open(void* port, const PortSettings* settings) {
  if (!port) return 0;
  std::string log = P(port)->logFileName ? P(port)->logFileName : "";
  return PortOpenWithSettings(P(port), settings, log.c_str());
}
void Close(void* port) {
  if (port) PortClose(P(port));
}
void Break(void* port) {
  if (port) PortBreak(P(port));
}
uint16_t ModemStatus(void* port) { return port ? PortModemStatus(P(port)) : 0; }
int Setup8N1(void* port) {
  if (!port) return 0;
  const PortSettings& s = P(port)->settings;
  return PortSetup(P(port), s.speed, 8, "None", 1, s.flowControl, s.carrierDetect);
}
int Is8N1(void* port) { return port && P(port)->settings.dataBits == 8 && P(port)->settings.parityIndex == 0; }
int Logging(void* port) { return port && PortGetLogState(P(port)) == kLogActive; }
void LogControl(void* port, int mode) {
  if (port) PortLogControl(P(port), mode);
}
void CarrierWatch(void* port, int on) {
  if (port) P(port)->settings.carrierWatch = on;
}
int UsesCarrier(void* port) { return port && P(port)->settings.carrierDetect; }
void ApplySettings(void* port, const PortSettings* settings) {
  if (port && !PortIsOpen(P(port))) P(port)->settings = *settings;
}
const char* Name(void* port) { return port ? P(port)->settings.portName : ""; }
void SetLogFile(void* port, const char* name) {
  if (!port) return;
  ZrtMemFree(reinterpret_cast<void**>(&P(port)->logFileName));
  if (name && *name) P(port)->logFileName = StrDup(name);
}
int ClientOwned(void* port) { return port && P(port)->forwarded; }
void MemoryLogStart(void* port, uint32_t size) {
  if (port) PortLogMemory(P(port), size);
}
void MemoryLogToFile(void* port, const char* name) {
  if (port) PortLogMemoryToFile(P(port), name);
}
void MemoryLogDrop(void* port) {
  if (port) PortLogMemoryFree(P(port));
}
void Delay(void* window, int seconds) { ClientDelay(static_cast<HWND>(window), uint16_t(seconds)); }

std::string ToolboxIni() {
  char directory[MAX_PATH] = {};
  GetWindowsDirectoryA(directory, sizeof directory);
  std::string path = directory;
  if (path.empty() || path.back() != '\\') path += '\\';
  return path + "dranet.ini";
}
void IniGet(const char* section, const char* key, const char* fallback, char* buffer, int size) {
  GetPrivateProfileStringA(section, key, fallback ? fallback : "", buffer, DWORD(size), ToolboxIni().c_str());
}
int IniSet(const char* section, const char* key, const char* value) {
  return WritePrivateProfileStringA(section, key, value, ToolboxIni().c_str()) != 0;
}
void Platform(char out[4]) { PlatformCode(out); }
int NoLoad(ConnSession*, const char*) { return 0; }
// Wakes at once for any message of the thread, the socket events among them,
// so a longer pause costs no latency.
void IdleWait() { MsgWaitForMultipleObjectsEx(0, nullptr, 25, QS_ALLINPUT, MWMO_INPUTAVAILABLE); }
}  // namespace

void SessionUseToolbox() {
  g_sessionHooks = SessionHooks{Create,         Destroy,         SetWindow,          IsOpen,  Open,       Close,
                                Break,          ModemStatus,     Setup8N1,           Is8N1,   Logging,    LogControl,
                                CarrierWatch,   UsesCarrier,     ApplySettings,      Name,    SetLogFile, ClientOwned,
                                MemoryLogStart, MemoryLogToFile, MemoryLogDrop,      Delay,   IniGet,     IniSet,
                                Platform,       NoLoad,          ScriptStdioFiles(), IdleWait};
}
